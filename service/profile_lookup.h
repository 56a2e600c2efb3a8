// A local user's mail profile as the service reads it for a recipient: the account
// found (in capitals or small letters), the profile read by a child with the user's
// identity, and what the profile says about receiving. Shared by the queue's local
// delivery and the MAIL-11 receiver, so both refuse the same users with the same texts.
#pragma once

#include <cstdint>
#include <string>

#include "pellam.h"
#include "platform/accounts.h"

namespace pellam::service {

// Fills `*account` and `*profile` for `user`; 0, ERR_NO_SUCH_USER, or the code of
// GetUserProfile (or of the child that ran it). `profile->Next` is always null.
uint32_t LookUpProfile(const std::string& user, platform::Account* account, MailProfile* profile);

// Why `user` may not receive mail, from a lookup's result: code 0 when nothing speaks
// against it (a lookup that failed for another reason is no refusal: the caller tries
// again later); else ERR_NO_SUCH_USER, ERR_NOT_REGISTERED, ERR_NO_MAIL_DIRECTORY or
// ERR_CANNOT_RECEIVE (DisableNewMail) with the catalogue's text for `node`.
struct Refusal {
  uint32_t code = 0;
  std::string text;
};
Refusal RefusalFor(uint32_t looked_up, const MailProfile& profile, const std::string& user, const std::string& node);

}  // namespace pellam::service
