// Detaching by double fork and setsid, and stop signals answered with only what a
// signal handler may do: a lock-free store and a write to the event's eventfd.
#include "platform/daemon.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/fault.h"
#include "retry.h"

namespace platform {
namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets the stop flag");

std::atomic<bool>* g_stop = nullptr;
int g_stop_event = -1;

void OnStopSignal(int) {
  const int saved = errno;
  if (g_stop != nullptr) g_stop->store(true);
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_stop_event, &one, sizeof one);
  errno = saved;
}

}  // namespace

uint32_t DetachFromTerminal() noexcept {
  if (uint32_t code = fault::Check(fault::Op::Process)) return Fail(code);
  pid_t pid = ::fork();
  if (pid < 0) return FailWithErrno();
  if (pid > 0) ::_exit(0);
  if (::setsid() < 0) return FailWithErrno();
  pid = ::fork();
  if (pid < 0) return FailWithErrno();
  if (pid > 0) ::_exit(0);
  if (::chdir("/") != 0) return FailWithErrno("/");
  const int null = RetryOnEintr([] { return ::open("/dev/null", O_RDWR); });
  if (null < 0) return FailWithErrno("/dev/null");
  for (int standard = 0; standard <= 2; ++standard) {
    if (null != standard && ::dup2(null, standard) < 0) return FailWithErrno();
  }
  if (null > 2) ::close(null);
  return 0;
}

uint32_t AnswerStopSignals(std::atomic<bool>* stop, Event* event) noexcept {
  if (uint32_t code = fault::Check(fault::Op::Process)) return Fail(code);
  if (stop == nullptr || event == nullptr || !event->IsCreated()) return Fail(ERROR_INVALID_PARAMETER);
  g_stop = stop;
  g_stop_event = event->handle();
  struct sigaction action{};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  if (::signal(SIGPIPE, SIG_IGN) == SIG_ERR || ::sigaction(SIGTERM, &action, nullptr) != 0 ||
      ::sigaction(SIGINT, &action, nullptr) != 0) {
    return FailWithErrno();
  }
  return 0;
}

}  // namespace platform
