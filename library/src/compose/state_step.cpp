// The state step and the fill-in of left-out calls. Each missing call runs through
// its export, which fills in what it misses in turn: PostMailMessage straight after
// AddHeaders posts an empty text.
#include "compose/state_step.h"

#include "platform/errors.h"

namespace pellam {
namespace {

// The call that reaches `state` from the state below it, with empty arguments.
Status RunMissingStep(MailMessage* m, uint32_t state) {
  switch (state) {
    case MSG_ADDRESSED:
      return Status(AddAddresses(m, nullptr, ADDR_SINGLE));
    case MSG_HEADED:
      return Status(AddHeaders(m, nullptr, nullptr, nullptr, nullptr));
    case MSG_TEXTED:
      return Status(AddText(m, nullptr, 0));
    default:
      return Status(ERR_OUT_OF_ORDER);
  }
}

}  // namespace

Status EnterState(MailMessage* m, const StateStep& step) {
  if (!IsOpenHandle(m)) return Status(ERR_BAD_HANDLE);
  // The busy flag keeps a failed handle above every state, so it never fills in.
  if (m->state < step.needs) {
    if (Status s = RunMissingStep(m, step.needs); !s.ok()) return s;
  }
  if (m->state != step.needs && !(step.may_repeat && m->state == step.moves_to)) {
    return Status(ERR_OUT_OF_ORDER);
  }
  m->state = step.moves_to | MSG_BUSY;
  return Status();
}

}  // namespace pellam
