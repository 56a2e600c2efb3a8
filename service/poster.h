// Who posted a control file. The queue is writable by every user, so the file's
// owner is the one fact a user cannot choose: a regular file with one link, owned by
// the poster; files of root are the system's own. A user's message must name her own
// account in its From line; root's may name anyone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellam::service {

struct Poster {
  uint32_t uid = 0;
  std::string account;  // "" for root's files
  bool system() const { return uid == 0; }
};

// The poster of a file owned by `uid`: 0, or the accounts' code for a uid that is no
// account (nobody can be told about such a file).
uint32_t IdentifyPoster(uint32_t uid, Poster* poster);

// Whether `header` may be sent by `poster`: "" when it may, else the reason for
// refusing it, naming both accounts. A user's message needs exactly one From line
// holding exactly one address, her account (on this node, any letter case).
std::string CheckSender(const Poster& poster, std::string_view header, const std::string& local_node);

}  // namespace pellam::service
