// The service's children for users: the platform's bounded child (user_child.h) with
// the limits the service set at start-up.
#include "user_process.h"

#include <atomic>

#include "pellam.h"
#include "platform/errors.h"
#include "platform/user_child.h"

namespace pellam::service {
namespace {

std::atomic<unsigned> g_deadline_ms{kDefaultUserWorkMs};
std::atomic<int> g_stop_fd{-1};

}  // namespace

void SetUserWorkLimits(unsigned deadline_ms, int stop_fd) {
  g_deadline_ms.store(deadline_ms);
  g_stop_fd.store(stop_fd);
}

namespace {

uint32_t RunChild(const platform::Account& user, int lent, const UserWork& work, std::string* data) {
  platform::ChildLimits limits;
  limits.lent_fd = lent;
  limits.deadline_ms = g_deadline_ms.load();
  limits.cancel_fd = g_stop_fd.load();
  const uint32_t code = platform::RunAsAccount(user.uid, user.gid, work, limits, data);
  if (code == ERROR_PROCESS_ABORTED || code == ERR_SERVICE_INTERNAL) return ERR_SERVICE_INTERNAL;
  return code;
}

}  // namespace

uint32_t RunAsUser(const platform::Account& user, const UserWork& work, std::string* data) {
  return RunChild(user, -1, work, data);
}

uint32_t RunAsUserWithFile(const platform::Account& user, int lent, const UserWork& work) {
  return RunChild(user, lent, work, nullptr);
}

}  // namespace pellam::service
