// The Ethernet driver's socket ioctls: ethtool commands (driver information, link,
// NVM access through the EEPROM commands, package flashing from the firmware
// directory, dumps, module EEPROM, reset) and the interface address and MTU queries.
#include <net/if.h>
#include <net/if_arp.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "sim/driver/sim_devices.h"
#include "sim/driver/staged_file.h"
#include "sim/faults/faults.h"
#include "sim/firmware/firmware.h"
#include "sim/state/request_log.h"
#include "wire/ethtool_nvm.h"

namespace zelt::sim {

namespace {

// Attribute bits an item may carry: no checksum, property stream, IPv4, IPv6, trailer.
constexpr uint16_t kKnownAttributes = 0x001F;

int fail(int& err, int value) {
    err = value;
    return -1;
}

template <size_t N>
void put_text(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// The module EEPROM (lower page and upper page 0) of the plugged-in module.
std::vector<uint8_t> module_eeprom(const AdapterDesc& a) {
    std::vector<uint8_t> m(640, 0);
    m[0] = a.module_sfp ? 0x03 : 0x11;
    if (a.module_sfp) {
        m[18] = a.cable_length;
        m[110] = a.insertion_loss;
    } else {
        m[146] = a.cable_length;
        m[238] = a.insertion_loss;
    }
    m[109] = a.cable_awg;
    std::string vendor = a.module_vendor;
    vendor.resize(16, ' ');
    std::memcpy(&m[148], vendor.data(), 16);
    return m;
}

// Bytes of a dump the driver hands out: a recognisable, position-dependent pattern.
void fill_dump(uint8_t* out, uint32_t length, uint32_t flag) {
    for (uint32_t i = 0; i < length; ++i) out[i] = static_cast<uint8_t>((i * 7 + flag * 31) & 0xFF);
}

struct EthtoolCall {
    SimSession& session;
    ConstFunctionRef ref;
    FirmwareContext ctx;
    nlohmann::json& log;
    int& err;
};

int get_drvinfo(EthtoolCall& c, void* data) {
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    put_text(info.driver, ZELT_EN_DRIVER_NAME);
    put_text(info.version, kSimDriverVersion);
    put_text(info.fw_version, driver_firmware_version_text(c.ctx.state));
    put_text(info.bus_info, c.ref.function->address());
    info.eedump_len = c.ctx.flash.size();
    std::memcpy(data, &info, sizeof info);
    return 0;
}

int get_link(EthtoolCall& c, void* data) {
    ethtool_value v{};
    v.cmd = ETHTOOL_GLINK;
    v.data = c.ref.function->link_up ? 1 : 0;
    std::memcpy(data, &v, sizeof v);
    return 0;
}

int get_eeprom(EthtoolCall& c, void* data) {
    ethtool_eeprom e;
    std::memcpy(&e, data, sizeof e);
    c.log["magic"] = e.magic;
    c.log["offset"] = e.offset;
    c.log["len"] = e.len;
    // A read names the entry (index plus one) in the offset's top byte; its data must
    // fit the driver's one-page buffer after the request head.
    uint32_t slot = e.offset >> 24;
    if (e.magic != 0 || slot == 0 || e.len == 0 || e.len > ZELT_ETHTOOL_NVM_PIECE) return fail(c.err, EINVAL);
    auto* out = static_cast<uint8_t*>(data) + sizeof e;
    if (c.ctx.flash.read(slot - 1, e.offset & ZELT_ETHTOOL_MAX_ITEM_OFFSET, {out, e.len}) != FlashStatus::ok)
        return fail(c.err, EINVAL);
    return 0;
}

int set_eeprom(EthtoolCall& c, void* data) {
    ethtool_eeprom e;
    std::memcpy(&e, data, sizeof e);
    c.log["magic"] = e.magic;
    c.log["offset"] = e.offset;
    c.log["len"] = e.len;
    // A magic with the erase prefix is an erase and nothing else: anything but the exact
    // erase form is refused rather than taken for a write of some odd item.
    const bool erase_prefix = (e.magic & 0xFFFFFF00u) == ZELT_ETHTOOL_ERASE_MAGIC_BASE;
    if (erase_prefix && !ethtoolNvmIsErase(e.magic, e.offset, e.len)) return fail(c.err, EINVAL);
    if (erase_prefix && (e.magic & 0xFFu) == 0) return fail(c.err, EINVAL);
    if (ethtoolNvmIsErase(e.magic, e.offset, e.len)) {
        c.log["op"] = "erase";
        c.log["index"] = ethtoolNvmEraseIndex(e.magic);
        if (c.ctx.flash.erase_entry(ethtoolNvmEraseIndex(e.magic)) != FlashStatus::ok) return fail(c.err, EINVAL);
        return 0;
    }
    uint16_t type = static_cast<uint16_t>(e.magic >> 16), ext = static_cast<uint16_t>(e.magic & 0xFFFF);
    uint16_t ordinal = static_cast<uint16_t>(e.offset >> 16), attr = static_cast<uint16_t>(e.offset & 0xFFFF);
    c.log["op"] = "write";
    if (type == 0 || type == 0xFFFF || e.len == 0 || (attr & ~kKnownAttributes) != 0) return fail(c.err, EINVAL);
    const auto* bytes = static_cast<const uint8_t*>(data) + sizeof e;
    uint32_t index;
    FlashStatus st = c.ctx.flash.write(type, ordinal, ext, attr, {bytes, e.len}, 0, index);
    if (st == FlashStatus::no_space || st == FlashStatus::fragmented || st == FlashStatus::directory_full)
        return fail(c.err, ENOSPC);
    if (st != FlashStatus::ok) return fail(c.err, EIO);
    return 0;
}

int flash_device(EthtoolCall& c, void* data) {
    ethtool_flash f;
    std::memcpy(&f, data, sizeof f);
    c.log["region"] = f.region;
    if (std::memchr(f.data, 0, sizeof f.data) == nullptr) return fail(c.err, EINVAL);
    std::string name = f.data;
    c.log["file"] = name;
    // Only names inside the firmware directory are loaded.
    if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos) return fail(c.err, EINVAL);
    const std::unique_ptr<StagedFile> package = StagedFile::open(c.session.paths().root + ZELT_FIRMWARE_DIR + name);
    if (!package) return fail(c.err, ENOENT);
    c.log["size"] = package->size();
    if (package->size() == 0) return fail(c.err, EINVAL);
    uint32_t install_type = (f.region & 0xFFFF) == 0 && f.region != 0 ? f.region >> 16 : f.region;
    c.log["install_type"] = install_type;

    // Stage the whole package in the update item, then let the firmware install it.
    FlashModel& flash = c.ctx.flash;
    int staging = flash.find(2, 0, 0);
    uint16_t attr = staging >= 0 ? flash.entry(static_cast<uint32_t>(staging)).attr : ZEL_DIR_ATTR_NO_CHKSUM;
    uint32_t item_length = staging >= 0 ? flash.entry(static_cast<uint32_t>(staging)).item_length : 0;
    uint32_t index;
    FlashStatus st = flash.write(2, 0, 0, attr, *package, item_length, index);
    if (st == FlashStatus::no_space || st == FlashStatus::fragmented || st == FlashStatus::directory_full)
        return fail(c.err, ENOSPC);
    if (st != FlashStatus::ok) return fail(c.err, EIO);
    InstallResult r;
    if (firmware_install_staged(c.ctx, install_type, 0, r) != 0 || r.result != 0) return fail(c.err, EIO);
    return 0;
}

int set_dump(EthtoolCall& c, void* data) {
    ethtool_dump d;
    std::memcpy(&d, data, sizeof d);
    c.log["flag"] = d.flag;
    c.ctx.state.dump_flag = d.flag;
    return 0;
}

// The crash dump with the crash flag set, else the live dump (when the facility is on).
uint32_t dump_length(const AdapterState& st) {
    return st.dump_flag == ZELT_ETHTOOL_DUMP_FLAG_CRASH ? st.crash_dump_length : st.live_dump_length;
}

int get_dump_flag(EthtoolCall& c, void* data) {
    ethtool_dump d{};
    d.cmd = ETHTOOL_GET_DUMP_FLAG;
    d.version = 1;
    d.flag = c.ctx.state.dump_flag;
    d.len = dump_length(c.ctx.state);
    std::memcpy(data, &d, sizeof d);
    return 0;
}

int get_dump_data(EthtoolCall& c, void* data) {
    ethtool_dump d;
    std::memcpy(&d, data, sizeof d);
    c.log["len"] = d.len;
    uint32_t have = dump_length(c.ctx.state);
    if (have == 0) return fail(c.err, ENODATA);
    uint32_t n = std::min(have, d.len);
    fill_dump(static_cast<uint8_t*>(data) + sizeof d, n, c.ctx.state.dump_flag);
    d.len = n;
    d.version = 1;
    d.flag = c.ctx.state.dump_flag;
    std::memcpy(data, &d, sizeof d);
    return 0;
}

int get_module_eeprom(EthtoolCall& c, void* data) {
    ethtool_eeprom e;
    std::memcpy(&e, data, sizeof e);
    c.log["offset"] = e.offset;
    c.log["len"] = e.len;
    std::vector<uint8_t> m = module_eeprom(*c.ref.adapter);
    if (e.offset > m.size() || e.len > m.size() - e.offset) return fail(c.err, EINVAL);
    std::memcpy(static_cast<uint8_t*>(data) + sizeof e, m.data() + e.offset, e.len);
    return 0;
}

int reset(EthtoolCall& c, void* data) {
    ethtool_value v;
    std::memcpy(&v, data, sizeof v);
    c.log["flags"] = v.data;
    firmware_reset(c.ctx, 2000);
    v.data = 0;  // every requested component was reset
    std::memcpy(data, &v, sizeof v);
    return 0;
}

bool reaches_firmware(uint32_t cmd) {
    return cmd != ETHTOOL_GDRVINFO && cmd != ETHTOOL_GLINK;
}

// The function behind a network interface of the Ethernet driver, in a description
// that is only looked at.
const FunctionDesc* find_interface_in(const HostDesc& host, const std::string& ifname) {
    if (ifname.empty()) return nullptr;
    for (const auto& a : host.adapters)
        for (const auto& f : a.functions)
            if (f.ifname == ifname && f.driver == kEthernetDriver) return &f;
    return nullptr;
}

bool needs_admin(uint32_t cmd) {
    return cmd == ETHTOOL_SEEPROM || cmd == ETHTOOL_FLASHDEV || cmd == ETHTOOL_SET_DUMP || cmd == ETHTOOL_RESET;
}

}  // namespace

std::string driver_firmware_version_text(const AdapterState& st) {
    return st.running_fw_version + "/pkg " + st.running_pkg_version;
}

int interface_device_ioctl(const std::string& root, unsigned long request, struct ifreq* ifr, int& err) {
    if (!ifr) return fail(err, EFAULT);
    std::string ifname(ifr->ifr_name, strnlen(ifr->ifr_name, IFNAMSIZ));
    std::string error;
    if (request == SIOCGIFHWADDR || request == SIOCGIFMTU) {
        // Address and MTU come from the description alone: looked at in place, under the lock.
        const FunctionDesc* found = nullptr;
        if (!read_host_description(
                root,
                [&](const HostDesc& host) {
                    found = find_interface_in(host, ifname);
                    if (!found) return;
                    if (request == SIOCGIFHWADDR) {
                        std::memset(&ifr->ifr_hwaddr, 0, sizeof ifr->ifr_hwaddr);
                        ifr->ifr_hwaddr.sa_family = ARPHRD_ETHER;
                        std::memcpy(ifr->ifr_hwaddr.sa_data, found->mac.data(), 6);
                    } else {
                        ifr->ifr_mtu = static_cast<int>(found->mtu);
                    }
                },
                error))
            return fail(err, EIO);
        return found ? 0 : fail(err, ENODEV);
    }
    auto session = SimSession::open(root, error);
    if (!session) return fail(err, EIO);
    ConstFunctionRef ref = find_interface(session->host_view(), ifname);
    if (!ref) return fail(err, ENODEV);
    if (request != SIOCETHTOOL) return fail(err, ENOTTY);
    void* data = ifr->ifr_data;
    if (!data) return fail(err, EFAULT);
    uint32_t cmd;
    std::memcpy(&cmd, data, sizeof cmd);

    const AdapterDesc& adapter = *ref.adapter;
    nlohmann::json log{{"channel", "ethtool"}, {"ifname", ifname}, {"function", ref.function->address()}, {"cmd", cmd}};
    EthtoolCall call{*session, ref,
                     FirmwareContext{adapter, *ref.function, session->adapter_state(adapter.name),
                                     session->flash_model(adapter.name), session->now_us(),
                                     &session->host_view().faults},
                     log, err};
    int rc;
    const FaultDesc* fault = match_ethtool_fault(*session, adapter, *ref.function, cmd, reaches_firmware(cmd));
    if (!session->host_view().root_user && needs_admin(cmd)) {
        rc = fail(err, EACCES);
    } else if (fault) {
        if (fault->kind == "busy") {
            rc = fail(err, EAGAIN);
        } else if (fault->kind == "unresponsive") {
            rc = fail(err, ETIMEDOUT);
        } else {
            rc = fail(err, fault->err_no ? fault->err_no : EIO);
        }
    } else if (reaches_firmware(cmd) && (firmware_restarting(call.ctx) || call.ctx.flash.size() == 0)) {
        rc = fail(err, EAGAIN);  // the firmware restarts: try again later
    } else if (reaches_firmware(cmd) && firmware_down(call.ctx)) {
        rc = fail(err, ETIMEDOUT);  // no firmware runs: the driver waits its request out
    } else {
        switch (cmd) {
            case ETHTOOL_GDRVINFO: rc = get_drvinfo(call, data); break;
            case ETHTOOL_GLINK: rc = get_link(call, data); break;
            case ETHTOOL_GEEPROM: rc = get_eeprom(call, data); break;
            case ETHTOOL_SEEPROM: rc = set_eeprom(call, data); break;
            case ETHTOOL_FLASHDEV: rc = flash_device(call, data); break;
            case ETHTOOL_SET_DUMP: rc = set_dump(call, data); break;
            case ETHTOOL_GET_DUMP_FLAG: rc = get_dump_flag(call, data); break;
            case ETHTOOL_GET_DUMP_DATA: rc = get_dump_data(call, data); break;
            case ETHTOOL_GMODULEEEPROM: rc = get_module_eeprom(call, data); break;
            case ETHTOOL_RESET: rc = reset(call, data); break;
            default: rc = fail(err, EOPNOTSUPP); break;
        }
    }
    if (rc != 0) log["errno"] = err;
    append_request_log(session->paths(), log);
    const int signal = match_signal_fault(*session, adapter, *ref.function, -1, static_cast<int>(cmd));
    std::string save_error;
    if (!session->save(save_error) && rc == 0) return fail(err, EIO);
    if (signal) ::raise(signal);
    return rc;
}

}  // namespace zelt::sim
