// The new-mail monitor alone, and the messages the new-mail benchmarks deliver.
#include "monitor_alone.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace bench {

void WriteArrival(const std::string& path) {
  std::ofstream(path, std::ios::binary) << "Received: by NODEA; Mon, 12 Jan 1995 10:00:30 GMT\r\n"
                                           "From: NODEA::SENDER\r\nSubject: s\r\n\r\nText.\r\n";
}

void FillNewFolder(const std::string& folder, int count) {
  std::filesystem::create_directories(folder);
  for (int i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "msg%04d.mai", i);
    WriteArrival(folder + name);
  }
}

MonitorAlone::MonitorAlone(const std::string& folder) {
  shared_.newFolderPath = folder;
  if (shared_.stopEvent.Create() != 0) return;
  shared_.sendNewMail = [this] {
    std::lock_guard<std::mutex> lock(mutex_);
    ++reports_;
    if (std::getenv("NEWMAIL_BENCH_TRACE")) std::fprintf(stderr, "report %d count %d\n", reports_, shared_.newMailCount);
    reported_.notify_all();
  };
  shared_.reportError = [](const char*, uint32_t) { return 1; };
  thread_ = std::thread([this] { pelldesk::NewMailMonitor(shared_); });
  started_ = WaitForReports(1);
}

MonitorAlone::~MonitorAlone() {
  if (!thread_.joinable()) return;
  shared_.stopEvent.Set();
  thread_.join();
}

int MonitorAlone::reports() {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_;
}

bool MonitorAlone::WaitForReports(int wanted) {
  std::unique_lock<std::mutex> lock(mutex_);
  return reported_.wait_for(lock, std::chrono::seconds(5), [&] { return reports_ >= wanted; });
}

}  // namespace bench
