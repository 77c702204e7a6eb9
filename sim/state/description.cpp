#include "sim/state/description.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <nlohmann/json.hpp>

#include "common/supported_devices.h"

namespace zelt::sim {

using nlohmann::json;

std::string FunctionDesc::address() const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04x:%02x:%02x.%x", domain, bus, dev, func);
    return buf;
}

const AdapterDesc* HostDesc::find_adapter(const std::string& name) const {
    for (const auto& a : adapters)
        if (a.name == name) return &a;
    return nullptr;
}

ConstFunctionRef find_function(const HostDesc& host, uint32_t domain, uint32_t bus, uint32_t dev, uint32_t func) {
    for (const auto& a : host.adapters)
        for (const auto& f : a.functions)
            if (f.domain == domain && f.bus == bus && f.dev == dev && f.func == func) return {&a, &f};
    return {};
}

ConstFunctionRef find_function(const HostDesc& host, const std::string& address) {
    for (const auto& a : host.adapters)
        for (const auto& f : a.functions)
            if (f.address() == address) return {&a, &f};
    return {};
}

ConstFunctionRef find_interface(const HostDesc& host, const std::string& ifname) {
    if (ifname.empty()) return {};
    for (const auto& a : host.adapters)
        for (const auto& f : a.functions)
            if (f.ifname == ifname && f.driver == kEthernetDriver) return {&a, &f};
    return {};
}

namespace {

// The writable form of a lookup made on the writable description.
FunctionRef writable(ConstFunctionRef ref) {
    return {const_cast<AdapterDesc*>(ref.adapter), const_cast<FunctionDesc*>(ref.function)};
}

}  // namespace

FunctionRef find_function(HostDesc& host, uint32_t domain, uint32_t bus, uint32_t dev, uint32_t func) {
    return writable(find_function(std::as_const(host), domain, bus, dev, func));
}

FunctionRef find_function(HostDesc& host, const std::string& address) {
    return writable(find_function(std::as_const(host), address));
}

FunctionRef find_interface(HostDesc& host, const std::string& ifname) {
    return writable(find_interface(std::as_const(host), ifname));
}

std::string format_mac(const MacAddress& mac) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return buf;
}

bool parse_mac(const std::string& text, MacAddress& mac) {
    unsigned v[6];
    char tail;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(v[i]);
    return true;
}

namespace {

// A number given either as a JSON number or as a text ("0x..." hexadecimal or decimal).
uint64_t number(const json& j, const char* key, uint64_t fallback) {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return fallback;
    if (it->is_number_unsigned() || it->is_number_integer()) return it->get<uint64_t>();
    if (it->is_string()) {
        const std::string& s = it->get_ref<const std::string&>();
        size_t used = 0;
        uint64_t v = std::stoull(s, &used, 0);
        if (used != s.size()) throw std::invalid_argument(std::string("bad number for ") + key + ": " + s);
        return v;
    }
    throw std::invalid_argument(std::string("bad number for ") + key);
}

std::string text(const json& j, const char* key, const std::string& fallback) {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return fallback;
    return it->get<std::string>();
}

bool flag(const json& j, const char* key, bool fallback) {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return fallback;
    return it->get<bool>();
}

std::string hex16(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%04llx", static_cast<unsigned long long>(v));
    return buf;
}

json function_to_json(const FunctionDesc& f) {
    return json{{"address", f.address()},
                {"device_id", hex16(f.device_id)},
                {"vf", f.is_vf},
                {"port", f.port},
                {"pf_index", f.pf_index},
                {"ifname", f.ifname},
                {"driver", f.driver},
                {"mac", format_mac(f.mac)},
                {"mtu", f.mtu},
                {"link_up", f.link_up},
                {"link_speed", f.link_speed},
                {"total_vfs", f.total_vfs},
                {"num_vfs", f.num_vfs}};
}

void function_from_json(const json& j, const FunctionDesc& defaults, FunctionDesc& f) {
    f = defaults;
    if (j.contains("address")) {
        unsigned d, b, dv, fn;
        char tail;
        std::string a = j.at("address").get<std::string>();
        if (std::sscanf(a.c_str(), "%x:%x:%x.%x%c", &d, &b, &dv, &fn, &tail) != 4 || d > 0xFFFF || b > 0xFF ||
            dv > 0x1F || fn > 7)
            throw std::invalid_argument("bad PCI address " + a);
        f.domain = static_cast<uint16_t>(d);
        f.bus = static_cast<uint8_t>(b);
        f.dev = static_cast<uint8_t>(dv);
        f.func = static_cast<uint8_t>(fn);
    }
    f.device_id = static_cast<uint16_t>(number(j, "device_id", f.device_id));
    f.is_vf = flag(j, "vf", f.is_vf);
    f.port = static_cast<unsigned>(number(j, "port", f.port));
    f.pf_index = static_cast<unsigned>(number(j, "pf_index", f.pf_index));
    f.ifname = text(j, "ifname", f.ifname);
    f.driver = text(j, "driver", f.driver);
    if (j.contains("mac") && !parse_mac(j.at("mac").get<std::string>(), f.mac))
        throw std::invalid_argument("bad MAC address " + j.at("mac").get<std::string>());
    f.mtu = static_cast<unsigned>(number(j, "mtu", f.mtu));
    f.link_up = flag(j, "link_up", f.link_up);
    f.link_speed = static_cast<uint16_t>(number(j, "link_speed", f.link_speed));
    f.total_vfs = static_cast<unsigned>(number(j, "total_vfs", f.total_vfs));
    f.num_vfs = static_cast<unsigned>(number(j, "num_vfs", f.num_vfs));
    if (f.ifname.size() > 15) throw std::invalid_argument("interface name longer than 15 characters: " + f.ifname);
}

// Defaults that depend on the chip family.
struct FamilyDefaults {
    uint16_t device_id;
    uint16_t subsys_device_id;
    const char* fw_version;
    uint16_t link_speed;
    uint32_t nvm_size;
};

FamilyDefaults family_defaults(uint16_t device_type) {
    if (device_type > 7) return {0x9801, 0xa101, "228.1.107.0", 2000, 8u << 20};
    if (device_type > 3) return {0x7501, 0xa101, "224.0.150.0", 1000, 4u << 20};
    return {0x5201, 0xa101, "220.0.44.0", 250, 4u << 20};
}

uint8_t status_byte(const json& j, const char* key) {
    const uint64_t n = number(j, key, 0);
    if (n > 0xFF) throw std::invalid_argument(std::string(key) + " must be 0 to 255");
    return static_cast<uint8_t>(n);
}

SerdesLaneDesc lane_from_json(const json& j, const SerdesLaneDesc& base) {
    SerdesLaneDesc l = base;
    l.loss_db = j.value("loss_db", l.loss_db);
    l.jitter_ui = j.value("jitter_ui", l.jitter_ui);
    l.noise_mv = j.value("noise_mv", l.noise_mv);
    if (!(l.loss_db >= 0 && l.loss_db <= 60) || !(l.jitter_ui > 0 && l.jitter_ui < 0.5) ||
        !(l.noise_mv > 0 && l.noise_mv < 500))
        throw std::invalid_argument("a SerDes lane needs loss_db 0 to 60, jitter_ui above 0 and below 0.5, "
                                    "noise_mv above 0 and below 500");
    return l;
}

json lane_to_json(const SerdesLaneDesc& l) {
    return json{{"loss_db", l.loss_db}, {"jitter_ui", l.jitter_ui}, {"noise_mv", l.noise_mv}};
}

// "serdes": {"lane": {...}, "pcie_lanes": {"3": {...}}, "ethernet_lanes": {...},
//            "target_ber_support": 2, "bits_pow2": true}
void serdes_from_json(const json& j, SerdesDesc& s) {
    if (j.contains("lane")) s.lane = lane_from_json(j.at("lane"), s.lane);
    for (const char* key : {"pcie_lanes", "ethernet_lanes"}) {
        if (!j.contains(key)) continue;
        auto& lanes = std::string(key) == "pcie_lanes" ? s.pcie_lanes : s.ethernet_lanes;
        for (const auto& [lane, lj] : j.at(key).items()) {
            const unsigned long n = std::stoul(lane);
            if (n > 255) throw std::invalid_argument("SerDes lane numbers are 0 to 255");
            lanes[static_cast<unsigned>(n)] = lane_from_json(lj, s.lane);
        }
    }
    s.target_ber_support = static_cast<int>(j.value("target_ber_support", s.target_ber_support));
    if (s.target_ber_support < -1 || s.target_ber_support > 4)
        throw std::invalid_argument("target_ber_support must be 0 to 4");
    s.bits_pow2 = flag(j, "bits_pow2", s.bits_pow2);
}

json serdes_to_json(const SerdesDesc& s) {
    json j{{"lane", lane_to_json(s.lane)}, {"target_ber_support", s.target_ber_support},
           {"bits_pow2", s.bits_pow2}};
    for (const auto& [key, lanes] : {std::pair{"pcie_lanes", &s.pcie_lanes}, std::pair{"ethernet_lanes", &s.ethernet_lanes}}) {
        json m = json::object();
        for (const auto& [n, l] : *lanes) m[std::to_string(n)] = lane_to_json(l);
        j[key] = m;
    }
    return j;
}

void adapter_from_json(const json& j, unsigned index, unsigned& next_ifname, AdapterDesc& a) {
    a.name = text(j, "name", "adapter" + std::to_string(index));
    uint16_t type = static_cast<uint16_t>(number(j, "device_type", ZELT_DEVICE_TYPE_KESTRA));
    FamilyDefaults fam = family_defaults(type);
    a.device_id = static_cast<uint16_t>(number(j, "device_id", fam.device_id));
    int table_type = zeltnvm_table_device_type(a.device_id);
    if (table_type < 0 || zeltnvm_get_func_type(a.device_id) != ZELT_FUNCTION_PF)
        throw std::invalid_argument("device id " + hex16(a.device_id) + " is not a supported physical function");
    a.device_type = static_cast<uint16_t>(table_type);
    a.subsys_device_id = static_cast<uint16_t>(number(j, "subsys_device_id", fam.subsys_device_id));
    a.revision = static_cast<uint8_t>(number(j, "revision", 1));
    a.dsn = number(j, "dsn", 0x5a0b00c0de000000ull + ((index + 1ull) << 8));
    char serial[32];
    std::snprintf(serial, sizeof serial, "HX%02u%08u", index + 1, 4100 + index * 17);
    a.vpd_serial = text(j, "serial", serial);
    const char* pn = zeltnvm_table_part_number(a.device_id, a.subsys_device_id);
    a.part_number = text(j, "part_number", pn && *pn ? pn : "OA-SIM");
    a.product_name = text(j, "product_name", "Orvanta " + a.part_number + " Ethernet Adapter");
    a.fw_version = text(j, "fw_version", fam.fw_version);
    a.pkg_version = text(j, "pkg_version", a.fw_version);
    a.nvm_size = static_cast<uint32_t>(number(j, "nvm_size", fam.nvm_size));
    if (a.nvm_size < (256u << 10) || a.nvm_size > (64u << 20) || a.nvm_size % 4096 != 0)
        throw std::invalid_argument("nvm_size must be a multiple of 4096 between 256 KiB and 64 MiB");
    a.ports = static_cast<unsigned>(number(j, "ports", 2));
    a.multi_host = flag(j, "multi_host", false);
    a.indirect_mailbox = flag(j, "indirect_mailbox", false);
    a.secure_boot = flag(j, "secure_boot", true);
    a.ntuple = flag(j, "ntuple", type > 7);
    a.trusted_vf = flag(j, "trusted_vf", true);
    a.loopback = flag(j, "loopback", true);
    a.ptp = flag(j, "ptp", type > 7);
    a.synce = flag(j, "synce", type > 7);
    a.self_reset_status = status_byte(j, "self_reset_status");
    a.boot_status = status_byte(j, "boot_status");
    a.pcie_version = text(j, "pcie_version", "");
    if (!a.pcie_version.empty()) {
        unsigned v[4];
        char end;
        if (std::sscanf(a.pcie_version.c_str(), "%u.%u.%u.%u%c", &v[0], &v[1], &v[2], &v[3], &end) != 4 ||
            v[0] > 0xFFFF || v[1] > 0xFFFF || v[2] > 0xFFFF || v[3] > 0xFFFF)
            throw std::invalid_argument("pcie_version must be four numbers a.b.c.d of at most 65535");
    }
    if (j.contains("module")) {
        const json& m = j.at("module");
        a.module_sfp = text(m, "type", "qsfp") == "sfp";
        a.module_vendor = text(m, "vendor", a.module_vendor);
        a.cable_length = static_cast<uint8_t>(number(m, "cable_length", a.cable_length));
        a.cable_awg = static_cast<uint8_t>(number(m, "awg", a.cable_awg));
        a.insertion_loss = static_cast<uint8_t>(number(m, "insertion_loss", a.insertion_loss));
    }
    if (j.contains("missing_options"))
        for (const auto& n : j.at("missing_options")) a.missing_options.push_back(n.get<uint16_t>());
    if (j.contains("serdes")) serdes_from_json(j.at("serdes"), a.serdes);
    a.dir_entry_length = static_cast<uint32_t>(number(j, "dir_entry_length", 0));
    if (a.dir_entry_length > kMaxDirEntryLength)
        throw std::invalid_argument("dir_entry_length must be at most " + std::to_string(kMaxDirEntryLength));

    FunctionDesc base;
    base.domain = static_cast<uint16_t>(number(j, "domain", 0));
    base.bus = static_cast<uint8_t>(number(j, "bus", 0x3 + index * 0x10));
    base.device_id = a.device_id;
    base.driver = flag(j, "driver_loaded", true) ? kEthernetDriver : "";
    base.link_speed = static_cast<uint16_t>(number(j, "link_speed", fam.link_speed));
    MacAddress base_mac{0x02, 0x5a, 0x0b, 0x00, static_cast<uint8_t>(index + 1), 0x00};
    if (j.contains("base_mac") && !parse_mac(j.at("base_mac").get<std::string>(), base_mac))
        throw std::invalid_argument("bad base_mac");

    if (j.contains("functions")) {
        for (const auto& fj : j.at("functions")) {
            FunctionDesc f;
            function_from_json(fj, base, f);
            a.functions.push_back(f);
        }
        return;
    }
    unsigned pfs_per_port = static_cast<unsigned>(number(j, "pfs_per_port", 1));
    unsigned total_vfs = static_cast<unsigned>(number(j, "total_vfs", 0));
    unsigned num_vfs = static_cast<unsigned>(number(j, "num_vfs", 0));
    if (num_vfs > total_vfs) throw std::invalid_argument("num_vfs above total_vfs");
    unsigned pfs = a.ports * pfs_per_port;
    if (a.ports == 0 || pfs > 8) throw std::invalid_argument("an adapter needs 1 to 8 physical functions");
    bool with_ifnames = base.driver == kEthernetDriver;
    for (unsigned p = 0; p < pfs; ++p) {
        FunctionDesc f = base;
        f.func = static_cast<uint8_t>(p);
        f.port = p % a.ports;
        f.pf_index = p;
        f.mac = base_mac;
        f.mac[5] = static_cast<uint8_t>(base_mac[5] + p);
        if (with_ifnames) f.ifname = "zen" + std::to_string(next_ifname++);
        f.total_vfs = total_vfs;
        f.num_vfs = num_vfs;
        a.functions.push_back(f);
    }
    for (unsigned p = 0; p < pfs; ++p)
        if (!set_active_vfs(a, p, num_vfs)) throw std::invalid_argument("cannot create the VFs asked for");
}

FaultDesc fault_from_json(const json& j) {
    FaultDesc f;
    f.kind = j.at("kind").get<std::string>();
    f.adapter = text(j, "adapter", "");
    f.function = text(j, "function", "");
    f.req_type = j.contains("req_type") ? static_cast<int>(number(j, "req_type", 0) & 0xFFFF) : -1;
    f.ethtool_cmd = j.contains("ethtool_cmd") ? static_cast<int>(number(j, "ethtool_cmd", 0)) : -1;
    f.error_code = static_cast<uint16_t>(number(j, "error_code", 0));
    f.cmd_err = static_cast<uint8_t>(number(j, "cmd_err", 0));
    f.err_no = static_cast<int>(number(j, "errno", 0));
    f.nth = static_cast<unsigned>(number(j, "nth", 0));
    f.value = static_cast<unsigned>(number(j, "value", 0));
    f.signal = static_cast<int>(number(j, "signal", 0));
    f.dir_type = j.contains("dir_type") ? static_cast<int>(number(j, "dir_type", 0) & 0xFFFF) : -1;
    return f;
}

}  // namespace

bool bind_ethernet_driver(HostDesc& host, const std::string& address, std::string& error) {
    FunctionRef ref = find_function(host, address);
    if (!ref) {
        error = "no function at " + address;
        return false;
    }
    if (!ref.function->driver.empty()) {
        error = address + " is bound to " + ref.function->driver;
        return false;
    }
    ref.function->driver = kEthernetDriver;
    return true;
}

bool set_active_vfs(AdapterDesc& a, unsigned pf_index, unsigned count) {
    FunctionDesc* pf = nullptr;
    for (auto& f : a.functions)
        if (!f.is_vf && f.pf_index == pf_index) pf = &f;
    if (!pf || count > pf->total_vfs) return false;
    uint16_t vf_id = zeltnvm_vf_device_id(a.device_id);
    if (count && !vf_id) return false;
    FunctionDesc base = *pf;
    std::erase_if(a.functions, [&](const FunctionDesc& f) { return f.is_vf && f.pf_index == pf_index; });
    for (unsigned v = 0; v < count; ++v) {
        unsigned rid = 8 + pf_index * base.total_vfs + v;  // routing ids after the PFs' slot
        if (rid > 0xFF) return false;
        FunctionDesc f = base;
        f.device_id = vf_id;
        f.is_vf = true;
        f.dev = static_cast<uint8_t>(rid >> 3);
        f.func = static_cast<uint8_t>(rid & 7);
        f.ifname.clear();
        f.total_vfs = f.num_vfs = 0;
        f.mac[3] = static_cast<uint8_t>(0x10 + pf_index);
        f.mac[5] = static_cast<uint8_t>(v);
        a.functions.push_back(f);
    }
    for (auto& f : a.functions)
        if (!f.is_vf && f.pf_index == pf_index) f.num_vfs = count;
    std::stable_sort(a.functions.begin(), a.functions.end(), [](const FunctionDesc& x, const FunctionDesc& y) {
        if (x.is_vf != y.is_vf) return !x.is_vf;
        return x.is_vf && (x.dev * 8 + x.func < y.dev * 8 + y.func);
    });
    return true;
}

const SerdesLaneDesc& SerdesDesc::pcie(unsigned lane_no) const {
    auto it = pcie_lanes.find(lane_no);
    return it == pcie_lanes.end() ? lane : it->second;
}

const SerdesLaneDesc& SerdesDesc::ethernet(unsigned lane_no) const {
    auto it = ethernet_lanes.find(lane_no);
    return it == ethernet_lanes.end() ? lane : it->second;
}

json fault_to_json(const FaultDesc& f) {
    json j{{"kind", f.kind}};
    if (!f.adapter.empty()) j["adapter"] = f.adapter;
    if (!f.function.empty()) j["function"] = f.function;
    if (f.req_type >= 0) j["req_type"] = hex16(static_cast<uint64_t>(f.req_type));
    if (f.ethtool_cmd >= 0) j["ethtool_cmd"] = hex16(static_cast<uint64_t>(f.ethtool_cmd));
    if (f.error_code) j["error_code"] = f.error_code;
    if (f.cmd_err) j["cmd_err"] = f.cmd_err;
    if (f.err_no) j["errno"] = f.err_no;
    if (f.nth) j["nth"] = f.nth;
    if (f.value) j["value"] = f.value;
    if (f.signal) j["signal"] = f.signal;
    if (f.dir_type >= 0) j["dir_type"] = f.dir_type;
    return j;
}

bool fault_from_json(const json& j, FaultDesc& fault, std::string& error) {
    try {
        fault = fault_from_json(j);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

json to_json(const HostDesc& host) {
    json j{{"hostname", host.hostname},         {"kernel_release", host.kernel_release},
           {"machine", host.machine},           {"lfc_device", host.lfc_device},
           {"root", host.root_user}};
    json adapters = json::array();
    for (const auto& a : host.adapters) {
        json fns = json::array();
        for (const auto& f : a.functions) fns.push_back(function_to_json(f));
        char dsn[24];
        std::snprintf(dsn, sizeof dsn, "0x%016llx", static_cast<unsigned long long>(a.dsn));
        adapters.push_back(json{{"name", a.name},
                                {"device_id", hex16(a.device_id)},
                                {"subsys_device_id", hex16(a.subsys_device_id)},
                                {"device_type", a.device_type},
                                {"revision", a.revision},
                                {"dsn", dsn},
                                {"serial", a.vpd_serial},
                                {"part_number", a.part_number},
                                {"product_name", a.product_name},
                                {"fw_version", a.fw_version},
                                {"pkg_version", a.pkg_version},
                                {"nvm_size", a.nvm_size},
                                {"ports", a.ports},
                                {"multi_host", a.multi_host},
                                {"secure_boot", a.secure_boot},
                                {"ntuple", a.ntuple},
                                {"trusted_vf", a.trusted_vf},
                                {"loopback", a.loopback},
                                {"ptp", a.ptp},
                                {"synce", a.synce},
                                {"missing_options", a.missing_options},
                                {"module", json{{"type", a.module_sfp ? "sfp" : "qsfp"},
                                                {"vendor", a.module_vendor},
                                                {"cable_length", a.cable_length},
                                                {"awg", a.cable_awg},
                                                {"insertion_loss", a.insertion_loss}}},
                                {"functions", fns}});
        // Written only when set, so descriptions of hosts that never set them stay as they were.
        if (a.self_reset_status != 0) adapters.back()["self_reset_status"] = a.self_reset_status;
        if (a.boot_status != 0) adapters.back()["boot_status"] = a.boot_status;
        if (!a.pcie_version.empty()) adapters.back()["pcie_version"] = a.pcie_version;
        if (a.indirect_mailbox) adapters.back()["indirect_mailbox"] = true;
        if (a.dir_entry_length != 0) adapters.back()["dir_entry_length"] = a.dir_entry_length;
        if (!(a.serdes == SerdesDesc{})) adapters.back()["serdes"] = serdes_to_json(a.serdes);
    }
    j["adapters"] = adapters;
    json faults = json::array();
    for (const auto& f : host.faults) faults.push_back(fault_to_json(f));
    j["faults"] = faults;
    return j;
}

bool host_from_json(const json& j, HostDesc& host, std::string& error) {
    try {
        if (!j.is_object()) throw std::invalid_argument("the description must be a JSON object");
        HostDesc h;
        h.hostname = text(j, "hostname", h.hostname);
        h.kernel_release = text(j, "kernel_release", h.kernel_release);
        h.machine = text(j, "machine", h.machine);
        h.lfc_device = flag(j, "lfc_device", h.lfc_device);
        h.root_user = flag(j, "root", h.root_user);
        unsigned next_ifname = 0;
        if (j.contains("adapters")) {
            unsigned index = 0;
            for (const auto& aj : j.at("adapters")) {
                AdapterDesc a;
                adapter_from_json(aj, index++, next_ifname, a);
                if (h.find_adapter(a.name)) throw std::invalid_argument("two adapters named " + a.name);
                h.adapters.push_back(std::move(a));
            }
        }
        if (j.contains("faults"))
            for (const auto& fj : j.at("faults")) h.faults.push_back(fault_from_json(fj));
        host = std::move(h);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

HostDesc default_host() {
    json config = {{"adapters",
                    json::array({json{{"device_type", 8}, {"ports", 2}},
                                 json{{"device_type", 5}, {"ports", 2}, {"total_vfs", 8}}})}};
    HostDesc host;
    std::string error;
    host_from_json(config, host, error);
    return host;
}

}  // namespace zelt::sim
