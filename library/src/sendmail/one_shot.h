// What the two one-shot senders share: the header names they look for, the values
// they collect (freed on every path), and the composition run over those values.
#pragma once

#include <cstdint>

#include "frame/status.h"
#include "pellam.h"
#include "platform/errors.h"

namespace pellam {

// The collector's table, in this order; only To, Cc and Subject are used.
enum OneShotHeader : int32_t { kDate, kFrom, kTo, kCc, kSubject, kOneShotHeaders };
extern const char* const kOneShotHeaderNames[kOneShotHeaders];

// The collected values, released when the set goes out of scope.
struct CollectedHeaders {
  char* values[kOneShotHeaders] = {};
  CollectedHeaders() = default;
  CollectedHeaders(const CollectedHeaders&) = delete;
  CollectedHeaders& operator=(const CollectedHeaders&) = delete;
  ~CollectedHeaders() { FreeMailHeaders(kOneShotHeaders, values); }
};

// Creates a message, adds the To and Cc addresses and the Subject (From comes from
// the sender's profile), lets `add_text` supply the text, posts and closes. The
// first failure is the result; an unposted message is discarded by the close.
template <class AddText>
Status ComposeAndPost(const CollectedHeaders& headers, AddText&& add_text) {
  MailHandle message = CreateMailMessage(0);
  if (message == nullptr) return LastError();
  uint32_t code = AddAddresses(message, headers.values[kTo], ADDR_TO);
  if (code == 0) code = AddAddresses(message, headers.values[kCc], ADDR_CC);
  if (code == 0) code = AddHeaders(message, nullptr, nullptr, nullptr, headers.values[kSubject]);
  if (code == 0) code = add_text(message);
  if (code == 0) code = PostMailMessage(message);
  const uint32_t closed = CloseMailMessage(message);
  return Status(code != 0 ? code : closed);
}

}  // namespace pellam
