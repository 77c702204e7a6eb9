// Host facts the firmware records and dumps carry: operating system version, host
// name and local time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/result.h"

namespace zelt::host {
class Host;
}

namespace zelt::transport {

// Size of the host name buffer (NUL included).
inline constexpr size_t ZELT_SYSTEM_NAME_LEN = 256;

// `name` (at least 6 bytes) gets "Linux"; major is the first two fields of the kernel
// release written one after the other (5.15.0-91 gives 515), minor the third up to any
// "-". -1 when the release cannot be read. All of `host`.
Result zeltnvm_get_os_information(host::Host& host, uint32_t* major, uint32_t* minor, char* name);
// The host name, at most ZELT_SYSTEM_NAME_LEN - 1 characters.
Result zeltnvm_get_system_name(host::Host& host, char* name);
// Local time fields and the offset from UTC in minutes.
Result zeltnvm_get_system_time(host::Host& host, uint16_t* month, uint16_t* year, uint16_t* hour, uint16_t* day,
                               uint16_t* second, uint16_t* minute, int16_t* utc_bias);

}  // namespace zelt::transport
