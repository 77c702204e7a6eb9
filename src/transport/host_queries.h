// Host facts the firmware records and dumps carry: operating system version, host
// name and local time.
#pragma once

#include <cstddef>
#include <cstdint>

// Size of the host name buffer (NUL included).
inline constexpr size_t ZELT_SYSTEM_NAME_LEN = 256;

// `name` (at least 6 bytes) gets "Linux"; major is the first two fields of the kernel
// release written one after the other (5.15.0-91 gives 515), minor the third up to any
// "-". -1 when the release cannot be read.
int32_t zeltnvm_get_os_information(uint32_t* major, uint32_t* minor, char* name);
// The host name, at most ZELT_SYSTEM_NAME_LEN - 1 characters.
int32_t zeltnvm_get_system_name(char* name);
// Local time fields and the offset from UTC in minutes. `unused` is not written.
int32_t zeltnvm_get_system_time(uint16_t* month, uint16_t* year, uint16_t* hour, uint16_t* day, uint16_t* second,
                                uint16_t* minute, void* unused, int16_t* utc_bias);
