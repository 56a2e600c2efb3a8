// Directory search. The first call reads the matching names of the directory at
// once and sorts them ignoring case, so a search sees one listing in a stable order
// (as the original platform's file system gave names); each name is looked at on
// disk only when it is returned, and a name gone by then is passed over.
#include "platform/find.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "retry.h"

namespace platform {

struct FindState {
  DIR* dir = nullptr;              // open for the whole search, for fstatat
  std::vector<std::string> names;  // the matches, in order
  std::size_t next = 0;            // index of the next name to return
};

namespace {

// Letter case folded for ISO-8859-1 text: A-Z and the accented capitals.
unsigned char Fold(char c) {
  auto u = static_cast<unsigned char>(c);
  if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) return static_cast<unsigned char>(u + 0x20);
  return u;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  auto fold_less = [](char x, char y) { return Fold(x) < Fold(y); };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), fold_less)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), fold_less)) return false;
  return a < b;  // names that differ only in case keep a fixed order too
}

// "*" and "?" over `pattern[0, length)`, with backtracking to the last "*".
bool MatchWildcards(const char* pattern, std::size_t length, const char* name) {
  std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (name[n] != '\0') {
    if (p < length && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < length && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < length && pattern[p] == '*') ++p;
  return p == length;
}

// The next name of the search that still exists, into `data`.
bool Advance(FindState& state, FindData* data) {
  while (state.next < state.names.size()) {
    const std::string& name = state.names[state.next++];
    struct stat st{};
    if (::fstatat(::dirfd(state.dir), name.c_str(), &st, 0) != 0) continue;
    std::memcpy(data->name, name.c_str(), name.size() + 1);
    data->attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrNormal;
    data->size = static_cast<uint64_t>(st.st_size);
    data->modified = static_cast<int64_t>(st.st_mtime);
    return true;
  }
  return false;
}

// Reads the names of `state.dir` that match `pattern`, in order. Sets the last-error
// value on failure.
bool ReadMatches(FindState& state, const char* pattern) {
  try {
    for (;;) {
      errno = 0;  // readdir tells its end from a failure only through errno
      dirent* e = ::readdir(state.dir);
      if (e == nullptr) break;
      const char* name = e->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      if (std::strlen(name) < kMaxPath && MatchName(pattern, name)) state.names.emplace_back(name);
    }
    if (errno != 0) {
      FailWithErrno();
      return false;
    }
    std::sort(state.names.begin(), state.names.end(), LessIgnoringCase);
  } catch (...) {
    Fail(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  return true;
}

}  // namespace

FindHandle FindFirstFile(const char* pattern, FindData* data) noexcept {
  if (uint32_t c = fault::Check(fault::Op::Open)) {
    Fail(c);
    return nullptr;
  }
  if (pattern == nullptr || data == nullptr) {
    Fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const char* name_pattern = FinalName(pattern);
  FindState* state = new (std::nothrow) FindState;
  if (state == nullptr) {
    Fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  int fd = -1;
  try {
    const std::size_t dir_length = static_cast<std::size_t>(name_pattern - pattern);
    const std::string dir = dir_length == 0 ? std::string(".") : std::string(pattern, dir_length);
    fd = RetryOnEintr([&] { return ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  } catch (...) {
    Fail(ERROR_NOT_ENOUGH_MEMORY);
    delete state;
    return nullptr;
  }
  if (fd < 0) {
    // The whole pattern is named so that a missing directory is told as 3.
    FailWithErrno(pattern);
    delete state;
    return nullptr;
  }
  state->dir = ::fdopendir(fd);
  if (state->dir == nullptr) {
    FailWithErrno();
    ::close(fd);
    delete state;
    return nullptr;
  }
  if (!ReadMatches(*state, name_pattern)) {
    FindClose(state);
    return nullptr;
  }
  if (!Advance(*state, data)) {
    FindClose(state);
    Fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return state;
}

bool FindNextFile(FindHandle handle, FindData* data) noexcept {
  if (handle == nullptr || data == nullptr) {
    Fail(handle == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return false;
  }
  if (Advance(*handle, data)) return true;
  Fail(ERROR_NO_MORE_FILES);
  return false;
}

void FindClose(FindHandle handle) noexcept {
  if (handle == nullptr) return;
  if (handle->dir != nullptr) ::closedir(handle->dir);
  delete handle;
}

bool MatchName(const char* pattern, const char* name) noexcept {
  if (pattern == nullptr || name == nullptr) return false;
  std::size_t length = std::strlen(pattern);
  // A pattern that ends in "." ("*.") asks for names without a dot.
  if (length > 0 && pattern[length - 1] == '.') {
    if (std::strchr(name, '.') != nullptr) return false;
    --length;
  }
  return MatchWildcards(pattern, length, name);
}

}  // namespace platform
