// Routing of commands along the active window's chain.
#include "framework/command_router.h"

namespace fw {

CommandTarget* CommandRouter::Owner(int id) const {
  for (CommandTarget* target : chain_()) {
    if (target != nullptr && target->Handles(id)) return target;
  }
  return nullptr;
}

CommandState CommandRouter::State(int id) const {
  CommandState state;
  CommandTarget* owner = Owner(id);
  if (owner == nullptr || !owner->QueryState(id, &state)) state.enabled = false;
  return state;
}

bool CommandRouter::Execute(int id) const {
  CommandTarget* owner = Owner(id);
  if (owner == nullptr) return false;
  CommandState state;
  owner->QueryState(id, &state);
  if (!state.enabled) return false;
  return owner->Dispatch(id);
}

}  // namespace fw
