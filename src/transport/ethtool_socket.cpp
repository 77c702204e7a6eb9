#include "transport/ethtool_socket.h"

#include <net/if.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "common/hvxretval.h"
#include "host/host.h"
#include "wire/ethtool_nvm.h"

namespace zelt::transport {

Result send_ethtool_cmd(const Function& fn, uint32_t cmd, void* cmd_data) {
    std::memcpy(cmd_data, &cmd, sizeof cmd);
    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    struct ifreq ifr;
    std::memset(&ifr, 0, sizeof ifr);
    std::strncpy(ifr.ifr_name, fn.name.c_str(), IFNAMSIZ - 1);
    ifr.ifr_data = static_cast<char*>(cmd_data);
    errno = 0;
    if (fn.channel->host().interface_ioctl(SIOCETHTOOL, &ifr) == 0) return Result();
    switch (errno) {
        case EACCES: return Result::tool(3);
        case EAGAIN: return Result::tool(HVXRETVAL_INVALID_PARAMETER);
        case EROFS: return Result::tool(17);
        case EOPNOTSUPP: return Result::tool(0xFFFF);
        // The driver found no room for the item or the staged package: the same
        // condition as the firmware's no-space answer to an NVM write, so the no-room
        // handling applies on this road too.
        case ENOSPC: return Result::system(ENOSPC, HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_NO_SPACE);
        default: return Result::tool(HVXRETVAL_FAILURE);
    }
}

}  // namespace zelt::transport
