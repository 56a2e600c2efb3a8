// Command tables of single targets.
#include "framework/command_target.h"

#include <utility>

namespace fw {

void CommandTarget::OnCommand(int id, Handler handler, Updater updater) {
  entries_[id] = Entry{std::move(handler), std::move(updater)};
}

void CommandTarget::OnUpdate(int id, Updater updater) {
  entries_[id].updater = std::move(updater);
}

bool CommandTarget::QueryState(int id, CommandState* state) const {
  auto it = entries_.find(id);
  if (it == entries_.end()) return false;
  *state = CommandState{};
  if (it->second.updater) it->second.updater(*state);
  return true;
}

bool CommandTarget::Dispatch(int id) const {
  auto it = entries_.find(id);
  if (it == entries_.end() || !it->second.handler) return false;
  // A copy, because the handler may destroy this target and with it the table.
  Handler handler = it->second.handler;
  handler();
  return true;
}

}  // namespace fw
