// Automatic replies on behalf of a local user whose profile asks for them: the text
// of "autorep.txt" in the user's mail directory, sent to the sender of each message
// delivered, or, in the once-per-sender mode, only to senders not yet named in
// "autorep.log" (one address per line, compared without regard to case). Both files
// are read and written with the user's identity.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "generated_mail.h"
#include "pellam.h"
#include "platform/accounts.h"

namespace pellam::service {

enum class ReplyResult { kSent, kNotNeeded, kFailed };

struct AutoReplyRequest {
  const platform::Account& user;
  const MailProfile& profile;
  std::string sender;   // "" when unknown
  std::string subject;  // of the message answered
  bool automatic = false;  // the message answered is automatic mail itself
};

// Queues a prepared reply: 0 or the failure.
using PostReply = std::function<uint32_t(const PreparedMail& reply)>;

// Sends the reply through `post` if the profile and the log call for one; `*code`
// receives the failure of a kFailed result.
ReplyResult SendAutoReply(const AutoReplyRequest& request, const PostReply& post, uint32_t* code);

}  // namespace pellam::service
