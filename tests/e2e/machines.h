// Whole Pellam machines for the end-to-end tests and the road benchmark: each one a
// private root (PELLAM_ROOT) with its system profile, DECnet key, node database and
// registered users, and its real `pellam` service run as a child. A machine never
// touches the process's own environment, so several live side by side; whatever it
// started it stops (SIGKILL at the latest) when it goes. Registering users and posting
// as them switch identities, so those need root.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pellam::e2e {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct RunResult {
  int status = -1;  // exit code, 128 + signal, or -1 when it could not run
  std::string output;
};

// A port on loopback that nobody uses just now (SOCK_STREAM or SOCK_DGRAM); 0 on failure.
uint16_t FreePort(int type);

// Polls `condition` every 20 ms until it holds or `limit` has passed; its last result.
bool WaitUntil(const std::function<bool()>& condition, milliseconds limit);

struct NodeName {
  std::string name, address;
};
// ALPHA 1.1, BRAVO 1.2, CHARLY 1.3: the node database every machine of the tests knows.
const std::vector<NodeName>& TestNodes();

struct MachinePlan {
  NodeName node;
  std::string circuit;  // the registry's Circuit value: "multinet-tcp-listen", ...
  uint16_t remote_port = 0, local_port = 0;
  // DWORD values of the system profile ("MaximumHops", "SenderRetryDelta", ...).
  std::vector<std::pair<std::string, uint32_t>> system_numbers;
};

class Machine {
 public:
  explicit Machine(MachinePlan plan);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  const std::string& name() const { return plan_.node.name; }
  const std::string& root() const { return root_; }
  // `relative` below the root.
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  // What went wrong while the machine was set up; "" when it is ready.
  const std::string& error() const { return error_; }

  // Adds an account with home /home/<name>, and registers it as a mail user the way a
  // first start of the client does (GetMailProfile, as the user). False on failure.
  bool AddUser(const std::string& name, uid_t uid, const std::string& full_name);

  void StartService();
  // SIGTERM, then the exit status; -1 (after SIGKILL) when it does not stop in `limit`.
  int StopService(milliseconds limit = std::chrono::seconds(15));
  // SIGKILL, as a crash: nothing of the service gets to run.
  void KillService();
  bool ServiceRunning() const { return service_ > 0; }
  // Waits until the service started last has bound the mail-11 object: a sender that
  // calls before then is refused (no such object) and waits for its next retry.
  bool WaitUntilReceiving(milliseconds limit) const;
  // The service's output (its event log in the foreground) over all its runs.
  std::string Log() const;
  // The first line of that output in which a sanitizer reports a fault; "" when none.
  std::string SanitizerReport() const;

  // Runs a program with this machine's root, as `uid` (0: as the caller); bounded.
  RunResult Run(const std::string& program, const std::vector<std::string>& args, uid_t uid = 0,
                milliseconds limit = std::chrono::seconds(30));
  RunResult Pellncp(const std::vector<std::string>& args) { return Run(PellncpPath(), args); }
  // Writes `message` into the user's home and sends it with pellpost, as the user.
  RunResult Post(const std::string& user, const std::string& message);
  // Posts each message through the library in one child running as the user, which is
  // much quicker than one pellpost each; false when any post fails.
  bool PostMany(const std::string& user, const std::vector<std::string>& messages);

  // Waits until pellncp shows `peer` ("1.2 (BRAVO)") as the adjacent node.
  bool AdjacentTo(const std::string& peer, milliseconds limit);

  // The contents of the message files (msg*.mai) of a user's folder, in name order.
  std::vector<std::string> Messages(const std::string& user, const std::string& folder = "new") const;
  size_t MessageCount(const std::string& user, const std::string& folder = "new") const;
  bool WaitForMessages(const std::string& user, size_t count, milliseconds limit) const;
  // Control files (*.mai) waiting in the queue.
  size_t QueuedCount() const;

  // Where the tests and the bench find the programs (set by the build).
  static std::string PellamPath();
  static std::string PellncpPath();
  static std::string PellpostPath();
  static std::string PellregPath();

 private:
  uid_t UidOf(const std::string& user) const;

  MachinePlan plan_;
  std::string root_;
  std::string error_;
  std::vector<std::pair<std::string, uid_t>> users_;
  pid_t service_ = -1;
  size_t starts_ = 0;  // of the service, each adding one "receiver ready" to the log
};

// The value of a header of a message file ("" when absent), read by the library.
std::string HeaderOf(const std::string& message, const char* name);
// The text of a message file: everything after the empty line that ends its headers.
std::string TextOf(const std::string& message);
// The catalogue's text for a status code, without its line end.
std::string CatalogueText(uint32_t code);

// Starts `program` with PELLAM_ROOT=`root`, as `uid` when not 0, its output appended
// to `output`; the child's pid, or -1.
pid_t StartProcess(const std::string& root, const std::string& program, const std::vector<std::string>& args,
                   const std::string& output, uid_t uid = 0);
// Waits for `pid` at most `limit`, then kills it; its exit code, or 128 + signal.
int WaitProcess(pid_t pid, milliseconds limit);

}  // namespace pellam::e2e
