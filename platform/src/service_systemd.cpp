// Units and systemctl. Every systemctl call that changes something runs without
// blocking (--no-block), so that start and stop report pending states as the
// supervisor's do and the caller polls the status.
#include "service_systemd.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/errors.h"
#include "platform/sandbox.h"
#include "service_files.h"
#include "service_process.h"
#include "service_supervisor.h"

namespace platform::service {
namespace {

constexpr char kUnitDirectory[] = "/etc/systemd/system/";

// A word of a unit file: "%" starts a specifier and "$" a variable, so both are doubled.
std::string UnitWord(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '%' || c == '$') out += c;
    out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
  }
  return out;
}

// A path as one quoted argument of ExecStart.
std::string QuotedArgument(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return UnitWord(quoted + "\"");
}

uint32_t Systemctl(const std::vector<std::string>& args, std::string* output = nullptr) {
  std::vector<std::string> command{"systemctl"};
  command.insert(command.end(), args.begin(), args.end());
  std::string ignored;
  int status = 0;
  const uint32_t code = RunCommand(command, output != nullptr ? output : &ignored, &status);
  if (code != ERROR_SUCCESS) return code;
  if (status == 127) return ERROR_FILE_NOT_FOUND;
  return status == 0 ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
}

uint64_t MonotonicUs() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

std::string ShowProperty(const std::string& show, const std::string& property) {
  const std::string key = property + "=";
  std::size_t at = 0;
  while (at < show.size()) {
    std::size_t end = show.find('\n', at);
    if (end == std::string::npos) end = show.size();
    if (show.compare(at, key.size(), key) == 0) return show.substr(at + key.size(), end - at - key.size());
    at = end + 1;
  }
  return {};
}

}  // namespace

bool SystemdRunsMachine() {
  if (!SandboxRoot().empty()) return false;
  struct stat st {};
  return ::lstat("/run/systemd/system", &st) == 0 && S_ISDIR(st.st_mode);
}

std::string UnitName(const std::string& name) { return FileName(name) + ".service"; }

std::string UnitText(const Record& record, unsigned stop_wait_ms) {
  const unsigned stop_seconds = (stop_wait_ms + 999) / 1000;
  std::string text;
  text += "# Written by Pellam's service control layer; deleting the service removes it.\n";
  text += "[Unit]\nDescription=" + UnitWord(record.display_name) + "\n\n";
  text += "[Service]\nType=simple\n";
  text += "ExecStart=" + QuotedArgument(record.image_path) + " --foreground\n";
  text += "TimeoutStopSec=" + std::to_string(stop_seconds) + "\n\n";
  text += "[Install]\nWantedBy=multi-user.target\n";
  return text;
}

uint32_t StateFromShow(const std::string& show, uint64_t now_us, unsigned settle_ms,
                       uint32_t* wait_hint) {
  *wait_hint = 0;
  const std::string state = ShowProperty(show, "ActiveState");
  if (state == "activating") return SERVICE_START_PENDING;
  if (state == "deactivating") return SERVICE_STOP_PENDING;
  if (state != "active" && state != "reloading") return SERVICE_STOPPED;
  const uint64_t entered = std::strtoull(ShowProperty(show, "ActiveEnterTimestampMonotonic").c_str(), nullptr, 10);
  const uint64_t settle_us = uint64_t{settle_ms} * 1000u;
  if (entered != 0 && now_us >= entered && now_us - entered < settle_us) {
    *wait_hint = static_cast<uint32_t>((settle_us - (now_us - entered)) / 1000u);
    return SERVICE_START_PENDING;
  }
  return SERVICE_RUNNING;
}

uint32_t SystemdInstall(const std::string& name, const Record& record) {
  const std::string unit = UnitName(name);
  uint32_t code = ReplaceFile(kUnitDirectory + unit, UnitText(record, StopWaitMs()), 0644);
  if (code == ERROR_SUCCESS) code = Systemctl({"daemon-reload"});
  if (code == ERROR_SUCCESS && record.start == SERVICE_AUTO_START) code = Systemctl({"enable", unit});
  if (code != ERROR_SUCCESS) SystemdRemove(name);
  return code;
}

uint32_t SystemdRemove(const std::string& name) {
  const std::string unit = UnitName(name);
  Systemctl({"disable", unit});  // a unit never enabled cannot be disabled: not a failure
  const std::string path = kUnitDirectory + unit;
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return FromErrno(errno, path.c_str());
  return Systemctl({"daemon-reload"});
}

uint32_t SystemdState(const std::string& name, ServiceStatus* status) {
  std::string show;
  const uint32_t code =
      Systemctl({"show", "--property=ActiveState", "--property=ActiveEnterTimestampMonotonic", UnitName(name)}, &show);
  if (code != ERROR_SUCCESS) return code;
  status->current_state = StateFromShow(show, MonotonicUs(), StartSettleMs(), &status->wait_hint);
  const uint32_t state = status->current_state;
  status->controls_accepted = state == SERVICE_STOPPED || state == SERVICE_STOP_PENDING ? 0 : SERVICE_ACCEPT_STOP;
  return ERROR_SUCCESS;
}

uint32_t SystemdStart(const std::string& name, const std::vector<std::string>& args) {
  // A unit's command line is fixed in its file: there is no way to pass arguments.
  if (!args.empty()) return ERROR_NOT_SUPPORTED;
  return Systemctl({"start", "--no-block", UnitName(name)});
}

uint32_t SystemdStop(const std::string& name, ServiceStatus* status) {
  uint32_t code = SystemdState(name, status);
  if (code != ERROR_SUCCESS) return code;
  if (status->current_state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
  if (status->current_state == SERVICE_STOP_PENDING) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  code = Systemctl({"stop", "--no-block", UnitName(name)});
  if (code != ERROR_SUCCESS) return code;
  status->current_state = SERVICE_STOP_PENDING;
  status->controls_accepted = 0;
  status->wait_hint = StopWaitMs();
  return ERROR_SUCCESS;
}

}  // namespace platform::service
