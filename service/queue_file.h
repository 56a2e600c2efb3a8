// The service's access to the files of the queue directory, which every user may write
// to: control files are read only if they are plain files (never through a link), and
// one that cannot be used is renamed aside, never deleted and never retried.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job_state.h"

namespace pellam::service {

// Control files larger than this are set aside unread: the service reads them whole.
inline constexpr uint64_t kMaxControlFile = 64ull << 20;

// Reads the control file at `path` whole. 0; ERROR_FILE_NOT_FOUND when it is gone;
// ERR_CONTROL_FILE for a link, a directory or another non-file, or a file too large;
// or the platform's code of a failed open or read. `*identity` receives its size and
// inode (the caller adds the creation time from its items).
uint32_t ReadQueueFile(const std::string& path, std::string* bytes, JobIdentity* identity);

// Renames `queue` + `name` to a name ending in ".bad" that no other file has; the
// new name in `*aside`.
uint32_t SetAside(const std::string& queue, const std::string& name, std::string* aside);

// The names of the queue's files that match `pattern` ("*.mai"), in name order.
uint32_t ListQueue(const std::string& queue, const char* pattern, std::vector<std::string>* names);

}  // namespace pellam::service
