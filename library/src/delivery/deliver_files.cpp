// The batch behind the service's local delivery: DeliverMail's placement without its
// flush per file, its numbers taken from the counter in one go, and one flush of the
// folder at the end.
#include "delivery/deliver_files.h"

#include <algorithm>
#include <cstring>

#include "delivery/placement.h"
#include "frame/export_barrier.h"
#include "pellam_mailbox.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace pellam::delivery {

std::vector<FileDelivery> DeliverMailFiles(const std::vector<std::string>& sources, const MailProfile& profile) {
  std::vector<FileDelivery> results(sources.size());
  if (std::memchr(profile.MailDirectory, '\0', sizeof profile.MailDirectory) == nullptr) {
    for (FileDelivery& r : results) r.code = ERROR_INVALID_PARAMETER;
    return results;
  }
  const size_t length = std::strlen(profile.MailDirectory);
  const uint32_t unusable = length == 0                                       ? ERR_NO_MAIL_DIRECTORY
                            : length < 2 || profile.MailDirectory[length - 1] != '/' ? ERROR_INVALID_PARAMETER
                                                                                     : 0;
  if (unusable != 0) {
    for (FileDelivery& r : results) r.code = unusable;
    return results;
  }
  bool placed_any = false;
  NumberBlock numbers;
  for (size_t i = 0; i < sources.size(); ++i) {
    Placement placement;
    // The folder is made, when missing, for the first file only: once is enough.
    const bool make_folder = i == 0;
    // A block empties early only where a number is skipped or the numbers wrap; it is
    // then filled for the files still to come.
    numbers.wanted = static_cast<uint32_t>(std::min<size_t>(sources.size() - i, mailbox::kHighestNumber));
    results[i].code = Barrier([&] {
      return PlaceMessage(sources[i].c_str(), profile.MailDirectory, mailbox::kNewFolder, true, make_folder,
                          &placement, false, &numbers);
    });
    results[i].moved = placement.placed && placement.moved;
    placed_any = placed_any || placement.placed;
  }
  std::string folder = std::string(profile.MailDirectory) + mailbox::kNewFolder;
  folder.pop_back();  // the directory itself, without its slash
  if (placed_any && !platform::FlushDirectory(folder.c_str())) {
    const uint32_t code = platform::GetLastError();
    for (FileDelivery& r : results) {
      if (r.code == 0) r.code = code != 0 ? code : ERROR_GEN_FAILURE;
    }
  }
  return results;
}

}  // namespace pellam::delivery
