// TrimAddress: shortens the first address of a text for display by dropping leading
// route nodes until it fits, keeping at least the last part that still names a node
// or host. Unlike the other address routines it leaves its failure as the last error.
#include "address/address.h"
#include "pellam.h"
#include "platform/errors.h"

extern "C" {

PELLAM_API uint32_t TrimAddress(const char* text, int32_t maximum_length, const char** start,
                                int32_t* length) {
  if (text == nullptr || start == nullptr || length == nullptr) {
    return platform::Fail(ERROR_INVALID_PARAMETER);
  }
  pellam::AddressToken token;
  uint32_t status = pellam::ScanAddressToken(text, false, &token);
  if (status != 0) return platform::Fail(status);

  const char* current = token.start;
  auto current_length = static_cast<int32_t>(token.end - token.start);
  *start = current;
  *length = current_length;
  while (current_length > 0 && *length > maximum_length) {
    pellam::AddressParts parts;
    status = pellam::SplitAddress(current, static_cast<size_t>(current_length), &parts);
    if (status != 0) return platform::Fail(status);
    if (parts.node_length == 0) {
      // A quoted address (what a gateway carries) is looked at without its quotes.
      if (current_length > 2 && current[0] == '"' && current[current_length - 1] == '"') {
        ++current;
        current_length -= 2;
        continue;
      }
      break;
    }
    *start = current;
    *length = current_length;
    current += parts.user_offset;
    current_length = parts.user_length;
  }
  return 0;
}

}  // extern "C"
