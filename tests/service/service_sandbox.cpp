// The service sandbox's helpers.
#include "service_sandbox.h"

#include <strings.h>

#include <algorithm>

#include "platform/registry.h"

namespace pellam::test {
namespace fs = std::filesystem;

namespace {

std::vector<std::string> SortedNames(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(directory, ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

void ServiceSandbox::SetSystemNumber(const char* name, uint32_t value) {
  platform::UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_PARAMETERS_KEY, key.out()), 0u);
  ASSERT_EQ(platform::RegSetValueEx(key.get(), name, platform::REG_DWORD, reinterpret_cast<const uint8_t*>(&value),
                                    sizeof value),
            0u);
}

void ServiceSandbox::AddUser(const std::string& name, uid_t uid, bool registered) {
  box_.AddUser(name, uid, "User " + name, "/home/" + name);
  users_.emplace_back(name, uid);
  if (!registered) return;
  ASSERT_EQ(RunAsUser(uid, uid,
                      [] {
                        MailProfile p{};
                        return GetMailProfile(&p, sizeof p) == 0 ? 0 : 1;
                      }),
            0)
      << "registering " << name;
}

uid_t ServiceSandbox::Uid(const std::string& name) const {
  for (const auto& [n, uid] : users_) {
    if (n == name) return uid;
  }
  return 0;
}

void ServiceSandbox::SetProfile(const std::string& name, const std::string& forward, int32_t auto_reply,
                                int32_t disable) {
  const uid_t uid = Uid(name);
  ASSERT_EQ(RunAsUser(uid, uid,
                      [&] {
                        MailProfile p{};
                        if (GetMailProfile(&p, sizeof p) != 0) return 1;
                        std::strcpy(p.Forward, forward.c_str());
                        p.AutoReply = auto_reply;
                        p.DisableNewMail = disable;
                        return UpdateMailProfile(&p, sizeof p) == 0 ? 0 : 2;
                      }),
            0)
      << "profile of " << name;
}

void ServiceSandbox::Post(const std::string& message) {
  const char* error = nullptr;
  ASSERT_EQ(SendMailMessageFromText(message.data(), static_cast<int32_t>(message.size()), &error), 0u) << message;
}

void ServiceSandbox::Drain(const std::function<void()>& before) {
  service::ServiceSettings settings;
  ASSERT_EQ(GetSystemProfile(&settings.system), 0u);
  settings.node = Node();
  settings.network = network_;
  settings.send_timeout = send_timeout_;
  const service::EventLog log([this](uint32_t code, const std::string& text) { events_.emplace_back(code, text); });
  service::ServiceLoop loop(settings, log);
  std::atomic<bool> stop{false};
  if (before) before();
  loop.Drain(stop);
}

std::vector<std::string> ServiceSandbox::Messages(const std::string& name, const std::string& folder) const {
  std::vector<std::string> names = SortedNames(MailDirectory(name) + folder);
  names.erase(std::remove(names.begin(), names.end(), "#serial.dat"), names.end());
  return names;
}

std::vector<std::string> ServiceSandbox::Contents(const std::string& name, const std::string& folder) const {
  std::vector<std::string> contents;
  for (const auto& file : Messages(name, folder)) contents.push_back(ReadTextFile(MailDirectory(name) + folder + "/" + file));
  return contents;
}

std::vector<std::string> ServiceSandbox::QueueFiles() const { return SortedNames(queue_); }

bool ServiceSandbox::Logged(uint32_t code) const {
  return std::any_of(events_.begin(), events_.end(), [code](const auto& e) { return e.first == code; });
}

std::string ServiceSandbox::LogText() const {
  std::string text;
  for (const auto& e : events_) text += e.second + "\n";
  return text;
}

std::string HeaderValue(const std::string& message, const char* name) {
  const char* names[] = {name};
  char* values[1] = {};
  const char* text = message.data();
  int32_t length = static_cast<int32_t>(message.size());
  if (GetMailHeaders(&text, &length, 1, names, values) != 0 || values[0] == nullptr) return {};
  std::string value = values[0];
  FreeMailHeaders(1, values);
  return value;
}

}  // namespace pellam::test
