// The ethtool ioctl of a network interface and its result mapping, shared by every
// ethtool operation.
#pragma once

#include <cstdint>

// Issues SIOCETHTOOL on interface `devname` (at most 15 characters are used) with
// `cmd_data`, whose first word is the ethtool command. Returns 0, or the mapped
// errno: EACCES 3, EAGAIN -16, EROFS 17, EOPNOTSUPP 0xFFFF, any other -1.
int32_t zeltEthtoolIoctl(const char* devname, void* cmd_data);

// Writes `cmd` into the first word of `cmd_data` and issues the ioctl.
int32_t send_ethtool_cmd(const char* devname, uint32_t cmd, void* cmd_data);
