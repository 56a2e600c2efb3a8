// The service's access to the files of the queue directory, which every user may write
// to: control files are read only if they are plain files with one link (never
// through a link, never a FIFO), and one that cannot be used is renamed aside, never
// deleted and never retried.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job_state.h"

namespace pellam::service {

// What the service learnt of a queue file besides its bytes.
struct QueueFileFacts {
  uint32_t owner = 0;    // the uid of the file (of the link, for a link)
  std::string problem;   // why it cannot be used: "a directory", "a FIFO", "a link", ...
};

// Reads the control file at `path` whole, up to the size the library writes. 0;
// ERROR_FILE_NOT_FOUND when it is gone; ERR_CONTROL_FILE for a link, a directory or
// another non-file, a file with more than one link, or one too large (with the
// reason in `facts->problem`); or the platform's code of a failed open or read.
// `*identity` receives its size and inode (the caller adds the creation time from its
// items), `facts->owner` its owner.
uint32_t ReadQueueFile(const std::string& path, std::string* bytes, JobIdentity* identity, QueueFileFacts* facts);

// Renames `queue` + `name` to a name ending in ".bad" that no other file has; the
// new name in `*aside`.
uint32_t SetAside(const std::string& queue, const std::string& name, std::string* aside);

// The names of the queue's files that match `pattern` ("*.mai"), in name order.
uint32_t ListQueue(const std::string& queue, const char* pattern, std::vector<std::string>* names);

}  // namespace pellam::service
