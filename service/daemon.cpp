// Start-up and shut-down. A stop request sets a flag and wakes the loop through an
// event; the loop finishes the recipient in progress and returns, so a stop never cuts
// a delivery in half (and a kill, which cannot be answered, is what the journal is for).
#include "daemon.h"

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
#include "platform/daemon.h"
#include "platform/events.h"
#include "platform/registry.h"
#include "service_loop.h"
#include "user_process.h"

namespace pellam::service {
namespace {

// Set by the stop signals, for the life of the process.
std::atomic<bool> g_stop{false};
platform::Event g_stop_event;

bool InstallStopHandlers() {
  return g_stop_event.Create() == 0 && platform::AnswerStopSignals(&g_stop, &g_stop_event) == 0;
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
  SetUserWorkLimits(UserWorkDeadline(), g_stop_event.handle());
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
  loop.Run(g_stop, g_stop_event.handle());
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
  if (!options.foreground) {
    if (const uint32_t code = platform::DetachFromTerminal()) {
      std::fprintf(stderr, "pellam: cannot detach: %s\n", StatusText(code).c_str());
      return 1;
    }
  }
  return RunService(options.foreground);
}

}  // namespace pellam::service
