// The new-mail indication of the whole client: messages waiting at start-up, messages
// taken away, newer and older arrivals, the pane's texts, the sound once per newer
// arrival and the new-mail icon; and how long an arrival takes to show.
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QStatusBar>

#include <algorithm>
#include <filesystem>
#include <map>

#include "app/resource_ids.h"
#include "client_test_support.h"
#include "framework/profile.h"
#include "mainframe/main_frame.h"
#include "pellam.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

void StoreSoundMode(int mode) {
  MailProfile profile{};
  ASSERT_EQ(GetMailProfile(&profile, sizeof profile), 0u);
  ASSERT_EQ(fw::Profile("Corwent", "Pelldesk").WriteInt("Settings", "Beep", mode), 0u);
}

class NewMail : public RunningClient {
 protected:
  // Moves a message prepared outside into "new", as delivery does.
  void Deliver(const std::string& name, int64_t seconds) {
    const std::string prepared = sandbox_.Path("incoming-" + name);
    WriteMessage(prepared, seconds);
    fs::rename(prepared, sandbox_.NewFolder() + name);
  }
};

TEST_F(NewMail, WaitingMessagesCountAndSoundOncePerNewerArrival) {
  StoreSoundMode(kSoundFile);  // with no file named: the built-in sound
  WriteMessage(sandbox_.NewFolder() + "msg0001.mai", 1000);
  WriteMessage(sandbox_.NewFolder() + "msg0002.mai", 1100);
  WriteMessage(sandbox_.NewFolder() + "msg0003.mai", 1200);
  Start();
  auto pane_shows = [&](const std::string& text) {
    return WaitUntil([&] { return frame_->PaneText(kPaneNewMail) == text; });
  };

  ASSERT_TRUE(pane_shows(" 3 new messages waiting "));
  EXPECT_EQ(app_.sounds->Calls(), std::vector<std::string>{"builtin"}) << "the sound once";
  EXPECT_TRUE(frame_->showsNewMailIcon());

  fs::remove(sandbox_.NewFolder() + "msg0002.mai");
  ASSERT_TRUE(pane_shows(" 2 new messages waiting "));
  EXPECT_EQ(app_.sounds->Count("builtin"), 1) << "a message taken away makes no sound";

  Deliver("msg0004.mai", 1300);
  ASSERT_TRUE(pane_shows(" 3 new messages waiting "));
  EXPECT_EQ(app_.sounds->Count("builtin"), 2) << "a newer arrival sounds again";

  Deliver("msg0005.mai", 500);
  ASSERT_TRUE(pane_shows(" 4 new messages waiting "));
  EXPECT_EQ(app_.sounds->Count("builtin"), 2) << "an older file copied in makes no sound";

  for (const char* name : {"msg0001.mai", "msg0003.mai", "msg0004.mai", "msg0005.mai"}) {
    fs::remove(sandbox_.NewFolder() + name);
  }
  ASSERT_TRUE(ShowsCount(0));
  frame_->UpdateCommandUi();
  EXPECT_EQ(frame_->PaneText(kPaneNewMail), "") << "no mail waiting: the pane is blank";
  EXPECT_FALSE(frame_->showsNewMailIcon()) << "the normal icon again";
  EXPECT_EQ(app_.sounds->Count("builtin"), 2);
  EXPECT_EQ(boxes_.count(), 0u);
}

TEST_F(NewMail, OneMessageBeepsThreeTimesAndReadsSingular) {
  WriteMessage(sandbox_.NewFolder() + "msg0001.mai", 1000);
  Start();  // Beep defaults to 1
  ASSERT_TRUE(WaitUntil([&] { return frame_->PaneText(kPaneNewMail) == " 1 new message waiting "; }));
  EXPECT_EQ(app_.sounds->Count("beep:660:25"), 3);
  EXPECT_EQ(app_.sounds->Count("pause:50"), 3);
}

TEST_F(NewMail, AnEmptyNewFolderAtStartUpShowsNothing) {
  fs::create_directories(sandbox_.NewFolder());
  Start();
  ASSERT_TRUE(ShowsCount(0));
  frame_->UpdateCommandUi();
  EXPECT_EQ(frame_->PaneText(kPaneNewMail), "");
  EXPECT_FALSE(frame_->showsNewMailIcon());
  EXPECT_TRUE(app_.sounds->Calls().empty());
}

// Counts the paint events of every label of the status bar.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints[watched];
    return false;
  }
  std::map<QObject*, int> paints;
};

// A sink that notes, when the sound starts, whether the new count is on the screen.
class PaneWatchingSink : public SoundSink {
 public:
  PaneWatchingSink(CMainFrame* frame, PaintCounter* counter) : frame_(frame), counter_(counter) {}
  bool PlayFile(const std::string&) override { return false; }
  bool PlayBuiltIn() override { return false; }
  void Beep(unsigned, unsigned) override {
    for (QLabel* label : frame_->statusBar()->findChildren<QLabel*>()) {
      if (label->text().contains("new message")) paintedBeforeSound = counter_->paints[label] > 0;
    }
    ++beeps;
  }
  void Pause(unsigned) override {}
  bool paintedBeforeSound = false;
  int beeps = 0;

 private:
  CMainFrame* frame_;
  PaintCounter* counter_;
};

TEST_F(NewMail, TheCountIsOnTheScreenBeforeTheSoundStarts) {
  fs::create_directories(sandbox_.NewFolder());
  Start();
  ASSERT_TRUE(ShowsCount(0));
  PaintCounter counter;
  for (QLabel* label : frame_->statusBar()->findChildren<QLabel*>()) label->installEventFilter(&counter);
  auto sink = std::make_unique<PaneWatchingSink>(frame_, &counter);
  PaneWatchingSink* watching = sink.get();
  app_.SetSoundSink(std::move(sink));
  ProcessEvents();
  counter.paints.clear();
  Deliver("msg0001.mai", 1000);
  ASSERT_TRUE(WaitUntil([&] { return watching->beeps == 3; }));
  EXPECT_TRUE(watching->paintedBeforeSound) << "the pane was painted only after the sound";
  app_.End();  // the sink watches this test's counter
}

TEST_F(NewMail, ArrivalToIndicationTime) {
  fs::create_directories(sandbox_.NewFolder());
  Start();
  ASSERT_TRUE(ShowsCount(0));

  int shown = 0;
  QObject listening;  // goes before `shown`, and the connection with it
  QObject::connect(frame_, &CMainFrame::NewMailShown, &listening, [&](int count, bool) { shown = count; });
  std::vector<double> ms;
  for (int i = 1; i <= 100; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "msg%04d.mai", i);
    const std::string prepared = sandbox_.Path(std::string("incoming-") + name);
    WriteMessage(prepared, 2000 + i);
    QElapsedTimer timer;
    timer.start();
    fs::rename(prepared, sandbox_.NewFolder() + name);
    ASSERT_TRUE(WaitUntil([&] { return shown == i; }, 5000)) << "arrival " << i;
    ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  const double median = (ms[49] + ms[50]) / 2;
  std::printf("[ measure  ] arrival to New Mail handled, 100 arrivals: median %.2f ms, worst %.2f ms\n",
              median, ms.back());
  EXPECT_LT(ms.back(), 1000.0);
  EXPECT_EQ(app_.sounds->Count("beep:660:25"), 300) << "each arrival was newer";
}

}  // namespace
}  // namespace pelldesk::test
