// The From line is read as the library's header reader and address scanner read it,
// so that what is checked here is what a reader of the delivered message sees.
#include "poster.h"

#include <strings.h>

#include <vector>

#include "pellam.h"
#include "platform/accounts.h"
#include "recipient.h"

namespace pellam::service {
namespace {

// Lines of the header section that begin a From header (not continuation lines).
size_t CountFromLines(std::string_view header) {
  size_t count = 0;
  for (size_t at = 0; at < header.size();) {
    const size_t end = header.find('\n', at);
    const std::string_view line = header.substr(at, end == std::string_view::npos ? end : end - at);
    if (line.size() >= 5 && ::strncasecmp(line.data(), "From:", 5) == 0) ++count;
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return count;
}

// The addresses of the first From line's value, as ScanAddr finds them.
std::vector<std::string> FromAddresses(std::string_view header) {
  std::vector<std::string> addresses;
  static const char* const kNames[] = {"From"};
  char* values[1] = {};
  const char* text = header.data();
  int32_t length = static_cast<int32_t>(header.size());
  if (GetMailHeaders(&text, &length, 1, kNames, values) != 0 || values[0] == nullptr) return addresses;
  const char* at = values[0];
  for (int i = 0; i < 64 && at != nullptr && *at != '\0'; ++i) {
    const char* start = nullptr;
    const char* end = nullptr;
    const char* next = nullptr;
    if (ScanAddr(at, &start, &end, &next, 0) != 0) break;
    addresses.emplace_back(start, end);
    at = next;
  }
  FreeMailHeaders(1, values);
  return addresses;
}

}  // namespace

uint32_t IdentifyPoster(uint32_t uid, Poster* poster) {
  poster->uid = uid;
  poster->account.clear();
  if (uid == 0) return 0;
  platform::Account account;
  if (const uint32_t code = platform::LookupAccountByUid(uid, &account)) return code;
  poster->account = account.name;
  return 0;
}

std::string CheckSender(const Poster& poster, std::string_view header, const std::string& local_node) {
  if (poster.system()) return {};
  const std::string posted_by = "it was posted by " + poster.account + ".";
  if (CountFromLines(header) != 1) return "The message must have exactly one From line naming its sender; " + posted_by;
  const std::vector<std::string> from = FromAddresses(header);
  if (from.size() != 1) return "The From line of the message must name exactly one address; " + posted_by;
  const Recipient r = ClassifyRecipient(from[0], local_node);
  if (r.kind != RecipientKind::kLocal || ::strcasecmp(r.user.c_str(), poster.account.c_str()) != 0) {
    return "The From line of the message names " + from[0] + ", but " + posted_by;
  }
  return {};
}

}  // namespace pellam::service
