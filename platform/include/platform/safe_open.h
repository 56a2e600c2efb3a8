// Opening and creating inside a directory that a user controls, for a process with
// more rights than that user (root): every step is taken from a descriptor already
// checked, never by a path the user could redirect. Nothing is followed through a
// link, nothing blocks on a FIFO, and what was opened is checked with fstat before it
// is used: a directory or regular file as asked, owned by the account, not writable by
// group or others, a file with one link. What is created is given to the account
// through its descriptor. Every call returns 0 or a status code (ERROR_ACCESS_DENIED
// for anything that fails the checks) and leaves the last-error value alone.
#pragma once

#include <cstdint>
#include <string>

#include "platform/export.h"
#include "platform/files.h"

namespace platform {

// The account a directory tree belongs to.
struct TreeOwner {
  uint32_t uid = 0;
  uint32_t gid = 0;
};

// The account's home, `home` as the account database names it (the administrator's
// path, followed as it stands up to the home itself, which must not be a link): a
// directory owned by the account or by root.
PLATFORM_API uint32_t OpenHome(const std::string& home, const TreeOwner& owner, UniqueFile* dir) noexcept;

// The directory `name` (one name) inside `parent`. With `create`, a missing one is
// made with `mode` and given to `owner`.
PLATFORM_API uint32_t OpenOwnedDirectory(int parent, const char* name, const TreeOwner& owner, bool create,
                            unsigned mode, UniqueFile* dir) noexcept;

// The regular file `name` (one name) inside `parent`, with `access` (files.h) and
// `disposition` kOpenExisting, kCreateNew or kOpenAlways; a file made here gets
// `mode` and `owner`. The descriptor is blocking again when returned.
PLATFORM_API uint32_t OpenOwnedFile(int parent, const char* name, const TreeOwner& owner, unsigned access,
                       unsigned disposition, unsigned mode, UniqueFile* file) noexcept;

// Checks an open descriptor as the calls above check what they open: a directory when
// `directory`, else a regular file with one link; owned by `owner`; not writable by
// group or others.
PLATFORM_API uint32_t CheckOwned(int fd, const TreeOwner& owner, bool directory) noexcept;

// A name for `name` inside the directory open as `dir` that reaches it through the
// descriptor, for code that takes only names (SQLite): renaming the directory, or any
// above it, cannot send an open of this name anywhere else.
PLATFORM_API std::string PathThrough(int dir, const char* name);

}  // namespace platform
