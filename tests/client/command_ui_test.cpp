// The command states follow what they depend on instead of a timer: nothing is asked
// while nothing changes, a burst of changes costs one refresh, Purge Deleted follows a
// message moved into "deleted" and the purge; the folder-is-empty answer the rules
// share lists a folder again only once it changed or aged; and a wait cursor inside
// another changes the cursor once.
#include <QApplication>
#include <QCursor>

#include <filesystem>
#include <thread>

#include "app/folder_emptiness.h"
#include "app/resource_ids.h"
#include "client_test_support.h"
#include "framework/application.h"
#include "framework/wait_cursor.h"
#include "mainframe/main_frame.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

using CommandUi = RunningClient;

TEST_F(CommandUi, NothingIsAskedWhileNothingChangesAndABurstCostsOneRefresh) {
  fs::create_directories(sandbox_.NewFolder());
  Start();
  ASSERT_TRUE(ShowsCount(0));
  ProcessEvents();
  const int quiet = frame_->commandUiUpdates();
  WaitUntil([] { return false; }, 700);  // a polling refresh would have run meanwhile
  EXPECT_EQ(frame_->commandUiUpdates(), quiet) << "no refresh while nothing changed";

  for (int i = 0; i < 10; ++i) fw::CommandStateChanged();
  EXPECT_EQ(frame_->commandUiUpdates(), quiet) << "not while the event is handled";
  ProcessEvents();
  EXPECT_EQ(frame_->commandUiUpdates(), quiet + 1) << "ten changes, one refresh";
}

TEST_F(CommandUi, PurgeDeletedFollowsAMessageMovedIntoDeletedAndThePurge) {
  WriteMessage(sandbox_.MailDirectory() + "main/msg0001.mai", 1000);
  fs::create_directories(sandbox_.MailDirectory() + "deleted");
  Start();
  ProcessEvents();
  QAction* purge = frame_->Action(kCmdPurgeDeleted);
  ASSERT_NE(purge, nullptr);
  EXPECT_FALSE(purge->isEnabled()) << "\"deleted\" is empty";

  ASSERT_EQ(app_.DeleteMessage(app_.MainFolderPath() + "msg0001.mai", false), 0);
  ProcessEvents();
  EXPECT_TRUE(purge->isEnabled()) << "the move told the shared answer, with no timer and no second";

  app_.PurgeDeleted();
  ProcessEvents();
  EXPECT_FALSE(purge->isEnabled());
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST(FolderEmptiness, AnAnswerStandsUntilTheFolderChangesOrAges) {
  ClientSandbox sandbox;
  const std::string folder = sandbox.Path("f/");
  fs::create_directories(folder);
  int listings = 0;
  FolderEmptiness shared(
      [&](const std::string& path) {
        ++listings;
        EXPECT_EQ(path, folder) << "always asked with one final \"/\"";
        return IsFolderEmpty(path);
      },
      std::chrono::milliseconds(200));
  struct Step {
    const char* what;
    std::function<void()> act;
    const char* asked;  // with or without the final "/"
    bool empty;
    int listings;
  };
  const std::string bare = folder.substr(0, folder.size() - 1);
  const std::vector<Step> steps = {
      {"first question", [] {}, "slash", true, 1},
      {"asked again, the other spelling", [] {}, "bare", true, 1},
      {"a message arrives unannounced", [&] { WriteMessage(folder + "msg0001.mai", 1000); }, "slash", true, 1},
      {"the change is announced", [&] { shared.Forget(bare + "//"); }, "slash", false, 2},
      {"the message goes unannounced", [&] { fs::remove(folder + "msg0001.mai"); }, "bare", false, 2},
      {"the answer ages", [] { std::this_thread::sleep_for(std::chrono::milliseconds(250)); }, "bare", true, 3},
      {"everything forgotten", [&] { shared.ForgetAll(); }, "slash", true, 4},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(shared.IsEmpty(std::string(step.asked) == "slash" ? folder : bare), step.empty) << step.what;
    EXPECT_EQ(listings, step.listings) << step.what;
  }
}

TEST(WaitCursor, OneInsideAnotherChangesTheCursorOnce) {
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
  {
    fw::WaitCursor outer;
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    {
      fw::WaitCursor inner;
      EXPECT_EQ(fw::WaitCursor::Depth(), 2);
    }
    EXPECT_NE(QApplication::overrideCursor(), nullptr) << "the outer wait still shows";
    fw::WaitCursor again;
    // Had the inner ones pushed cursors of their own, one restore would leave one.
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "only one cursor was set for three waits";
    QApplication::setOverrideCursor(Qt::WaitCursor);  // given back for the destructors
  }
  EXPECT_EQ(fw::WaitCursor::Depth(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace pelldesk::test
