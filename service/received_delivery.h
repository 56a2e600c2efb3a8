// The final delivery of a received MAIL-11 message to one recipient that was taken
// when it arrived. A local user gets it as local delivery gives it (refusals, the
// Forward address, staging and DeliverMail with her identity, the automatic reply);
// a relayed address gets a control file in the queue whose From route starts with
// this node, for the sending side to carry on. Success is answered only once the
// message is safe on disk: placed in "new", or its control file in the queue.
#pragma once

#include "event_log.h"
#include "incoming_recipient.h"
#include "job.h"
#include "mail11/records.h"
#include "received_message.h"

namespace pellam::service {

// `message` is complete (Finish succeeded); `recipient` is what the check decided.
mail11::Status DeliverReceived(const ServiceSettings& settings, const EventLog& log, const ReceivedMessage& message,
                               const IncomingRecipient& recipient);

}  // namespace pellam::service
