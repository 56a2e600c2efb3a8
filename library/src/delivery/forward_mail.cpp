// ForwardMail: queues one copy of a received message to the addresses of the selected
// records of a profile chain. The copy keeps the received message's own header lines;
// only the control file's address records name where it goes.
#include "frame/export_barrier.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace {

// True when following Next from `chain` comes back to a record already seen: such a
// chain would never end, so it is refused rather than walked.
bool IsCircular(const MailProfile* chain) {
  const MailProfile* slow = chain;
  const MailProfile* fast = chain;
  while (fast != nullptr && fast->Next != nullptr) {
    slow = slow->Next;
    fast = fast->Next->Next;
    if (slow == fast) return true;
  }
  return false;
}

// Steps 2 to 4 on an open handle; the caller closes it.
uint32_t ComposeCopy(MailHandle message, int file, uint32_t header_length, const MailProfile* chain) {
  bool any = false;
  for (const MailProfile* p = chain; p != nullptr; p = p->Next) {
    if (p->Selected == 0) continue;
    // One address per record, taken literally: no alias or list expansion.
    if (const uint32_t code = AddAddresses(message, p->AccountName, ADDR_SINGLE)) return code;
    any = true;
  }
  if (!platform::SetFilePointer(file, 0, platform::kBegin)) return platform::GetLastError();
  if (!any) return 0;
  if (const uint32_t code = AddHeadersFile(message, file, header_length)) return code;
  if (const uint32_t code = AddTextFile(message, file, 0xFFFFFFFF)) return code;
  return PostMailMessage(message);
}

uint32_t ForwardCopy(int file, uint32_t header_length, const MailProfile* chain) {
  if (IsCircular(chain)) return ERROR_INVALID_PARAMETER;
  MailHandle message = CreateMailMessage(0);
  if (message == nullptr) return platform::GetLastError();
  const uint32_t code = ComposeCopy(message, file, header_length, chain);
  // Closing discards the control file unless it was posted; the first failure wins.
  const uint32_t closed = CloseMailMessage(message);
  return code != 0 ? code : closed;
}

}  // namespace

extern "C" PELLAM_API uint32_t ForwardMail(int file, uint32_t header_length, const MailProfile* chain) {
  return pellam::Barrier([&] { return ForwardCopy(file, header_length, chain); });
}
