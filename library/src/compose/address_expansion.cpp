// The expansion behind AddAddresses. Each token of a list is a distribution list
// ("@file"), an alias name (a local address found in the alias store), or an
// ordinary address, which becomes one address record in the control file.
#include "compose/address_expansion.h"

#include <memory>
#include <string>
#include <string_view>

#include "address/address.h"
#include "aliases/alias_book.h"
#include "compose/control_file_format.h"
#include "compose/message_file.h"
#include "platform/errors.h"

namespace pellam {
namespace {

// Depth 0 is the caller's list; aliases and lists may nest seven deep below it.
constexpr int kMaxDepth = 8;

// The five values fit the record's byte fields only up to 255; an address they
// cannot describe is refused rather than recorded with wrapped values.
constexpr int32_t kMaxRecordValue = 255;

Status WriteAddressRecord(MailMessage* m, std::string_view token, AddressParts parts) {
  if (parts.form == ADDR_FORM_EXTERNAL) {
    parts = {0, 0, 0, static_cast<int32_t>(token.size()), ADDR_FORM_EXTERNAL};
  }
  for (int32_t v : {parts.node_offset, parts.node_length, parts.user_offset, parts.user_length}) {
    if (v < 0 || v > kMaxRecordValue) return Status(ERR_ADDRESS_SYNTAX);
  }
  control::AddressRecord record;
  record.node_offset = static_cast<uint8_t>(parts.node_offset);
  record.node_length = static_cast<uint8_t>(parts.node_length);
  record.user_offset = static_cast<uint8_t>(parts.user_offset);
  record.user_length = static_cast<uint8_t>(parts.user_length);
  record.form = static_cast<uint8_t>(parts.form);
  record.text.assign(token);
  std::string bytes;
  if (!control::AppendAddressRecord(record, &bytes)) return Status(ERR_ADDRESS_SYNTAX);
  if (Status s = WriteToMessage(m, bytes.data(), bytes.size(), ERR_HEADER_TOO_LARGE); !s.ok()) return s;
  ++m->address_count;
  return Status();
}

// An alias translation (strings ended by an empty one) made into one list text by
// turning the NUL after each string into a comma.
void JoinTranslation(char* translation) {
  for (char* p = translation; *p != '\0';) {
    p += std::char_traits<char>::length(p);
    *p++ = ',';
  }
}

// A block of library memory, given back however the expansion ends (an exception
// from a deeper level included).
struct FreeLibraryBlock {
  void operator()(char* block) const noexcept { FreeMem(block); }
};
using LibraryBlock = std::unique_ptr<char, FreeLibraryBlock>;

// One expansion of a caller's list: the message it writes to, and the alias stores as
// it sees them.
struct Expansion {
  MailMessage* m;
  AliasBook aliases;
};

Status ExpandList(Expansion* e, const char* list, int32_t kind, int depth);

Status ExpandAlias(Expansion* e, const std::string& name, int32_t kind, int depth, bool* found) {
  std::string translation;
  const uint32_t code = e->aliases.Find(name, &translation, found);
  if (code != 0) return Status(ERR_ALIAS_TRANSLATION);
  if (!*found) return Status();
  JoinTranslation(translation.data());
  return ExpandList(e, translation.c_str(), kind, depth + 1);
}

Status ExpandDistributionList(Expansion* e, std::string_view file_name, int32_t kind, int depth) {
  char* text = nullptr;
  if (Status s = ReadDistributionList(std::string(file_name).c_str(), &text); !s.ok()) return s;
  const LibraryBlock owned(text);
  return ExpandList(e, text, kind, depth + 1);
}

Status AddAddress(Expansion* e, std::string_view token, int32_t kind, int depth) {
  AddressParts parts{};
  if (const uint32_t code = SplitAddress(token.data(), token.size(), &parts)) return Status(code);
  if (parts.node_length == 0 && kind != ADDR_SINGLE) {
    bool found = false;
    const Status expanded = ExpandAlias(e, std::string(token), kind, depth, &found);
    if (!expanded.ok() || found) return expanded;
  }
  return WriteAddressRecord(e->m, token, parts);
}

// Appends the token to the handle's To text (kinds 0 and -1) or Cc text (kind 1),
// after a comma when the text is not empty.
Status AppendHeaderToken(MailMessage* m, std::string_view token, int32_t kind) {
  char** text = kind == ADDR_CC ? &m->cc_text : &m->to_text;
  uint32_t* length = kind == ADDR_CC ? &m->cc_length : &m->to_length;
  const uint64_t separator = *length > 0 ? 1 : 0;
  const uint64_t new_length = *length + separator + token.size();
  if (new_length >= UINT32_MAX) return Status(ERR_HEADER_TOO_LARGE);
  auto* grown = static_cast<char*>(ReallocMem(*text, static_cast<uint32_t>(new_length + 1)));
  if (grown == nullptr) return LastError();
  if (separator != 0) grown[*length] = ',';
  token.copy(grown + *length + separator, token.size());
  grown[new_length] = '\0';
  *text = grown;
  *length = static_cast<uint32_t>(new_length);
  return Status();
}

Status ExpandList(Expansion* e, const char* list, int32_t kind, int depth) {
  if (depth >= kMaxDepth) return Status(ERR_TOO_MANY_LEVELS);
  Status last;  // a blank entry that ends the list is the list's result
  int tokens = 0;
  for (const char* p = list; *p != '\0';) {
    AddressToken t;
    const uint32_t scanned = ScanAddressToken(p, false, &t);
    p = t.next;
    if (scanned == ERR_BLANK_ADDRESS) {
      last = Status(scanned);
      continue;
    }
    if (scanned != 0) return Status(scanned);
    last = Status();
    const std::string_view token(t.start, static_cast<size_t>(t.end - t.start));
    if (kind == ADDR_SINGLE && (token.front() == '@' || tokens > 0)) return Status(ERR_REMOTE_LIST);
    ++tokens;
    Status added = token.front() == '@' ? ExpandDistributionList(e, token.substr(1), kind, depth)
                                        : AddAddress(e, token, kind, depth);
    if (added.ok() && depth == 0) added = AppendHeaderToken(e->m, token, kind);
    if (!added.ok()) return added;
  }
  return last;
}

}  // namespace

Status ExpandAddressList(MailMessage* m, const char* list, int32_t kind) {
  Expansion expansion{m, {}};
  return ExpandList(&expansion, list, kind, 0);
}

}  // namespace pellam
