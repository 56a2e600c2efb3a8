// AddHeaders and AddHeadersFile: the end of the address records and the header
// section after them, either built from From, To, Cc and Subject or copied from a
// file unchanged. Once per message, and only after at least one address.
#include <cstdio>
#include <cstring>
#include <string>

#include "compose/control_file_format.h"
#include "compose/message_file.h"
#include "compose/state_step.h"
#include "platform/errors.h"

namespace pellam {
namespace {

constexpr size_t kFromLimit = 525;  // the From text must stay below this length

bool IsLibraryCode(uint32_t code) { return ((code >> 16) & 0xFFF) == 0x100; }

// The From text of the calling user: "account  (full name)", or the account alone.
uint32_t BuildFrom(std::string* from) {
  MailProfile profile{};
  if (uint32_t code = GetUserProfile(&profile, 1)) {
    return IsLibraryCode(code) ? code : ERR_BAD_USER_PROFILE;
  }
  if (uint32_t code = CheckPNameOut(profile.FullName)) return code;
  char text[kFromLimit];
  const int length = profile.FullName[0] != '\0'
                         ? std::snprintf(text, sizeof text, "%s  (%s)", profile.AccountName, profile.FullName)
                         : std::snprintf(text, sizeof text, "%s", profile.AccountName);
  if (length < 0 || static_cast<size_t>(length) >= sizeof text) return ERROR_INSUFFICIENT_BUFFER;
  from->assign(text, static_cast<size_t>(length));
  return 0;
}

// The state step of both calls, the address check and the end mark; the header
// section begins where the end mark ends.
uint32_t BeginHeaderSection(MailMessage* m) {
  if (uint32_t code = EnterState(m, {MSG_ADDRESSED, MSG_HEADED, false})) return code;
  if (m->address_count == 0) return ERR_NO_ADDRESSES;
  if (uint32_t code = WriteToMessage(m, control::kEndMark.data(), control::kEndMark.size(),
                                     ERR_HEADER_TOO_LARGE)) {
    return code;
  }
  return MessagePosition(m, &m->header_offset);
}

// The header section is written: the text begins after it.
void EndHeaderSection(MailMessage* m, uint32_t header_length) {
  m->header_length = header_length;
  m->text_offset = m->header_offset + header_length;
  FreeMem(m->to_text);
  FreeMem(m->cc_text);
  m->to_text = m->cc_text = nullptr;
  m->to_length = m->cc_length = 0;
  LeaveState(m);
}

bool IsEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

void AppendLine(std::string* section, const char* name, const char* value) {
  if (IsEmpty(value)) return;
  section->append(name).append(value).append("\r\n");
}

uint32_t AddBuiltHeaders(MailMessage* m, const char* from, const char* to, const char* cc,
                         const char* subject) {
  std::string built_from;
  if (IsEmpty(from)) {
    if (uint32_t code = BuildFrom(&built_from)) return code;
    from = built_from.c_str();
  }
  if (uint32_t code = BeginHeaderSection(m)) return code;
  std::string section;
  section.append("From: ").append(from).append("\r\n");
  AppendLine(&section, "To: ", IsEmpty(to) ? m->to_text : to);
  AppendLine(&section, "Cc: ", IsEmpty(cc) ? m->cc_text : cc);
  AppendLine(&section, "Subject: ", subject);
  section.append("\r\n");
  if (uint32_t code = WriteToMessage(m, section.data(), section.size(), ERR_HEADER_TOO_LARGE)) return code;
  EndHeaderSection(m, static_cast<uint32_t>(section.size()));
  return 0;
}

uint32_t AddCopiedHeaders(MailMessage* m, int file, uint32_t count) {
  if (uint32_t code = BeginHeaderSection(m)) return code;
  uint32_t copied = 0;
  if (uint32_t code = CopyIntoMessage(m, file, count, ERR_HEADER_TOO_LARGE, &copied)) return code;
  EndHeaderSection(m, copied);
  return 0;
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t AddHeaders(MailHandle message, const char* from, const char* to,
                                          const char* cc, const char* subject) {
  return pellam::Report(
      pellam::NoThrow([&] { return pellam::AddBuiltHeaders(message, from, to, cc, subject); }));
}

extern "C" PELLAM_API uint32_t AddHeadersFile(MailHandle message, int file, uint32_t count) {
  return pellam::Report(pellam::NoThrow([&] { return pellam::AddCopiedHeaders(message, file, count); }));
}
