// Start-up and shut-down. A stop request sets a flag and wakes the loop through a
// pipe; the loop finishes the recipient in progress and returns, so a stop never cuts
// a delivery in half (and a kill, which cannot be answered, is what the journal is for).
#include "daemon.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "event_log.h"
#include "mail_receiver.h"
#include "ncp_protocol.h"
#include "network.h"
#include "options.h"
#include "pellam.h"
#include "platform/accounts.h"
#include "platform/registry.h"
#include "service_loop.h"
#include "user_process.h"

namespace pellam::service {
namespace {

std::atomic<bool> g_stop{false};
int g_stop_pipe[2] = {-1, -1};

void OnStop(int) {
  g_stop.store(true);
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_stop_pipe[1], &byte, 1);
}

bool InstallStopHandlers() {
  if (::pipe2(g_stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action{};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  ::signal(SIGPIPE, SIG_IGN);
  return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

// The classic detach: a child in a session of its own, its grandchild the service,
// with no terminal and the standard streams on /dev/null.
bool Detach() {
  pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid > 0) ::_exit(0);
  if (::setsid() < 0) return false;
  pid = ::fork();
  if (pid < 0) return false;
  if (pid > 0) ::_exit(0);
  if (::chdir("/") != 0) return false;
  const int null = ::open("/dev/null", O_RDWR);
  if (null < 0) return false;
  ::dup2(null, 0);
  ::dup2(null, 1);
  ::dup2(null, 2);
  if (null > 2) ::close(null);
  return true;
}

// How long a child acting for a user may work: the machine's "UserProcessTimeout"
// (milliseconds, kept between 100 ms and 10 minutes), 30 s when it is not set.
unsigned UserWorkDeadline() {
  uint32_t value = 0;
  uint32_t size = sizeof value;
  uint32_t type = 0;
  platform::UniqueKey key;
  if (platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_PARAMETERS_KEY, platform::KEY_QUERY_VALUE,
                             key.out()) != 0 ||
      platform::RegQueryValueEx(key.get(), "UserProcessTimeout", &type, reinterpret_cast<uint8_t*>(&value), &size) !=
          0 ||
      type != platform::REG_DWORD || size != sizeof value) {
    return kDefaultUserWorkMs;
  }
  return std::clamp<uint32_t>(value, 100, 600000);
}

int RunService(bool foreground) {
  EventLog::OpenSyslog(foreground);
  const EventLog log;
  ServiceSettings settings;
  if (const uint32_t code = GetSystemProfile(&settings.system)) {
    log.Report(EVT_CALL_FAILED, "GetSystemProfile", "", code);
    return 1;
  }
  settings.node = platform::ComputerName();
  // The catalogue as the event-message source is a registry entry for the original
  // platform's log viewers; syslog gets the texts directly, so a failure only warns.
  if (const uint32_t code = RegisterEventMessages(nullptr)) {
    log.Report(EVT_CALL_FAILED, "RegisterEventMessages", "", code);
  }
  if (!InstallStopHandlers()) {
    log.Write(EVT_CALL_FAILED, "sigaction", "", "The stop request cannot be answered.");
    return 1;
  }
  SetUserWorkLimits(UserWorkDeadline(), g_stop_pipe[0]);
  // DECnet runs beside the mail work; a configured node name is the local node name.
  Network network(log, decnet::Node::Start);
  network.Start(settings.node, ncp::SocketDirectory());
  if (!network.local_name().empty()) settings.node = network.local_name();
  settings.network = network.node();
  network.AwaitCircuit(std::chrono::seconds(10), g_stop);
  log.Write(EVT_SENDER_READY, " " PELLAM_VERSION " on " + settings.node, "", "");
  // The receiver stops before the node, so that its links end as aborts of its own.
  MailReceiver receiver(settings, log, MailReceiver::LimitsOf(settings.system));
  receiver.Start();
  ServiceLoop loop(settings, log);
  loop.Run(g_stop, g_stop_pipe[0]);
  receiver.Stop();
  network.Stop();
  log.Write(EVT_SENDER_STOPPED, "", "", "");
  return 0;
}

}  // namespace

int ServiceMain(int argc, const char* const* argv) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "pellam";
  const Options options = ParseOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "%s: %s\n", program, options.error.c_str());
    PrintUsage(stderr, program);
    return 2;
  }
  if (options.help) {
    PrintUsage(stdout, program);
    return 0;
  }
  if (options.version) {
    std::printf("pellam %s\n", PELLAM_VERSION);
    return 0;
  }
  if (!options.foreground && !Detach()) {
    std::perror("pellam: cannot detach");
    return 1;
  }
  return RunService(options.foreground);
}

}  // namespace pellam::service
