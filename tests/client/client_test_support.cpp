// The client tests' helpers.
#include "client_test_support.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "framework/mdi_frame.h"

namespace pelldesk::test {

void ProcessEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(200);
  }
  return true;
}

MessageBoxRecorder::MessageBoxRecorder(int default_answer) : default_answer_(default_answer) {
  previous_ = fw::SetMessageBoxFunction([this](const std::string& text, unsigned style) {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_.push_back({text, style});
    if (answers_.empty()) return default_answer_;
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { fw::SetMessageBoxFunction(std::move(previous_)); }

void MessageBoxRecorder::QueueAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(answer);
}

std::vector<BoxRecord> MessageBoxRecorder::boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

std::size_t MessageBoxRecorder::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_.size();
}

bool RecordingSoundSink::PlayFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(log_->mutex);
  log_->calls.push_back("file:" + path);
  return log_->filesPlay;
}

bool RecordingSoundSink::PlayBuiltIn() {
  std::lock_guard<std::mutex> lock(log_->mutex);
  log_->calls.push_back("builtin");
  return log_->filesPlay;
}

void RecordingSoundSink::Beep(unsigned frequency_hz, unsigned duration_ms) {
  std::lock_guard<std::mutex> lock(log_->mutex);
  log_->calls.push_back("beep:" + std::to_string(frequency_hz) + ":" + std::to_string(duration_ms));
}

void RecordingSoundSink::Pause(unsigned duration_ms) {
  std::lock_guard<std::mutex> lock(log_->mutex);
  log_->calls.push_back("pause:" + std::to_string(duration_ms));
}

ClientSandbox::ClientSandbox() { AddCurrentUser("ann", "Ann Smith"); }

TestApp::TestApp() {
  SetSoundSink(std::make_unique<RecordingSoundSink>(sounds));
  SetMonitorRetryDelay(100);
}

TestApp::~TestApp() { End(); }

void TestApp::End() {
  if (ended_) return;
  ended_ = true;
  if (fw::MdiFrame* frame = mainFrame()) {
    frame->close();
    if (mainFrame() != nullptr) DestroyMainFrame();  // a close that was refused
  }
  ExitInstance();
  ProcessEvents();
}

uint32_t TestApp::StartMonitorThread() {
  if (failMonitorStartWith != 0) return failMonitorStartWith;
  return CMailApp::StartMonitorThread();
}

void SaveScreenshot(const QImage& picture, const std::string& name, const std::string& directory) {
  const char* kept = std::getenv("PELLAM_SCREENSHOT_DIR");
  const std::string dir = kept != nullptr && *kept != '\0' ? kept : directory;
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/" + name;
  ASSERT_FALSE(picture.isNull()) << name;
  ASSERT_TRUE(picture.save(QString::fromStdString(path))) << path;
  std::printf("[ picture  ] %s (%dx%d)\n", path.c_str(), picture.width(), picture.height());
  const QImage saved(QString::fromStdString(path));
  EXPECT_TRUE(saved.convertToFormat(QImage::Format_RGB32) == picture.convertToFormat(QImage::Format_RGB32))
      << path << " holds another picture";
  EXPECT_GT(DrawnPixels(saved, saved.rect()), saved.width() * saved.height() / 50) << path << " is blank";
}

int DrawnPixels(const QImage& picture, const QRect& area) {
  const QRect within = area.intersected(picture.rect());
  if (within.isEmpty()) return 0;
  const QColor ground = picture.pixelColor(within.topLeft());
  int drawn = 0;
  for (int y = within.top(); y <= within.bottom(); ++y) {
    for (int x = within.left(); x <= within.right(); ++x) drawn += picture.pixelColor(x, y) != ground ? 1 : 0;
  }
  return drawn;
}

void WriteMessage(const std::string& path, int64_t seconds, long nanoseconds) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  {
    std::ofstream out(path, std::ios::binary);
    out << "From: NODE::SMITH\r\nSubject: test\r\n\r\nbody\r\n";
  }
  timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

}  // namespace pelldesk::test
