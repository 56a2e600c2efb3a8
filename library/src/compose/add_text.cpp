// AddText and AddTextFile: the message text, appended in as many pieces as the
// caller likes, exactly as supplied.
#include <cstring>

#include "compose/message_file.h"
#include "compose/state_step.h"
#include "frame/export_barrier.h"
#include "platform/errors.h"

namespace pellam {
namespace {

constexpr StateStep kTextStep{MSG_HEADED, MSG_TEXTED, true};

Status AppendText(MailMessage* m, const char* text, int32_t length) {
  if (Status s = EnterState(m, kTextStep); !s.ok()) return s;
  const size_t size = text == nullptr ? 0 : length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  if (Status s = WriteToMessage(m, text, size, ERR_TEXT_TOO_LARGE); !s.ok()) return s;
  if (!AddLength(&m->text_length, size)) return Status(ERR_TEXT_TOO_LARGE);
  LeaveState(m);
  return Status();
}

Status AppendTextFile(MailMessage* m, int file, uint32_t count) {
  if (Status s = EnterState(m, kTextStep); !s.ok()) return s;
  uint32_t copied = 0;
  if (Status s = CopyIntoMessage(m, file, count, ERR_TEXT_TOO_LARGE, &copied); !s.ok()) return s;
  if (!AddLength(&m->text_length, copied)) return Status(ERR_TEXT_TOO_LARGE);
  LeaveState(m);
  return Status();
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t AddText(MailHandle message, const char* text, int32_t length) {
  return pellam::ReportingBarrier([&] { return pellam::AppendText(message, text, length); });
}

extern "C" PELLAM_API uint32_t AddTextFile(MailHandle message, int file, uint32_t count) {
  return pellam::ReportingBarrier([&] { return pellam::AppendTextFile(message, file, count); });
}
