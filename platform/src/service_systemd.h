// The systemd side of the service control layer, used where systemd runs the machine
// and no sandbox is set: each service record has a unit /etc/systemd/system/<name>.service
// that this layer writes, enables for automatic start, and drives with systemctl.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/services.h"
#include "service_record.h"

namespace platform::service {

bool SystemdRunsMachine();

// "<name in lower case>.service".
std::string UnitName(const std::string& name);

// The unit's text: the program started in the foreground, the display name as its
// description, the stop wait as its stop time-out.
std::string UnitText(const Record& record, unsigned stop_wait_ms);

// The state told by `systemctl show` (ActiveState and ActiveEnterTimestampMonotonic):
// active units are start pending for the settling time after they became active, as
// the supervisor reports them. `now_us` is the monotonic clock in microseconds.
uint32_t StateFromShow(const std::string& show, uint64_t now_us, unsigned settle_ms,
                       uint32_t* wait_hint);

uint32_t SystemdInstall(const std::string& name, const Record& record);
uint32_t SystemdRemove(const std::string& name);
uint32_t SystemdState(const std::string& name, ServiceStatus* status);
uint32_t SystemdStart(const std::string& name, const std::vector<std::string>& args);
uint32_t SystemdStop(const std::string& name, ServiceStatus* status);

}  // namespace platform::service
