// The supervisor's pid files and the states told from them. A pid file is replaced
// whole by rename, so a reader sees the old record or the new one, never half of one.
#include "service_supervisor.h"

#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cinttypes>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/sandbox.h"
#include "service_files.h"
#include "service_process.h"
#include "service_record.h"

namespace platform {

namespace {
std::atomic<unsigned> g_start_settle_ms{1000};
std::atomic<unsigned> g_stop_wait_ms{10000};
}  // namespace

void SetServiceTimeouts(unsigned start_settle_ms, unsigned stop_wait_ms) noexcept {
  g_start_settle_ms.store(start_settle_ms);
  g_stop_wait_ms.store(stop_wait_ms);
}

namespace service {
namespace {

struct PidRecord {
  pid_t pid = 0;
  uint64_t start_ticks = 0;  // the process's start time, against reuse of its id
  uint64_t started_ms = 0;   // boot clock at the start
  uint64_t stop_ms = 0;      // boot clock at the last stop request; 0 for none
};

std::string RunDirectory() { return InRoot("/run/pellam"); }

std::string PidPath(const std::string& name) { return RunDirectory() + "/" + FileName(name) + ".pid"; }

uint32_t CreateDirectoryIfMissing(const std::string& path) {
  if (CreateDirectory(path.c_str(), 0755)) return ERROR_SUCCESS;
  const uint32_t code = GetLastError();
  return code == ERROR_ALREADY_EXISTS ? ERROR_SUCCESS : code;
}

uint32_t EnsureRunDirectory() {
  uint32_t code = CreateDirectoryIfMissing(InRoot("/run"));
  return code == ERROR_SUCCESS ? CreateDirectoryIfMissing(RunDirectory()) : code;
}

// `*present` is false when there is no pid file, or one that this layer did not write
// (its text does not parse): neither names a process to trust.
uint32_t ReadPidRecord(const std::string& path, PidRecord* record, bool* present) {
  *present = false;
  UniqueFile file(CreateFile(path.c_str(), kRead, kShareRead | kShareWrite | kShareDelete, kOpenExisting));
  if (!file) {
    const uint32_t code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : code;
  }
  char text[128];
  uint32_t done = 0;
  if (!ReadFile(file.get(), text, sizeof text - 1, &done)) return GetLastError();
  text[done] = '\0';
  long long pid = 0;
  unsigned long long ticks = 0, started = 0, stop = 0;
  char end = '\0';
  if (std::sscanf(text, "%lld %llu %llu %llu%c", &pid, &ticks, &started, &stop, &end) == 5 &&
      end == '\n' && pid > 0 && pid <= INT32_MAX) {
    *record = PidRecord{static_cast<pid_t>(pid), ticks, started, stop};
    *present = true;
  }
  return ERROR_SUCCESS;
}

uint32_t WritePidRecord(const std::string& path, const PidRecord& record) {
  char text[128];
  std::snprintf(text, sizeof text, "%lld %" PRIu64 " %" PRIu64 " %" PRIu64 "\n",
                static_cast<long long>(record.pid), record.start_ticks, record.started_ms,
                record.stop_ms);
  return ReplaceFile(path, text, 0644);
}

void RemovePidRecord(const std::string& path) { ::unlink(path.c_str()); }

struct Observation {
  bool recorded = false;  // a live process is recorded
  PidRecord record;
  uint32_t state = SERVICE_STOPPED;
  uint32_t wait_hint = 0;
};

uint32_t Observe(const std::string& name, Observation* seen) {
  *seen = Observation{};
  const std::string path = PidPath(name);
  bool present = false;
  uint32_t code = ReadPidRecord(path, &seen->record, &present);
  if (code != ERROR_SUCCESS) return code;
  if (!present) return ERROR_SUCCESS;
  if (!SameProcessAlive(seen->record.pid, seen->record.start_ticks)) {
    RemovePidRecord(path);
    return ERROR_SUCCESS;
  }
  seen->recorded = true;
  const uint64_t now = BootClockMs();
  auto since = [now](uint64_t stamp) { return now >= stamp ? now - stamp : 0; };
  const PidRecord& r = seen->record;
  if (r.stop_ms != 0 && since(r.stop_ms) < StopWaitMs()) {
    seen->state = SERVICE_STOP_PENDING;
    seen->wait_hint = static_cast<uint32_t>(StopWaitMs() - since(r.stop_ms));
  } else if (r.stop_ms == 0 && since(r.started_ms) < StartSettleMs()) {
    seen->state = SERVICE_START_PENDING;
    seen->wait_hint = static_cast<uint32_t>(StartSettleMs() - since(r.started_ms));
  } else {
    seen->state = SERVICE_RUNNING;  // a stop that was not obeyed in time ends here too
  }
  return ERROR_SUCCESS;
}

void Describe(const Observation& seen, ServiceStatus* status) {
  status->current_state = seen.state;
  status->controls_accepted = seen.state == SERVICE_STOPPED || seen.state == SERVICE_STOP_PENDING
                                  ? 0
                                  : SERVICE_ACCEPT_STOP;
  status->wait_hint = seen.wait_hint;
}

}  // namespace

unsigned StartSettleMs() noexcept { return g_start_settle_ms.load(); }
unsigned StopWaitMs() noexcept { return g_stop_wait_ms.load(); }

uint32_t SupervisedState(const std::string& name, ServiceStatus* status) {
  Observation seen;
  const uint32_t code = Observe(name, &seen);
  if (code == ERROR_SUCCESS) Describe(seen, status);
  return code;
}

uint32_t SupervisedStart(const std::string& name, const std::string& program,
                         const std::vector<std::string>& args) {
  uint32_t code = EnsureRunDirectory();
  if (code != ERROR_SUCCESS) return code;
  std::vector<std::string> command{program, "--foreground"};
  command.insert(command.end(), args.begin(), args.end());
  PidRecord record;
  record.started_ms = BootClockMs();
  code = SpawnDetached(command, &record.pid);
  if (code != ERROR_SUCCESS) return code;
  // A program that has already ended started all the same; its state is stopped.
  if (!ProcessStartTime(record.pid, &record.start_ticks)) return ERROR_SUCCESS;
  code = WritePidRecord(PidPath(name), record);
  // A service this layer cannot track must not run: nothing could ever stop it.
  if (code != ERROR_SUCCESS) ::kill(record.pid, SIGKILL);
  return code;
}

uint32_t SupervisedStop(const std::string& name, ServiceStatus* status) {
  Observation seen;
  uint32_t code = Observe(name, &seen);
  if (code != ERROR_SUCCESS) return code;
  Describe(seen, status);
  if (seen.state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
  if (seen.state == SERVICE_STOP_PENDING) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  const std::string path = PidPath(name);
  PidRecord requested = seen.record;
  requested.stop_ms = BootClockMs();
  code = WritePidRecord(path, requested);
  if (code != ERROR_SUCCESS) return code;
  if (::kill(requested.pid, SIGTERM) != 0) {
    const int err = errno;
    WritePidRecord(path, seen.record);
    if (err == ESRCH) {
      RemovePidRecord(path);
      seen = Observation{};
      Describe(seen, status);
      return ERROR_SERVICE_NOT_ACTIVE;
    }
    return FromErrno(err);
  }
  seen.state = SERVICE_STOP_PENDING;
  seen.wait_hint = StopWaitMs();
  Describe(seen, status);
  return ERROR_SUCCESS;
}

}  // namespace service
}  // namespace platform
