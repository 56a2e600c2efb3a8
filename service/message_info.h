// What the service needs to know from a control file's header section: who sent the
// message (the first address of its From line), its subject, whether it is itself
// automatic mail (never answered, so that two services cannot answer each other for
// ever), whether it carries a Date line, and how many hops its Received lines count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellam::service {

struct MessageInfo {
  std::string sender;   // "" when the From line is missing or holds no address
  std::string subject;
  bool automatic = false;  // an Auto-Submitted line other than "no"
  bool has_date = false;
  uint32_t hops = 0;       // Received lines
};

MessageInfo ReadMessageInfo(std::string_view header_section);

}  // namespace pellam::service
