// A sandbox ready for composing mail: a private root with the calling user registered
// as "ann" (full name "Ann Smith"), and a system profile whose queue and temporary
// directories lie inside the root. Shared by the composition and sending tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "compose/control_file_reader.h"
#include "pellam.h"
#include "sandbox.h"

namespace pellam::test {

class PostingSandbox {
 public:
  explicit PostingSandbox(const std::string& full_name = "Ann Smith") {
    box_.AddCurrentUser("ann", full_name);
    queue_ = box_.Path("spool/queue/");
    temp_ = box_.Path("spool/temp/");
    std::filesystem::create_directories(queue_);
    std::filesystem::create_directories(temp_);
    MailSystemProfile system{};
    std::strcpy(system.MailQueuePath, queue_.c_str());
    std::strcpy(system.MailTempPath, temp_.c_str());
    EXPECT_EQ(UpdateMailSystemProfile(&system, sizeof system), 0u);
    MailProfile user{};
    EXPECT_EQ(GetMailProfile(&user, sizeof user), 0u);
  }

  Sandbox& box() { return box_; }
  const std::string& queue() const { return queue_; }
  const std::string& temp() const { return temp_; }

  // The names in a directory, sorted.
  static std::vector<std::string> Names(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> QueueFiles() const { return Names(queue_); }
  std::vector<std::string> TempFiles() const { return Names(temp_); }

  // The one control file in the queue, read back; fails the test unless there is
  // exactly one and it reads.
  control::ControlFileContents Posted() const {
    control::ControlFileContents contents;
    const auto names = QueueFiles();
    EXPECT_EQ(names.size(), 1u) << "files in the queue";
    if (names.size() != 1) return contents;
    EXPECT_EQ(control::ReadControlFile((queue_ + names[0]).c_str(), &contents), 0u) << names[0];
    return contents;
  }

  // Moves everything in the queue aside, so that the next test step starts empty.
  void ClearQueue() const {
    for (const auto& name : QueueFiles()) std::filesystem::remove(queue_ + name);
  }

 private:
  Sandbox box_;
  std::string queue_;
  std::string temp_;
};

// The address texts of a control file's records, in order.
inline std::vector<std::string> RecordTexts(const control::ControlFile& file) {
  std::vector<std::string> texts;
  for (const auto& r : file.addresses) texts.push_back(r.text);
  return texts;
}

}  // namespace pellam::test
