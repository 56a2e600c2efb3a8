// This node's deliveries from many control files at once. Each recipient's messages go
// through the two steps of local_delivery.h in one child per step; between and after
// the steps each job's journal gets its lines, and all the journals are flushed with
// one wait. A message counts as delivered only once its file, its entry in "new" and
// its journal line are on disk, so that a kill at any point neither loses nor doubles it.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "job.h"
#include "pellam.h"
#include "platform/accounts.h"

namespace pellam::service {

// A user's profile as looked up once for the whole batch.
struct LookedUp {
  uint32_t code = 0;
  platform::Account account;
  MailProfile profile{};
};

struct LocalDelivery {
  Job* job = nullptr;
  size_t index = 0;
  std::string user;        // as the address named the user
  const LookedUp* looked_up = nullptr;
  std::string staged;      // the staged file's name
  Step step = Step::kNone;  // where it stood when taken; kDelivered once placed
  uint32_t code = 0;       // why it is not delivered; 0 once it is
  bool journal_failed = false;  // its job's journal could not be written
  bool stopped = false;         // not attempted: a stop was asked for
};

class LocalBatch {
 public:
  explicit LocalBatch(std::string queue) : queue_(std::move(queue)) {}

  // The profile of `user`, read once per batch (a child with the user's identity reads it).
  const LookedUp& LookUp(const std::string& user);

  // Takes a delivery at step kNone, kStaged or kDelivered (nothing left but its end).
  void Add(LocalDelivery delivery) { deliveries_.push_back(std::move(delivery)); }

  // Stages and places every delivery not yet delivered; `stop` is looked at before each
  // user's step. Afterwards each delivery's `step`, `code` and flags say what came of it.
  void Run(const std::atomic<bool>& stop);

  std::vector<LocalDelivery>& deliveries() { return deliveries_; }

 private:
  using Group = std::vector<LocalDelivery*>;
  std::vector<Group> GroupsByUser(Step step);
  void Stage(const Group& group);
  void Place(const Group& group);
  // Flushes the journals of `written`; a failure fails each of those deliveries.
  void FlushJournals(const std::vector<LocalDelivery*>& written);

  std::string queue_;
  std::map<std::string, LookedUp> profiles_;
  std::vector<LocalDelivery> deliveries_;
};

}  // namespace pellam::service
