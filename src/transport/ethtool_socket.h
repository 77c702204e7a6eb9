// The ethtool ioctl of a function's network interface and its result mapping, shared
// by every ethtool operation.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::transport {

// Writes `cmd` into the first word of `cmd_data` and issues SIOCETHTOOL on the
// interface of `fn` (at most 15 characters of its name are used) through the host of
// its channel. The refusals keep the integers the tool reports for them: EACCES 3,
// EAGAIN -16, EROFS 17, EOPNOTSUPP 0xFFFF, ENOSPC the no-space code of an NVM write
// (with its errno), any other -1.
Result send_ethtool_cmd(const Function& fn, uint32_t cmd, void* cmd_data);

}  // namespace zelt::transport
