// GetMailHeaders and FreeMailHeaders: the all-or-nothing wrapper around CollectHeaders
// for callers that want a set of values. On failure no value is left behind, and the
// text pointer is left at the line where reading stopped so the caller can show it.
#include "pellam.h"
#include "platform/errors.h"

extern "C" {

PELLAM_API uint32_t GetMailHeaders(const char** text, int32_t* length, int32_t count,
                                   const char* const* names, char** values) {
  // A negative length would be read as a huge one: refuse it rather than overrun.
  if (text == nullptr || length == nullptr || *length < 0 || (*text == nullptr && *length > 0) ||
      (count > 0 && (names == nullptr || values == nullptr))) {
    return platform::Fail(ERROR_INVALID_PARAMETER);
  }
  for (int32_t i = 0; i < count; ++i) values[i] = nullptr;
  int32_t current = -1;
  const char* stop = *text;
  const uint32_t status = CollectHeaders(*text, static_cast<uint32_t>(*length), count, names,
                                         values, &current, &stop);
  *length -= static_cast<int32_t>(stop - *text);
  *text = stop;
  if (status != 0) {
    FreeMailHeaders(count, values);
    platform::SetLastError(status);
  }
  return status;
}

PELLAM_API uint32_t FreeMailHeaders(int32_t count, char** values) {
  if (values == nullptr) return 0;
  for (int32_t i = 0; i < count; ++i) {
    if (values[i] != nullptr) {
      FreeMem(values[i]);
      values[i] = nullptr;
    }
  }
  return 0;
}

}  // extern "C"
