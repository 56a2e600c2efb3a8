// Helpers of the client's tests: a recorder that answers message boxes, a sound sink
// that records what would have sounded, a sandbox with the calling user's mailbox, the
// client started and ended as the program does it (alone, or as a whole test's
// fixture), and waiting with events processed.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QRect>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/mail_app.h"
#include "app/new_mail_sound.h"
#include "framework/message_box.h"
#include "mainframe/main_frame.h"
#include "sandbox.h"
#include "screenshots.h"

namespace pelldesk::test {

// Processes events until `done` holds or `timeout_ms` pass; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 5000);
// Processes pending events, deferred deletions included.
void ProcessEvents();

struct BoxRecord {
  std::string text;
  unsigned style;
};

// Answers every message box while it lives: with the queued answers first, then with
// `default_answer`; records each box.
class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(int default_answer = fw::IDOK);
  ~MessageBoxRecorder();
  void QueueAnswer(int answer);
  std::vector<BoxRecord> boxes() const;
  std::size_t count() const;

 private:
  mutable std::mutex mutex_;
  std::vector<BoxRecord> boxes_;
  std::deque<int> answers_;
  int default_answer_;
  fw::MessageBoxFunction previous_;
};

// What a recording sink was asked to play, in order: "file:<path>", "builtin",
// "beep:660:25", "pause:50".
struct SoundLog {
  std::mutex mutex;
  std::vector<std::string> calls;
  bool filesPlay = true;  // what PlayFile and PlayBuiltIn answer
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
  }
  int Count(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex);
    int n = 0;
    for (const auto& c : calls) n += c == call ? 1 : 0;
    return n;
  }
};

class RecordingSoundSink : public SoundSink {
 public:
  explicit RecordingSoundSink(std::shared_ptr<SoundLog> log) : log_(std::move(log)) {}
  bool PlayFile(const std::string& path) override;
  bool PlayBuiltIn() override;
  void Beep(unsigned frequency_hz, unsigned duration_ms) override;
  void Pause(unsigned duration_ms) override;

 private:
  std::shared_ptr<SoundLog> log_;
};

// A sandbox whose calling user "ann" has a home (and so a hive) inside the root.
class ClientSandbox : public pellam::test::Sandbox {
 public:
  ClientSandbox();
  // The default mail directory of the user, ending in "/".
  std::string MailDirectory() const { return Path("home/ann/mail/"); }
  std::string NewFolder() const { return MailDirectory() + "new/"; }
};

// The client as a test runs it: sounds recorded, quick monitor retries, and a monitor
// whose start can be made to fail.
class TestApp : public CMailApp {
 public:
  TestApp();
  ~TestApp() override;
  std::shared_ptr<SoundLog> sounds = std::make_shared<SoundLog>();
  uint32_t failMonitorStartWith = 0;
  // Closes the main frame (when there is one) and runs the end of the run.
  void End();

 protected:
  uint32_t StartMonitorThread() override;

 private:
  bool ended_ = false;
};

// The whole client in a sandbox of its own, its message boxes answered OK and recorded:
// a test puts what it needs into the mailbox and the store, then starts it; the run
// ends with the test.
class RunningClient : public ::testing::Test {
 protected:
  void TearDown() override { app_.End(); }
  // Starts the client as the program does; frame_ is its main frame.
  void Start() {
    ASSERT_TRUE(app_.InitInstance());
    frame_ = app_.mainFrameWindow();
  }
  // Waits until the main frame shows the monitor's count `count`.
  bool ShowsCount(int count) {
    return WaitUntil([&] { return frame_->shownCount() == count; });
  }

  ClientSandbox sandbox_;
  MessageBoxRecorder boxes_;
  TestApp app_;
  CMainFrame* frame_ = nullptr;
};

using pellam::test::DrawnPixels;
using pellam::test::ScreenshotDirectory;

// Saves a window's `picture` as `name` (ScreenshotDirectory with `directory`): the file
// must hold exactly that picture, and a fiftieth of it at least must be drawn.
void SaveScreenshot(const QImage& picture, const std::string& name, const std::string& directory);

// Writes a message file with the given last-write time (seconds since 1970, with
// nanoseconds), creating its folder.
void WriteMessage(const std::string& path, int64_t seconds, long nanoseconds = 0);

}  // namespace pelldesk::test
