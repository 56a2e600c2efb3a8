// The client tests' main: Qt's off-screen platform (or the one PELLAM_TEST_PLATFORM
// names), one Qt application for all tests, and faults kept to the tests' own thread.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/client_resources.h"
#include "platform/fault.h"

int main(int argc, char** argv) {
  // Off-screen unless a run asks for a real display (the screenshots under Xvfb).
  const QByteArray platform = qgetenv("PELLAM_TEST_PLATFORM");
  qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  pelldesk::InitClientResources();
  // The monitor thread reaches the platform layer whenever it likes: a fault a test
  // arms is for the test's own thread alone.
  platform::fault::OnlyThisThread();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
