// The check reads the user's profile the way local delivery does (profile_lookup.h).
// A profile that cannot be read just now is no reason to refuse: the recipient is
// taken, and delivery decides again once the text is in.
#include "incoming_recipient.h"

#include "decnet/node.h"
#include "event_log.h"
#include "pellam.h"
#include "profile_lookup.h"
#include "recipient.h"

namespace pellam::service {

bool HopLimitAllows(uint32_t hops, const MailSystemProfile& system) {
  return static_cast<uint64_t>(hops) + 1 <= system.MaximumHops;
}

mail11::Status RefuseWith(uint32_t code, const std::string& text) { return {code & ~1u, {text}}; }

IncomingRecipient CheckIncomingRecipient(const ServiceSettings& settings, std::string_view recipient,
                                         uint32_t hops) {
  IncomingRecipient result;
  // Controls and blanks belong in no single address; a NUL would even cut the name
  // short and name another user.
  for (const char c : recipient) {
    if (static_cast<unsigned char>(c) <= ' ') {
      result.status = RefuseWith(ERR_ADDRESS_SYNTAX, StatusText(ERR_ADDRESS_SYNTAX));
      return result;
    }
  }
  if (recipient.empty()) {
    result.status = RefuseWith(ERR_BLANK_ADDRESS, StatusText(ERR_BLANK_ADDRESS));
    return result;
  }
  const Recipient r = ClassifyRecipient(std::string(recipient), settings.node);
  switch (r.kind) {
    case RecipientKind::kInvalid:
      result.status = RefuseWith(r.code, StatusText(r.code));
      return result;
    case RecipientKind::kLocal: {
      MailProfile profile{};
      platform::Account account;
      const Refusal refusal = RefusalFor(LookUpProfile(r.user, &account, &profile), profile, r.user, settings.node);
      if (refusal.code != 0) {
        result.status = RefuseWith(refusal.code, refusal.text);
        return result;
      }
      result.kind = IncomingKind::kLocal;
      result.target = r.user;
      return result;
    }
    case RecipientKind::kExternal:
      if (settings.system.ExternalGateway[0] == '\0') {
        result.status = RefuseWith(ERR_NO_GATEWAY, StatusText(ERR_NO_GATEWAY));
        return result;
      }
      [[fallthrough]];
    case RecipientKind::kRemote:
      // The sending side could only report it back later: a node this node cannot
      // name is refused now, while the sender is still listening.
      if (r.kind == RecipientKind::kRemote && settings.network != nullptr &&
          !settings.network->nodes().Find(r.node) && !decnet::ParseNodeAddress(r.node)) {
        result.status = RefuseWith(ERR_NO_SUCH_NODE, StatusText(ERR_NO_SUCH_NODE));
        return result;
      }
      if (!HopLimitAllows(hops, settings.system)) {
        result.status = RefuseWith(ERR_HOP_COUNT, StatusText(ERR_HOP_COUNT));
        return result;
      }
      result.kind = IncomingKind::kRelay;
      result.target = r.user;
      return result;
  }
  result.status = RefuseWith(ERR_SERVICE_INTERNAL, StatusText(ERR_SERVICE_INTERNAL));
  return result;
}

}  // namespace pellam::service
