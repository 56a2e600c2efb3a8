// The state step and the fill-in of left-out calls. Each missing call runs through
// its export, which fills in what it misses in turn: PostMailMessage straight after
// AddHeaders posts an empty text.
#include "compose/state_step.h"

#include "platform/errors.h"

namespace pellam {
namespace {

// The call that reaches `state` from the state below it, with empty arguments.
uint32_t RunMissingStep(MailMessage* m, uint32_t state) {
  switch (state) {
    case MSG_ADDRESSED:
      return AddAddresses(m, nullptr, ADDR_SINGLE);
    case MSG_HEADED:
      return AddHeaders(m, nullptr, nullptr, nullptr, nullptr);
    case MSG_TEXTED:
      return AddText(m, nullptr, 0);
    default:
      return ERR_OUT_OF_ORDER;
  }
}

}  // namespace

uint32_t EnterState(MailMessage* m, const StateStep& step) {
  if (!IsOpenHandle(m)) return ERR_BAD_HANDLE;
  // The busy flag keeps a failed handle above every state, so it never fills in.
  if (m->state < step.needs) {
    if (uint32_t code = RunMissingStep(m, step.needs)) return code;
  }
  if (m->state != step.needs && !(step.may_repeat && m->state == step.moves_to)) {
    return ERR_OUT_OF_ORDER;
  }
  m->state = step.moves_to | MSG_BUSY;
  return 0;
}

}  // namespace pellam
