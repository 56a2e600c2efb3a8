// AddAddresses: the recipients of a message, in the order given; may be called any
// number of times before the headers.
#include "compose/address_expansion.h"
#include "compose/state_step.h"
#include "frame/export_barrier.h"
#include "platform/errors.h"

namespace pellam {
namespace {

Status AddAddressList(MailMessage* m, const char* list, int32_t kind) {
  if (kind != ADDR_TO && kind != ADDR_CC && kind != ADDR_SINGLE) return Status(ERROR_INVALID_PARAMETER);
  if (Status s = EnterState(m, {MSG_CREATED, MSG_ADDRESSED, true}); !s.ok()) return s;
  if (list != nullptr) {
    if (Status s = ExpandAddressList(m, list, kind); !s.ok()) return s;
  }
  LeaveState(m);
  return Status();
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t AddAddresses(MailHandle message, const char* addresses, int32_t kind) {
  return pellam::ReportingBarrier([&] { return pellam::AddAddressList(message, addresses, kind); });
}
