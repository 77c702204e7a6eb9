// Random firmware and driver answers fed through the real operations: every message
// is answered with bytes from the input (whatever length the operation expects), and
// every ethtool request is answered the same way. No crash, no read past a record.
#include <net/if.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "host/host.h"
#include "host/linux_host.h"
#include "transport/ethtool_channel.h"
#include "transport/function.h"
#include "transport/fw_queries.h"
#include "transport/driver_channel.h"
#include "transport/host_queries.h"
#include "transport/pci_info.h"
#include "wire/ethtool_nvm.h"
#include "wire/lfc.h"

using namespace zelt;

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // Fills `out` with the next bytes of the input (zeros once it is used up).
    void fill(void* out, size_t n) {
        size_t take = std::min(n, size_ - pos_);
        std::memcpy(out, data_ + pos_, take);
        std::memset(static_cast<uint8_t*>(out) + take, 0, n - take);
        pos_ += take;
    }
    uint8_t byte() {
        uint8_t b;
        fill(&b, 1);
        return b;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class FuzzHost : public zelt::host::LinuxHost {
public:
    explicit FuzzHost(Input& in) : LinuxHost("/nonexistent-fuzz-root"), in_(in) {}
    int device_open(std::string_view, int) override { return 3; }
    long device_write(int, const void*, size_t size) override { return static_cast<long>(size); }
    int device_ioctl(int, unsigned long, void* arg) override {
        zelt_lfc_req lfc;
        std::memcpy(&lfc, arg, sizeof lfc);
        zlfc_fw_msg msg;
        std::memcpy(&msg, reinterpret_cast<void*>(static_cast<uintptr_t>(lfc.req.hreq)), sizeof msg);
        in_.fill(reinterpret_cast<void*>(static_cast<uintptr_t>(msg.usr_resp)), msg.len_resp);
        if (msg.num_dma_indications > 0) {
            dma_info dma;
            std::memcpy(&dma, reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(lfc.req.hreq)) + zlfcDmaInfoOffset(0),
                        sizeof dma);
            if (dma.read_or_write) in_.fill(reinterpret_cast<void*>(static_cast<uintptr_t>(dma.data)), dma.length);
        }
        return failure();
    }
    void device_close(int) override {}
    int interface_ioctl(unsigned long, struct ifreq* ifr) override {
        uint32_t cmd;
        std::memcpy(&cmd, ifr->ifr_data, sizeof cmd);
        // Answer within what the request itself declares the buffer to hold.
        size_t n = sizeof(uint32_t);
        switch (cmd) {
            case ETHTOOL_GEEPROM:
            case ETHTOOL_GMODULEEEPROM: {
                auto* ee = reinterpret_cast<ethtool_eeprom*>(ifr->ifr_data);
                in_.fill(ee->data, ee->len);
                return failure();
            }
            case ETHTOOL_GDRVINFO: n = sizeof(ethtool_drvinfo); break;
            case ETHTOOL_GET_DUMP_FLAG: n = sizeof(ethtool_dump); break;
            case ETHTOOL_GET_DUMP_DATA: {
                auto* d = reinterpret_cast<ethtool_dump*>(ifr->ifr_data);
                const uint32_t room = d->len;
                in_.fill(d->data, room);
                d->len = in_.byte() & 1 ? room : room + 4096;  // a driver that claims more than it was given
                return failure();
            }
            default: return failure();
        }
        // Keep the command word; the rest is the driver's answer.
        in_.fill(reinterpret_cast<uint8_t*>(ifr->ifr_data) + sizeof(uint32_t), n - sizeof(uint32_t));
        if (cmd == ETHTOOL_GET_DUMP_FLAG) reinterpret_cast<ethtool_dump*>(ifr->ifr_data)->len %= 65536;
        return failure();
    }
    struct timeval now() override { return {}; }

private:
    int failure() {
        if (in_.byte() % 4 != 0) return 0;
        errno = EIO;
        return -1;
    }
    Input& in_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    auto fuzz_host = std::make_unique<FuzzHost>(in);
    auto channel = std::make_shared<zelt::transport::DriverChannel>(*fuzz_host);
    // A function addressed by number, reached through the firmware-channel device.
    const zelt::transport::Function fn{"", zelt::PciAddress{0, 0x3b, 0, 0}, channel};
    const zelt::transport::Function iface{"eth0", {}, channel};

    int a = 0, b = 0;
    uint8_t u8 = 0, ver3[3], mac[6];
    uint16_t u16a = 0, u16b = 0;
    uint32_t u32 = 0;
    double rate = 0;
    char text[64];
    uint64_t counters[zelt::transport::ZELT_PCIE_COUNTER_COUNT];
    hwrm_ver_get_output ver;
    hwrm_temp_monitor_query_output temp;
    hwrm_func_qcaps_output caps;
    hwrm_mfg_otp_qcfg_output otp;
    hwrm_mfg_prvsn_get_state_output prvsn;
    hwrm_mfg_get_nvm_measurement_output measurement;
    hwrm_dbg_qcaps_output dbg;

    (void)zelt_nvm_ver_get_status(fn);
    (void)zeltnvm_get_fw_version(fn, &ver, &u32);
    (void)zelt_query_admin_pf_status(fn, &a);
    (void)zelt_get_pf_start_vf_id(fn, &u16a);
    (void)zelt_get_link_speed(fn, &rate, &u16a);
    (void)zelt_nvm_get_reg_vf_count(fn, &u16a);
    (void)zelt_nvm_get_permanent_mac(fn, mac);
    (void)zelt_get_error_recovery_counter(fn, &u32, 5);
    (void)zelt_get_error_recovery_counter(fn, &u32, 6);
    (void)zeltnvmDeviceTemperature(fn, &temp);
    (void)zeltnvm_pcie_counters(fn, &u32, counters, 0);
    (void)zeltnvm_linux_GetInstalledPackageVersion(fn, text, sizeof text);
    (void)zelt_check_secure_fw_boot_status(fn, &a, &b);
    (void)zeltnvm_get_func_qcaps(fn, &caps);
    (void)zeltnvm_get_supported_speeds(fn, &u16a, &u16b);
    (void)zelt_query_host_type(fn, &a, &b);
    (void)zeltnvmFwQueryStatus(fn, 0, 1, &u8);
    (void)zelt_sync_fw(fn, &u32);
    (void)zeltnvm_get_active_cfg_version(fn, ver3);
    (void)zeltnvm_query_mfg_otp_details(fn, &otp);
    (void)zeltnvm_get_cert_provision_state(fn, &prvsn);
    (void)zeltnvm_get_nvm_measurement(fn, &measurement);
    (void)zeltnvm_query_dbg_qcaps(fn, &dbg);

    // Ethtool answers.
    uint8_t item[5000];
    (void)zelt::transport::zeltnvmGetItem(iface, 1, 0, item, sizeof item);
    (void)zelt::transport::zeltnvmGetModuleInfo(iface);
    (void)zelt::transport::zeltnvmGetInstalledfwVersion(iface);
    (void)zelt::transport::zeltnvmGetInstalledPackageVersion(iface);
    (void)zelt::transport::zeltnvm_is_ethtool_crashdump_available(iface);
    (void)zelt::transport::zeltnvmEthtoolCoredump(iface, std::fopen("/dev/null", "wb"), 1);
    (void)zelt::transport::zeltDrvInfo(iface, true);
    return 0;
}
