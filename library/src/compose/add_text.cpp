// AddText and AddTextFile: the message text, appended in as many pieces as the
// caller likes, exactly as supplied.
#include <cstring>

#include "compose/message_file.h"
#include "compose/state_step.h"
#include "platform/errors.h"

namespace pellam {
namespace {

constexpr StateStep kTextStep{MSG_HEADED, MSG_TEXTED, true};

uint32_t AppendText(MailMessage* m, const char* text, int32_t length) {
  if (uint32_t code = EnterState(m, kTextStep)) return code;
  const size_t size = text == nullptr ? 0 : length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  if (uint32_t code = WriteToMessage(m, text, size, ERR_TEXT_TOO_LARGE)) return code;
  if (!AddLength(&m->text_length, size)) return ERR_TEXT_TOO_LARGE;
  LeaveState(m);
  return 0;
}

uint32_t AppendTextFile(MailMessage* m, int file, uint32_t count) {
  if (uint32_t code = EnterState(m, kTextStep)) return code;
  uint32_t copied = 0;
  const uint32_t code = CopyIntoMessage(m, file, count, ERR_TEXT_TOO_LARGE, &copied);
  if (code != 0) return code;
  if (!AddLength(&m->text_length, copied)) return ERR_TEXT_TOO_LARGE;
  LeaveState(m);
  return 0;
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t AddText(MailHandle message, const char* text, int32_t length) {
  return pellam::Report(pellam::NoThrow([&] { return pellam::AppendText(message, text, length); }));
}

extern "C" PELLAM_API uint32_t AddTextFile(MailHandle message, int file, uint32_t count) {
  return pellam::Report(pellam::NoThrow([&] { return pellam::AppendTextFile(message, file, count); }));
}
