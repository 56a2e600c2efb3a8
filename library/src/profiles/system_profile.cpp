// The machine's mail parameters under HKEY_LOCAL_MACHINE\Software\Corwent\Pellam:
// read with their defaults and bounds in one query of the store, written field by
// field.
#include <cstring>
#include <iterator>

#include "frame/export_barrier.h"
#include "pellam.h"
#include "platform/errors.h"
#include "profiles/record_fields.h"
#include "profiles/registry_values.h"

namespace pellam {
namespace {

struct Bounded {
  const char* name;
  uint32_t MailSystemProfile::*field;
  uint32_t fallback;
  uint32_t minimum;
};

// Read in this order after the two directories; the first failure ends the read.
constexpr Bounded kBoundedNumbers[] = {
    {"SendThreadLimit", &MailSystemProfile::SendThreadLimit, 8, 0},
    {"ReceiveThreadLimit", &MailSystemProfile::ReceiveThreadLimit, 8, 0},
    {"NetSendTimeout", &MailSystemProfile::NetSendTimeout, 60000, 10000},
    {"NetReceiveTimeout", &MailSystemProfile::NetReceiveTimeout, 600000, 10000},
    {"MaximumHops", &MailSystemProfile::MaximumHops, 8, 0},
    {"SenderRetryDelta", &MailSystemProfile::SenderRetryDelta, 1800000, 60000},
};
constexpr uint32_t kSenderRetryLimitDefault = 259200000;  // 72 hours

uint32_t ReadDirectory(const FetchedValue& value, char* path) {
  uint32_t code = ReadRegPath(value, path);
  if (code == 0 && path[0] == '\0') return ERR_BAD_PARAMETERS;
  return code;
}

// The values of the parameters key, fetched in one query and read in this order.
enum Stored { kQueue, kTemp, kFirstBounded, kRetryLimit = kFirstBounded + 6, kErrorFile, kGateway, kStoredCount };

uint32_t ReadProfile(HKEY key, MailSystemProfile* p) {
  FetchedValue values[kStoredCount];
  values[kQueue].name = "MailQueuePath";
  values[kTemp].name = "MailTempPath";
  for (size_t i = 0; i < std::size(kBoundedNumbers); ++i) values[kFirstBounded + i].name = kBoundedNumbers[i].name;
  values[kRetryLimit].name = "SenderRetryLimit";
  values[kErrorFile].name = "ErrorFile";
  values[kGateway].name = "ExternalGateway";
  if (uint32_t code = FetchValues(key, values, kStoredCount)) return code;

  if (uint32_t code = ReadDirectory(values[kQueue], p->MailQueuePath)) return code;
  if (uint32_t code = ReadDirectory(values[kTemp], p->MailTempPath)) return code;
  for (size_t i = 0; i < std::size(kBoundedNumbers); ++i) {
    const Bounded& b = kBoundedNumbers[i];
    if (uint32_t code = ReadRegBoundedNumber(values[kFirstBounded + i], &(p->*b.field), b.fallback, b.minimum)) {
      return code;
    }
  }
  if (uint32_t code = ReadRegNumber(values[kRetryLimit], &p->SenderRetryLimit, kSenderRetryLimitDefault)) {
    return code;
  }
  if (uint32_t code = ReadRegString(values[kErrorFile], p->ErrorFile, sizeof p->ErrorFile)) return code;
  return ReadRegString(values[kGateway], p->ExternalGateway, sizeof p->ExternalGateway);
}

uint32_t WriteProfile(HKEY key, const MailSystemProfile* p) {
  // The directories can be replaced but never removed: a delete mark is ignored.
  const struct {
    const char* name;
    const char* value;
  } directories[] = {{"MailQueuePath", p->MailQueuePath}, {"MailTempPath", p->MailTempPath}};
  for (const auto& d : directories) {
    if (d.value[0] != '\0' && d.value[0] != PELLAM_DELETE_MARK) {
      if (uint32_t code = WriteRegPath(key, d.name, d.value)) return code;
    }
  }
  if (IsGiven(p->ErrorFile)) {
    if (uint32_t code = WriteRegString(key, "ErrorFile", p->ErrorFile)) return code;
  }
  if (IsGiven(p->ExternalGateway)) {
    if (uint32_t code = WriteRegString(key, "ExternalGateway", p->ExternalGateway)) return code;
  }
  return 0;
}

}  // namespace
}  // namespace pellam

using namespace pellam;

static uint32_t ReadSystemProfile(MailSystemProfile* profile) {
  if (profile == nullptr) return ERROR_INVALID_PARAMETER;
  std::memset(profile, 0, sizeof *profile);
  platform::UniqueKey key;
  uint32_t code = platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_PARAMETERS_KEY,
                                         platform::KEY_QUERY_VALUE, key.out());
  if (code == ERROR_FILE_NOT_FOUND) return ERR_NO_PARAMETERS;
  if (code != 0) return code;
  return ReadProfile(key.get(), profile);
}

extern "C" PELLAM_API uint32_t GetSystemProfile(MailSystemProfile* profile) {
  return Barrier([&] { return ReadSystemProfile(profile); });
}

static uint32_t WriteSystemProfile(MailSystemProfile* profile) {
  if (profile != nullptr &&
      !(IsTerminated(profile->MailQueuePath) && IsTerminated(profile->MailTempPath) &&
        IsTerminated(profile->ErrorFile) && IsTerminated(profile->ExternalGateway))) {
    return ERROR_INVALID_PARAMETER;
  }
  {
    platform::UniqueKey key;
    uint32_t code = platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_PARAMETERS_KEY, key.out());
    if (code != 0) return code;
    if (profile == nullptr) return 0;
    if ((code = WriteProfile(key.get(), profile)) != 0) return code;
  }
  // The caller's record receives the profile as now stored.
  return GetSystemProfile(profile);
}

extern "C" PELLAM_API uint32_t MakeSystemProfile(MailSystemProfile* profile) {
  return Barrier([&] { return WriteSystemProfile(profile); });
}

extern "C" PELLAM_API uint32_t GetMailSystemProfile(MailSystemProfile* profile, uint32_t size) {
  if (profile == nullptr || size < sizeof(MailSystemProfile)) return platform::Fail(ERROR_INVALID_PARAMETER);
  uint32_t code = GetSystemProfile(profile);
  if (code == 0) return 0;
  if (code != ERR_NO_PARAMETERS) code = ERR_BAD_PARAMETERS;
  return platform::Fail(code);
}

extern "C" PELLAM_API uint32_t UpdateMailSystemProfile(MailSystemProfile* profile, uint32_t size) {
  if (profile == nullptr || size < sizeof(MailSystemProfile)) return platform::Fail(ERROR_INVALID_PARAMETER);
  uint32_t code = MakeSystemProfile(profile);
  return code == 0 ? 0 : platform::Fail(code);
}
