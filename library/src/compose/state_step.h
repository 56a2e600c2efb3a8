// The composition state machine: the step every call but CreateMailMessage and
// CloseMailMessage runs first. A call that finds the handle below the state it needs
// runs the missing calls with empty arguments; a call that fails after its step
// leaves MSG_BUSY set, so every later call but CloseMailMessage is out of order.
#pragma once

#include <cstdint>

#include "compose/message_handle.h"
#include "frame/status.h"

namespace pellam {

struct StateStep {
  uint32_t needs;     // the state the call starts from
  uint32_t moves_to;  // the state it reaches
  bool may_repeat;    // whether it may also start from `moves_to`
};

// 0 with the state set to `moves_to | MSG_BUSY`, or ERR_BAD_HANDLE,
// ERR_OUT_OF_ORDER, or the failure of a missing step.
Status EnterState(MailMessage* message, const StateStep& step);

// The call succeeded: clear the busy flag.
inline void LeaveState(MailMessage* message) noexcept { message->state &= ~uint32_t{MSG_BUSY}; }

}  // namespace pellam
