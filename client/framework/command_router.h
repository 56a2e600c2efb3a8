// The one place that decides where a command goes and whether it is enabled: the
// targets of the chain (the active view, its document, its frame, the main frame, the
// application) are asked in that order, and the first with an entry for the command
// owns it. A command that no target knows is disabled, which is how commands whose
// windows do not exist yet show.
#pragma once

#include <functional>
#include <vector>

#include "framework/command_target.h"

namespace fw {

class CommandRouter {
 public:
  using Chain = std::function<std::vector<CommandTarget*>()>;

  explicit CommandRouter(Chain chain) : chain_(std::move(chain)) {}

  // The owner's rule, or a disabled state when no target knows `id`.
  CommandState State(int id) const;

  // The first target of the chain with an entry for `id`, or null.
  CommandTarget* Owner(int id) const;

  // Runs the command when its owner has it enabled; true when a handler ran.
  bool Execute(int id) const;

 private:
  Chain chain_;
};

}  // namespace fw
