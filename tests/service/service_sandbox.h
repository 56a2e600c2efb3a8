// A sandbox for the service: a private root whose system profile points at a queue
// and a temporary directory inside it, the calling user registered as "ann" (the
// sender of the tests' mail), and any number of further users registered with their
// own uids and homes. Helpers post mail, run the service's loop in-process, read the
// users' folders and the event log.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "event_log.h"
#include "job.h"
#include "pellam.h"
#include "platform/accounts.h"
#include "sandbox.h"
#include "service_loop.h"

namespace pellam::test {

class ServiceSandbox {
 public:
  ServiceSandbox() {
    box_.AddCurrentUser("ann", "Ann Smith");
    queue_ = box_.Path("spool/queue/");
    temp_ = box_.Path("spool/temp/");
    std::filesystem::create_directories(queue_);
    std::filesystem::create_directories(temp_);
    UpdateSystem([](MailSystemProfile&) {});
    MailProfile me{};
    EXPECT_EQ(GetMailProfile(&me, sizeof me), 0u);
  }

  Sandbox& box() { return box_; }
  const std::string& queue() const { return queue_; }
  static std::string Node() { return platform::ComputerName(); }

  // Changes the system profile; the directories stay those of the sandbox.
  template <typename Change>
  void UpdateSystem(Change change) {
    MailSystemProfile system{};
    GetSystemProfile(&system);
    std::strcpy(system.MailQueuePath, queue_.c_str());
    std::strcpy(system.MailTempPath, temp_.c_str());
    change(system);
    ASSERT_EQ(UpdateMailSystemProfile(&system, sizeof system), 0u);
  }
  // Numbers the library never writes: set directly in the machine hive.
  void SetSystemNumber(const char* name, uint32_t value);

  // Adds an account with home /home/<name> and registers it as a receiver of mail.
  void AddUser(const std::string& name, uid_t uid, bool registered = true);
  uid_t Uid(const std::string& name) const;
  std::string MailDirectory(const std::string& name) const { return box_.Path("home/" + name + "/mail/"); }

  // Changes a user's profile as that user (UpdateMailProfile semantics: empty strings
  // and negative numbers leave values alone).
  void SetProfile(const std::string& name, const std::string& forward, int32_t auto_reply, int32_t disable);

  // Posts a message as ann.
  void Post(const std::string& message);

  // Gives the loops that Drain runs a DECnet end node to send with, and the wait for
  // each network step (zero: NetSendTimeout).
  void UseNetwork(decnet::Node* node, std::chrono::milliseconds send_timeout) {
    network_ = node;
    send_timeout_ = send_timeout;
  }

  // Runs the service's loop until nothing is due, as a freshly started service
  // (retry times forgotten), with `before` run once the settings are read.
  void Drain(const std::function<void()>& before = {});

  // The message files of a user's folder, in name order, and their contents.
  std::vector<std::string> Messages(const std::string& name, const std::string& folder = "new") const;
  std::vector<std::string> Contents(const std::string& name, const std::string& folder = "new") const;

  // The queue's files, in name order.
  std::vector<std::string> QueueFiles() const;

  // Whether an event with this code was logged, and the texts logged.
  bool Logged(uint32_t code) const;
  size_t EventCount() const { return events_.size(); }
  std::string LogText() const;

 private:
  Sandbox box_;
  std::string queue_, temp_;
  std::vector<std::pair<std::string, uid_t>> users_;
  std::vector<std::pair<uint32_t, std::string>> events_;
  decnet::Node* network_ = nullptr;
  std::chrono::milliseconds send_timeout_{0};
};

// The value of a header in a message's header section; "" when absent.
std::string HeaderValue(const std::string& message, const char* name);

}  // namespace pellam::test
