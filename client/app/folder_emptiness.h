// The folder-is-empty answer that the enable rules share: the folder windows' Delete
// Folder, Delete Contents and Move Contents and the application's Purge Deleted ask it
// on every refresh of the commands, and each fresh answer lists a whole directory. An
// answer stands until the folder operations or a window's change notification say the
// folder changed, and at most a second, for changes made by other programs. Operations
// that act on the answer (removing a folder) ask IsFolderEmpty itself, never this.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <unordered_map>

namespace pelldesk {

class FolderEmptiness {
 public:
  using Clock = std::chrono::steady_clock;
  // `lister` gives the fresh answer (IsFolderEmpty); `lifetime` bounds an answer's age.
  explicit FolderEmptiness(std::function<bool(const std::string&)> lister,
                           Clock::duration lifetime = std::chrono::seconds(1));

  // The answer for the folder `path` (with or without its final "/").
  bool IsEmpty(const std::string& path);
  // The folder changed: its next question lists it again.
  void Forget(const std::string& path);
  // What a caller that has just listed the folder found, so that no one lists it again.
  void Note(const std::string& path, bool empty);
  void ForgetAll() { answers_.clear(); }

 private:
  struct Answer {
    bool empty;
    Clock::time_point at;
  };
  std::function<bool(const std::string&)> lister_;
  Clock::duration lifetime_;
  std::unordered_map<std::string, Answer> answers_;  // by path without a final "/"
};

}  // namespace pelldesk
