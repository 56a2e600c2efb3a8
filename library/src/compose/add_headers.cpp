// AddHeaders and AddHeadersFile: the end of the address records and the header
// section after them, either built from From, To, Cc and Subject or copied from a
// file unchanged. Once per message, and only after at least one address.
#include <cstdio>
#include <cstring>
#include <string>

#include "compose/control_file_format.h"
#include "compose/message_file.h"
#include "compose/state_step.h"
#include "frame/export_barrier.h"
#include "frame/status.h"
#include "platform/errors.h"

namespace pellam {
namespace {

constexpr size_t kFromLimit = 525;  // the From text must stay below this length

// The From text of the calling user: "account  (full name)", or the account alone.
Status BuildFrom(std::string* from) {
  MailProfile profile{};
  if (const uint32_t code = GetUserProfile(&profile, 1)) {
    return Status(IsLibraryCode(code) ? code : ERR_BAD_USER_PROFILE);
  }
  if (const uint32_t code = CheckPNameOut(profile.FullName)) return Status(code);
  char text[kFromLimit];
  const int length = profile.FullName[0] != '\0'
                         ? std::snprintf(text, sizeof text, "%s  (%s)", profile.AccountName, profile.FullName)
                         : std::snprintf(text, sizeof text, "%s", profile.AccountName);
  if (length < 0 || static_cast<size_t>(length) >= sizeof text) return Status(ERROR_INSUFFICIENT_BUFFER);
  from->assign(text, static_cast<size_t>(length));
  return Status();
}

// The state step of both calls, the address check and the end mark; the header
// section begins where the end mark ends.
Status BeginHeaderSection(MailMessage* m) {
  if (Status s = EnterState(m, {MSG_ADDRESSED, MSG_HEADED, false}); !s.ok()) return s;
  if (m->address_count == 0) return Status(ERR_NO_ADDRESSES);
  if (Status s = WriteToMessage(m, control::kEndMark.data(), control::kEndMark.size(), ERR_HEADER_TOO_LARGE);
      !s.ok()) {
    return s;
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

Status AddBuiltHeaders(MailMessage* m, const char* from, const char* to, const char* cc,
                       const char* subject) {
  std::string built_from;
  if (IsEmpty(from)) {
    if (Status s = BuildFrom(&built_from); !s.ok()) return s;
    from = built_from.c_str();
  }
  if (Status s = BeginHeaderSection(m); !s.ok()) return s;
  std::string section;
  section.append("From: ").append(from).append("\r\n");
  AppendLine(&section, "To: ", IsEmpty(to) ? m->to_text : to);
  AppendLine(&section, "Cc: ", IsEmpty(cc) ? m->cc_text : cc);
  AppendLine(&section, "Subject: ", subject);
  section.append("\r\n");
  if (Status s = WriteToMessage(m, section.data(), section.size(), ERR_HEADER_TOO_LARGE); !s.ok()) return s;
  EndHeaderSection(m, static_cast<uint32_t>(section.size()));
  return Status();
}

Status AddCopiedHeaders(MailMessage* m, int file, uint32_t count) {
  if (Status s = BeginHeaderSection(m); !s.ok()) return s;
  uint32_t copied = 0;
  if (Status s = CopyIntoMessage(m, file, count, ERR_HEADER_TOO_LARGE, &copied); !s.ok()) return s;
  EndHeaderSection(m, copied);
  return Status();
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t AddHeaders(MailHandle message, const char* from, const char* to,
                                          const char* cc, const char* subject) {
  return pellam::ReportingBarrier([&] { return pellam::AddBuiltHeaders(message, from, to, cc, subject); });
}

extern "C" PELLAM_API uint32_t AddHeadersFile(MailHandle message, int file, uint32_t count) {
  return pellam::ReportingBarrier([&] { return pellam::AddCopiedHeaders(message, file, count); });
}
