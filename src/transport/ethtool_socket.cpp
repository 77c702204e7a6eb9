#include "transport/ethtool_socket.h"

#include <net/if.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "common/hvxretval.h"
#include "host/host.h"
#include "wire/ethtool_nvm.h"

using namespace zelt;

int32_t zeltEthtoolIoctl(const char* devname, void* cmd_data) {
    struct ifreq ifr;
    std::memset(&ifr, 0, sizeof ifr);
    if (devname) std::strncpy(ifr.ifr_name, devname, IFNAMSIZ - 1);
    ifr.ifr_data = static_cast<char*>(cmd_data);
    errno = 0;
    if (zelt::host::current().interface_ioctl(SIOCETHTOOL, &ifr) == 0) return 0;
    switch (errno) {
        case EACCES: return 3;
        case EAGAIN: return HVXRETVAL_INVALID_PARAMETER;
        case EROFS: return 17;
        case EOPNOTSUPP: return 0xFFFF;
        default: return HVXRETVAL_FAILURE;
    }
}

int32_t send_ethtool_cmd(const char* devname, uint32_t cmd, void* cmd_data) {
    std::memcpy(cmd_data, &cmd, sizeof cmd);
    return zeltEthtoolIoctl(devname, cmd_data);
}
