// pelldesk: the graphical mail client. Everything lives in pelldesk_core; this only
// makes the Qt application and runs the client's application object. --help and
// --version are answered before Qt starts, so that they need no display.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/mail_app.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf(
        "usage:  %s [Qt options]\n"
        "    The Pellam mail client: opens the tree of your mail folders, tells you\n"
        "    when new mail arrives, and reads, writes, files and posts messages.\n"
        "    Qt's own options (such as -platform NAME or -display DISPLAY) are\n"
        "    taken as usual; other arguments are ignored.\n"
        "    --help     show this text\n"
        "    --version  show the version\n",
        argv[0]);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("pelldesk %s\n", PELLAM_VERSION);
    return 0;
  }
  QApplication qt(argc, argv);
  pelldesk::CMailApp app;
  return app.Run();
}
