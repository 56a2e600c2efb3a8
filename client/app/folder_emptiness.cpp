// Shared folder-is-empty answers, kept until the folder changes.
#include "app/folder_emptiness.h"

namespace pelldesk {
namespace {

std::string Key(const std::string& path) {
  std::string key = path;
  while (key.size() > 1 && key.back() == '/') key.pop_back();
  return key;
}

}  // namespace

FolderEmptiness::FolderEmptiness(std::function<bool(const std::string&)> lister, Clock::duration lifetime)
    : lister_(std::move(lister)), lifetime_(lifetime) {}

bool FolderEmptiness::IsEmpty(const std::string& path) {
  const std::string key = Key(path);
  const Clock::time_point now = Clock::now();
  auto it = answers_.find(key);
  if (it != answers_.end() && now - it->second.at <= lifetime_) return it->second.empty;
  const bool empty = lister_(key + "/");
  answers_[key] = Answer{empty, now};
  return empty;
}

void FolderEmptiness::Forget(const std::string& path) { answers_.erase(Key(path)); }

void FolderEmptiness::Note(const std::string& path, bool empty) { answers_[Key(path)] = Answer{empty, Clock::now()}; }

}  // namespace pelldesk
