// SendMailMessageFromText: a prepared message in memory (header section, empty line,
// text) sent in one call. The text need not end in a NUL; nothing past `length`
// is read.
#include "frame/export_barrier.h"
#include "sendmail/one_shot.h"

namespace pellam {
namespace {

Status SendText(const char* text, int32_t length, const char** error_position) {
  if (error_position != nullptr) *error_position = nullptr;
  if (length < 0 || (text == nullptr && length > 0)) return Status(ERROR_INVALID_PARAMETER);
  CollectedHeaders headers;
  int32_t current = -1;
  const char* stop = text;
  const uint32_t collected = CollectHeaders(text, static_cast<uint32_t>(length), kOneShotHeaders,
                                            kOneShotHeaderNames, headers.values, &current, &stop);
  if (collected != 0) {
    if (error_position != nullptr) *error_position = stop;
    return Status(ERR_BAD_HEADER_SECTION);
  }
  const auto body_length = static_cast<int32_t>(length - (stop - text));
  return ComposeAndPost(headers, [&](MailHandle message) { return AddText(message, stop, body_length); });
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t SendMailMessageFromText(const char* text, int32_t length,
                                                       const char** error_position) {
  return pellam::ReportingBarrier([&] { return pellam::SendText(text, length, error_position); });
}
