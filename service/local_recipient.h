// Serving a recipient on this node: the user's profile decides whether the message is
// refused (unknown user, not registered, delivery switched off), forwarded (a Forward
// address) or delivered into "new", followed by an automatic reply if the user wants
// one. Each step is recorded in the job's journal before the next begins. Deliveries
// into "new" go through a batch, shared by the control files of one pass.
#pragma once

#include <optional>
#include <string>

#include "job.h"
#include "local_batch.h"

namespace pellam::service {

// Settles the recipient at once (refused, forwarded, the profile unreadable), or
// leaves it to `batch` and returns nothing.
std::optional<RecipientResult> PrepareLocalRecipient(Job& job, size_t index, const std::string& user,
                                                     LocalBatch& batch);

// After the batch has run: the delivery's result; for a delivered one the automatic
// reply, then its "done" written to the journal (flushed by the caller with the others).
RecipientResult FinishLocalRecipient(const LocalDelivery& delivery);

}  // namespace pellam::service
