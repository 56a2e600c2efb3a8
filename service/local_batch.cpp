// The batch: stage every user's messages, flush the journals, place every user's
// messages, flush the journals again.
#include "local_batch.h"

#include "local_delivery.h"
#include "platform/errors.h"
#include "profile_lookup.h"

namespace pellam::service {

const LookedUp& LocalBatch::LookUp(const std::string& user) {
  auto it = profiles_.find(user);
  if (it == profiles_.end()) {
    LookedUp found;
    found.code = LookUpProfile(user, &found.account, &found.profile);
    it = profiles_.emplace(user, std::move(found)).first;
  }
  return it->second;
}

// The deliveries waiting at `step`, one group per user in the order first met.
std::vector<LocalBatch::Group> LocalBatch::GroupsByUser(Step step) {
  std::vector<Group> groups;
  std::map<const LookedUp*, size_t> group_of;
  for (LocalDelivery& d : deliveries_) {
    if (d.step != step || d.code != 0 || d.journal_failed || d.stopped) continue;
    auto [it, fresh] = group_of.emplace(d.looked_up, groups.size());
    if (fresh) groups.emplace_back();
    groups[it->second].push_back(&d);
  }
  return groups;
}

void LocalBatch::Stage(const Group& group) {
  const LookedUp& user = *group.front()->looked_up;
  std::vector<MessageToStage> messages;
  for (const LocalDelivery* d : group) messages.push_back({d->staged, d->job->message.bytes});
  const std::vector<uint32_t> codes = StageMessages(user.account, user.profile, messages);
  for (size_t i = 0; i < group.size(); ++i) group[i]->code = codes[i];
}

void LocalBatch::Place(const Group& group) {
  const LookedUp& user = *group.front()->looked_up;
  std::vector<std::string> staged;
  for (const LocalDelivery* d : group) staged.push_back(d->staged);
  const std::vector<uint32_t> codes = PlaceStagedMessages(user.account, user.profile, staged);
  for (size_t i = 0; i < group.size(); ++i) group[i]->code = codes[i];
}

void LocalBatch::FlushJournals(const std::vector<LocalDelivery*>& written) {
  std::vector<JobState*> states;
  for (const LocalDelivery* d : written) states.push_back(&d->job->state);
  if (JobState::FlushJournals(queue_, states) == 0) return;
  for (LocalDelivery* d : written) d->journal_failed = true;
}

void LocalBatch::Run(const std::atomic<bool>& stop) {
  const auto run_step = [&](Step from, Step to, void (LocalBatch::*step)(const Group&)) {
    std::vector<LocalDelivery*> written;
    for (const Group& group : GroupsByUser(from)) {
      if (stop.load()) {
        for (LocalDelivery* d : group) d->stopped = true;
        continue;
      }
      (this->*step)(group);
      for (LocalDelivery* d : group) {
        if (d->code != 0) continue;
        if (d->job->state.Write({d->index}, to) != 0) {
          d->journal_failed = true;
          continue;
        }
        d->step = to;
        written.push_back(d);
      }
    }
    FlushJournals(written);
  };
  run_step(Step::kNone, Step::kStaged, &LocalBatch::Stage);
  run_step(Step::kStaged, Step::kDelivered, &LocalBatch::Place);
}

}  // namespace pellam::service
