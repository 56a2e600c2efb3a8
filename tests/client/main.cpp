// The client tests' main: Qt's off-screen platform (or the one PELLAM_TEST_PLATFORM
// names) and one Qt application for all tests.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/client_resources.h"

int main(int argc, char** argv) {
  // Off-screen unless a run asks for a real display (the screenshots under Xvfb).
  const QByteArray platform = qgetenv("PELLAM_TEST_PLATFORM");
  qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  pelldesk::InitClientResources();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
