// A command target: the commands one object of the client handles, each with the rule
// that decides its enable and check state (and, for a status-bar pane, its text).
// Targets only answer; the router (command_router.h) decides who is asked.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace fw {

// What a rule says about one command or pane. A rule starts from "enabled, not checked,
// text unchanged" and changes what it needs.
struct CommandState {
  bool enabled = true;
  bool checked = false;
  std::optional<std::string> text;  // a pane's new text (ISO-8859-1)
};

class CommandTarget {
 public:
  using Handler = std::function<void()>;
  using Updater = std::function<void(CommandState&)>;

  CommandTarget() = default;
  CommandTarget(const CommandTarget&) = delete;
  CommandTarget& operator=(const CommandTarget&) = delete;
  virtual ~CommandTarget() = default;

  // This target handles `id`; without an updater the command is always enabled.
  void OnCommand(int id, Handler handler, Updater updater = {});
  // A state rule with no command behind it (status-bar panes).
  void OnUpdate(int id, Updater updater);

  bool Handles(int id) const { return entries_.count(id) != 0; }

  // Fills `state` from this target's rule; false when the target has no entry for `id`.
  bool QueryState(int id, CommandState* state) const;

  // Runs the handler of `id`; false when this target has none. The handler may close
  // the window that owns this target, so nothing of the target is used afterwards.
  bool Dispatch(int id) const;

 private:
  struct Entry {
    Handler handler;
    Updater updater;
  };
  std::map<int, Entry> entries_;
};

}  // namespace fw
