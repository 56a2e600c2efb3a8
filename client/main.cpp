// pelldesk: the graphical mail client. Everything lives in pelldesk_core; this only
// makes the Qt application and runs the client's application object.
#include <QApplication>

#include "app/mail_app.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  pelldesk::CMailApp app;
  return app.Run();
}
