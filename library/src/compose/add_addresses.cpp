// AddAddresses: the recipients of a message, in the order given; may be called any
// number of times before the headers.
#include "compose/address_expansion.h"
#include "compose/state_step.h"
#include "platform/errors.h"

namespace pellam {
namespace {

uint32_t AddAddressList(MailMessage* m, const char* list, int32_t kind) {
  if (kind != ADDR_TO && kind != ADDR_CC && kind != ADDR_SINGLE) return ERROR_INVALID_PARAMETER;
  if (uint32_t code = EnterState(m, {MSG_CREATED, MSG_ADDRESSED, true})) return code;
  if (list != nullptr) {
    if (uint32_t code = ExpandAddressList(m, list, kind, 0)) return code;
  }
  LeaveState(m);
  return 0;
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t AddAddresses(MailHandle message, const char* addresses, int32_t kind) {
  return pellam::Report(pellam::NoThrow([&] { return pellam::AddAddressList(message, addresses, kind); }));
}
