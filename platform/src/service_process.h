// Processes for the service control layer: starting a program detached from the
// caller (new session, double fork, so that it outlives the caller and is nobody's
// child), telling whether a recorded process still lives, and running a command to
// collect its output.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform::service {

// Starts args[0] (an absolute path) with `args` as its arguments, with the caller's
// environment, default signal handling, "/" as its directory, umask 022 and /dev/null
// as its standard files. `*pid` receives the process's id once it has been executed;
// a failed execution gives its code (ERROR_FILE_NOT_FOUND for a missing program).
uint32_t SpawnDetached(const std::vector<std::string>& args, pid_t* pid);

// The start time of a live process in clock ticks since boot, which tells it apart
// from a later process that received the same id; false for a process that does not
// exist or has ended (a zombie has ended).
bool ProcessStartTime(pid_t pid, uint64_t* start_ticks);

// True when `pid` is still the process that started at `start_ticks`.
bool SameProcessAlive(pid_t pid, uint64_t start_ticks);

// Milliseconds of the boot clock, which keeps counting while the machine sleeps.
uint64_t BootClockMs();

// Runs a command found on PATH, collecting its standard output; `*exit_status` is its
// exit code (127 when it could not be executed). Fails only when it cannot be run.
uint32_t RunCommand(const std::vector<std::string>& args, std::string* output, int* exit_status);

}  // namespace platform::service
