// The client tests' helpers.
#include "client_test_support.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>

#include <fcntl.h>

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
  ScreenshotDirectory(directory).Save(picture, name, picture.width() * picture.height() / 50);
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
