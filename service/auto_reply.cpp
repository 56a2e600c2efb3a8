// The reply is decided and its text read by one child with the user's identity, posted
// by the service, and only then written into the log by a second child, so that a reply
// that could not be posted is not counted as sent.
#include "auto_reply.h"

#include <strings.h>

#include "generated_mail.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "user_process.h"

namespace pellam::service {
namespace {

constexpr uint32_t kMaxReplyText = 64 * 1024;  // a reply is a note, not a document
constexpr char kReply = 'R';
constexpr char kSkip = 'S';

uint32_t LastError() {
  const uint32_t code = platform::GetLastError();
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

// Up to `limit` bytes of a file; ERROR_FILE_NOT_FOUND and the like pass through.
uint32_t ReadSmallFile(const std::string& path, uint32_t limit, std::string* text) {
  platform::UniqueFile file(platform::CreateFile(path.c_str(), platform::kRead, platform::kShareRead,
                                                 platform::kOpenExisting));
  if (!file) return LastError();
  text->resize(limit);
  uint32_t got = 0;
  if (!platform::ReadFile(file.get(), text->data(), limit, &got)) return LastError();
  text->resize(got);
  return 0;
}

bool LogNames(const std::string& log, const std::string& sender) {
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(at, end - at);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (::strcasecmp(line.c_str(), sender.c_str()) == 0) return true;
    at = end + 1;
  }
  return false;
}

// In the child: 'S' when no reply is due, else 'R' and the reply text.
uint32_t DecideAsUser(const MailProfile& profile, const std::string& sender, bool once, std::string* out) {
  const std::string directory = profile.MailDirectory;
  if (once) {
    std::string log;
    const uint32_t code = ReadSmallFile(directory + "autorep.log", 1u << 20, &log);
    if (code != 0 && code != ERROR_FILE_NOT_FOUND) return code;
    if (LogNames(log, sender)) {
      *out = kSkip;
      return 0;
    }
  }
  std::string text;
  if (const uint32_t code = ReadSmallFile(directory + "autorep.txt", kMaxReplyText, &text)) return code;
  *out = kReply + text;
  return 0;
}

uint32_t RecordAsUser(const MailProfile& profile, const std::string& sender) {
  const std::string path = std::string(profile.MailDirectory) + "autorep.log";
  platform::UniqueFile file(platform::CreateFile(path.c_str(), platform::kWrite, platform::kShareNone,
                                                 platform::kOpenAlways, 0600));
  if (!file) return LastError();
  const std::string line = sender + "\r\n";
  if (!platform::SetFilePointer(file.get(), 0, platform::kEnd) ||
      !platform::WriteFile(file.get(), line.data(), static_cast<uint32_t>(line.size())) ||
      !platform::FlushFile(file.get())) {
    return LastError();
  }
  return 0;
}

}  // namespace

ReplyResult SendAutoReply(const AutoReplyRequest& request, const PostReply& post, uint32_t* code) {
  *code = 0;
  const MailProfile& profile = request.profile;
  if ((profile.AutoReply & 1) == 0 || request.automatic || request.sender.empty()) return ReplyResult::kNotNeeded;
  // Mail a user sends to himself needs no answer.
  if (::strcasecmp(request.sender.c_str(), profile.AccountName) == 0) return ReplyResult::kNotNeeded;
  const bool once = (profile.AutoReply & 2) == 0;
  std::string decision;
  *code = RunAsUser(
      request.user, [&](std::string* out) { return DecideAsUser(profile, request.sender, once, out); }, &decision);
  if (*code != 0) return ReplyResult::kFailed;
  if (decision.empty() || decision[0] != kReply) return ReplyResult::kNotNeeded;

  const std::string text = decision.substr(1);
  GeneratedMail mail;
  mail.to = request.sender;
  mail.from = FromText(profile.AccountName, profile.FullName);
  mail.subject = request.subject.empty() ? "Automatic reply" : "Re: " + request.subject;
  mail.automatic = "auto-replied";
  mail.text = text;
  if ((*code = post(Prepare(mail))) != 0) return ReplyResult::kFailed;
  if (once) {
    *code = RunAsUser(request.user, [&](std::string*) { return RecordAsUser(profile, request.sender); });
    if (*code != 0) return ReplyResult::kFailed;  // sent, but may be sent again
  }
  return ReplyResult::kSent;
}

}  // namespace pellam::service
