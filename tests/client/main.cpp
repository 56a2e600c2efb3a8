// The client tests' main: Qt's off-screen platform and one Qt application for all tests.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/client_resources.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  pelldesk::InitClientResources();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
