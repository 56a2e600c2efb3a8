// Removing what killed posters and a killed service leave in the temporary directory:
// control files that were never finished ("*.tmp"), older than a day. Nothing younger
// is touched, so a message being composed right now is safe, and neither is a
// directory. Each removal is logged with the file's owner and size.
#pragma once

#include <ctime>
#include <string>

#include "event_log.h"

namespace pellam::service {

inline constexpr std::time_t kStaleTemporaryAge = 24 * 60 * 60;

// Removes the stale files of `directory` (ending in "/") as of `now`; how many.
size_t RemoveStaleTemporaryFiles(const std::string& directory, std::time_t now, const EventLog& log);

}  // namespace pellam::service
