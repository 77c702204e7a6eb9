#include "sim/state/runtime_state.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace zelt::sim {

using nlohmann::json;

std::string OptionIndex::key() const {
    if (i[1] == 0 && i[2] == 0 && i[3] == 0) return std::to_string(i[0]);
    return std::to_string(i[0]) + "." + std::to_string(i[1]) + "." + std::to_string(i[2]) + "." + std::to_string(i[3]);
}

bool OptionIndex::parse(const std::string& key, OptionIndex& out) {
    unsigned v[4] = {0, 0, 0, 0};
    char tail;
    int n = std::sscanf(key.c_str(), "%u.%u.%u.%u%c", &v[0], &v[1], &v[2], &v[3], &tail);
    if (n != 1 && n != 4) return false;
    for (int k = 0; k < 4; ++k) {
        if (v[k] > 0xFFFF) return false;
        out.i[k] = static_cast<uint16_t>(v[k]);
    }
    return true;
}

namespace {

std::string to_hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

std::vector<uint8_t> from_hex(const std::string& s) {
    if (s.size() % 2) throw std::invalid_argument("odd hex text");
    std::vector<uint8_t> out;
    for (size_t k = 0; k < s.size(); k += 2) out.push_back(static_cast<uint8_t>(std::stoul(s.substr(k, 2), nullptr, 16)));
    return out;
}

json chip_to_json(const RecoveryChipState& c) {
    json regs = json::object();
    for (const auto& [addr, value] : c.registers) regs[std::to_string(addr)] = value;
    json memory = json::object();
    for (const auto& [addr, page] : c.memory) memory[std::to_string(addr)] = to_hex(page);
    json downloads = json::array();
    for (const auto& [start, end] : c.downloads) downloads.push_back({start, end});
    return json{{"boot", static_cast<unsigned>(c.boot)},
                {"locked_at_boot", c.locked_at_boot},
                {"protection_gated", c.protection_gated},
                {"health", c.health},
                {"reset_reads", c.reset_reads},
                {"recovery_version", c.recovery_version},
                {"registers", regs},
                {"memory", memory},
                {"downloads", downloads}};
}

void chip_from_json(const json& j, RecoveryChipState& c) {
    const unsigned boot = j.value("boot", 0u);
    if (boot > static_cast<unsigned>(FirmwareBoot::recovery)) throw std::invalid_argument("bad boot state");
    c.boot = static_cast<FirmwareBoot>(boot);
    c.locked_at_boot = j.value("locked_at_boot", true);
    c.protection_gated = j.value("protection_gated", false);
    c.health = j.value("health", 0u);
    c.reset_reads = j.value("reset_reads", 0u);
    c.recovery_version = j.value("recovery_version", "");
    if (j.contains("registers"))
        for (const auto& [addr, value] : j.at("registers").items())
            c.registers[static_cast<uint32_t>(std::stoul(addr))] = value.get<uint32_t>();
    if (j.contains("memory"))
        for (const auto& [addr, hex] : j.at("memory").items())
            c.memory[static_cast<uint32_t>(std::stoul(addr))] = from_hex(hex.get<std::string>());
    if (j.contains("downloads"))
        for (const auto& d : j.at("downloads")) c.downloads.emplace_back(d.at(0).get<uint32_t>(), d.at(1).get<uint32_t>());
}

json options_to_json(const std::map<uint32_t, OptionVar>& options) {
    json out = json::object();
    for (const auto& [num, var] : options) {
        json values = json::object();
        for (const auto& [idx, bytes] : var.values) values[idx.key()] = to_hex(bytes);
        out[std::to_string(num)] = json{{"bits", var.bits}, {"values", values}};
    }
    return out;
}

void options_from_json(const json& j, std::map<uint32_t, OptionVar>& options) {
    for (const auto& [num, oj] : j.items()) {
        OptionVar var;
        var.bits = oj.value("bits", uint16_t{8});
        if (oj.contains("values")) {
            for (const auto& [key, hex] : oj.at("values").items()) {
                OptionIndex idx;
                if (!OptionIndex::parse(key, idx)) throw std::invalid_argument("bad option index " + key);
                var.values[idx] = from_hex(hex.get<std::string>());
            }
        }
        options[static_cast<uint32_t>(std::stoul(num))] = std::move(var);
    }
}

json adapter_to_json(const AdapterState& a) {
    const json options = options_to_json(a.options);
    json regs = json::object();
    for (const auto& [addr, value] : a.registers) regs[std::to_string(addr)] = value;
    json vfs = json::object();
    for (const auto& [fid, vf] : a.vfs) vfs[std::to_string(fid)] = json{{"trusted", vf.trusted}, {"mac", to_hex(vf.mac)}};
    json loopback = json::object();
    for (const auto& [port, l] : a.loopback) loopback[std::to_string(port)] = json{{"mac", l.mac}, {"phy", l.phy}};
    const InstallResult& r = a.last_install;
    json install = json{{"valid", r.valid},
                        {"result", r.result},
                        {"problem_item", r.problem_item},
                        {"reset_required", r.reset_required},
                        {"installed_items", {r.installed_items[0], r.installed_items[1]}},
                        {"install_type", r.install_type},
                        {"when_us", r.when_us}};
    json out{{"running_fw_version", a.running_fw_version},
                {"running_pkg_version", a.running_pkg_version},
                {"pending_fw_version", a.pending_fw_version},
                {"pending_pkg_version", a.pending_pkg_version},
                {"running_cfg_version", a.running_cfg_version},
                {"reset_pending", a.reset_pending},
                {"option_action_status", a.option_action_status},
                {"fw_status", a.fw_status},
                {"dump_flag", a.dump_flag},
                {"crash_dump_length", a.crash_dump_length},
                {"crash_time", a.crash_time},
                {"live_dump_length", a.live_dump_length},
                {"reset_count", a.reset_count},
                {"down_until_us", a.down_until_us},
                {"error_recovery_count", a.error_recovery_count},
                {"fw_time_year", a.fw_time_year},
                {"fw_time_seconds", a.fw_time_seconds},
                {"sync_count", a.sync_count},
                {"flush_count", a.flush_count},
                {"temperature", a.temperature},
                {"temperature_flags", a.temperature_flags},
                {"options", options},
                {"unflushed_options", options_to_json(a.unflushed_options)},
                {"registers", regs},
                {"last_install", install},
                {"pcie_counters", a.pcie_counters},
                {"eye_scope", json{{"active", a.eye_scope.active},
                                   {"lane", a.eye_scope.lane},
                                   {"flags", a.eye_scope.flags},
                                   {"target", a.eye_scope.target},
                                   {"start_us", a.eye_scope.start_us},
                                   {"duration_us", a.eye_scope.duration_us}}},
                {"features", a.features},
                {"vfs", vfs},
                {"loopback", loopback}};
    // Written only once the chip left its healthy boot, so state files of adapters
    // that never went through a recovery stay as they were.
    if (a.chip != RecoveryChipState{}) out["chip"] = chip_to_json(a.chip);
    // Written only once the firmware verified a boot image, for the same reason.
    if (a.verified_boot.valid) {
        const VerifiedBootImage& v = a.verified_boot;
        out["verified_boot"] = json{{"location", v.location},       {"data_length", v.data_length},
                                    {"entry_checksum", v.entry_checksum}, {"attr", v.attr},
                                    {"head_crc", v.head_crc},       {"crc", v.crc}};
    }
    return out;
}

void adapter_from_json(const json& j, AdapterState& a) {
    a.running_fw_version = j.value("running_fw_version", "");
    a.running_pkg_version = j.value("running_pkg_version", "");
    a.pending_fw_version = j.value("pending_fw_version", "");
    a.pending_pkg_version = j.value("pending_pkg_version", "");
    a.running_cfg_version = j.value("running_cfg_version", "");
    a.reset_pending = j.value("reset_pending", false);
    a.option_action_status = j.value("option_action_status", uint8_t{0});
    a.temperature_flags = j.value("temperature_flags", uint8_t{0});
    a.fw_status = j.value("fw_status", 0u);
    a.dump_flag = j.value("dump_flag", 0u);
    a.crash_dump_length = j.value("crash_dump_length", 0u);
    a.crash_time = j.value("crash_time", 0u);
    a.live_dump_length = j.value("live_dump_length", 0u);
    a.reset_count = j.value("reset_count", 0u);
    a.down_until_us = j.value("down_until_us", uint64_t{0});
    a.error_recovery_count = j.value("error_recovery_count", 0u);
    a.fw_time_year = j.value("fw_time_year", 0);
    a.fw_time_seconds = j.value("fw_time_seconds", 0u);
    a.sync_count = j.value("sync_count", 0u);
    a.flush_count = j.value("flush_count", 0u);
    a.temperature = static_cast<int8_t>(j.value("temperature", 52));
    if (j.contains("options")) options_from_json(j.at("options"), a.options);
    if (j.contains("unflushed_options")) options_from_json(j.at("unflushed_options"), a.unflushed_options);
    if (j.contains("registers"))
        for (const auto& [addr, value] : j.at("registers").items())
            a.registers[static_cast<uint32_t>(std::stoul(addr))] = value.get<uint32_t>();
    if (j.contains("last_install")) {
        const json& r = j.at("last_install");
        a.last_install.valid = r.value("valid", false);
        a.last_install.result = r.value("result", uint8_t{0});
        a.last_install.problem_item = r.value("problem_item", uint8_t{0});
        a.last_install.reset_required = r.value("reset_required", uint8_t{0});
        if (r.contains("installed_items") && r.at("installed_items").size() == 2) {
            a.last_install.installed_items[0] = r.at("installed_items")[0].get<uint32_t>();
            a.last_install.installed_items[1] = r.at("installed_items")[1].get<uint32_t>();
        }
        a.last_install.install_type = r.value("install_type", 0u);
        a.last_install.when_us = r.value("when_us", uint64_t{0});
    }
    if (j.contains("pcie_counters")) a.pcie_counters = j.at("pcie_counters").get<std::vector<uint64_t>>();
    a.pcie_counters.resize(12, 0);
    if (j.contains("eye_scope")) {
        const json& e = j.at("eye_scope");
        a.eye_scope.active = e.value("active", false);
        a.eye_scope.lane = e.value("lane", 0u);
        a.eye_scope.flags = e.value("flags", uint8_t{0});
        a.eye_scope.target = e.value("target", uint8_t{0});
        a.eye_scope.start_us = e.value("start_us", uint64_t{0});
        a.eye_scope.duration_us = e.value("duration_us", uint64_t{0});
    }
    if (j.contains("features")) a.features = j.at("features").get<std::map<std::string, std::string>>();
    if (j.contains("vfs")) {
        for (const auto& [fid, vj] : j.at("vfs").items()) {
            VfSettings& vf = a.vfs[static_cast<uint16_t>(std::stoul(fid))];
            vf.trusted = vj.value("trusted", false);
            vf.mac = from_hex(vj.value("mac", ""));
        }
    }
    if (j.contains("loopback")) {
        for (const auto& [port, lj] : j.at("loopback").items()) {
            PortLoopback& l = a.loopback[static_cast<uint32_t>(std::stoul(port))];
            l.mac = lj.value("mac", uint8_t{0});
            l.phy = lj.value("phy", uint8_t{0});
        }
    }
    if (j.contains("chip")) chip_from_json(j.at("chip"), a.chip);
    if (j.contains("verified_boot")) {
        // Only ever a shortcut: a record that does not read whole is dropped, and the
        // next boot checks the image in full.
        try {
            const json& v = j.at("verified_boot");
            VerifiedBootImage b;
            b.location = v.at("location").get<uint32_t>();
            b.data_length = v.at("data_length").get<uint32_t>();
            b.entry_checksum = v.at("entry_checksum").get<uint32_t>();
            b.attr = v.at("attr").get<uint16_t>();
            b.head_crc = v.at("head_crc").get<uint32_t>();
            b.crc = v.at("crc").get<uint32_t>();
            b.valid = true;
            a.verified_boot = b;
        } catch (const json::exception&) {
            a.verified_boot = VerifiedBootImage{};
        }
    }
}

}  // namespace

json to_json(const RuntimeState& state) {
    json adapters = json::object();
    for (const auto& [name, a] : state.adapters) adapters[name] = adapter_to_json(a);
    json out{{"clock_offset_us", state.clock_offset_us}, {"fault_hits", state.fault_hits}, {"adapters", adapters}};
    // Written only once a window was mapped, so state files of hosts that never used
    // the register window stay as they were.
    if (!state.chips.empty()) {
        json chips = json::object();
        for (const auto& [address, c] : state.chips)
            chips[address] = json{{"window_base", c.window_base},
                                  {"host_ctrl", c.host_ctrl},
                                  {"open_windows", c.open_windows},
                                  {"windows_mapped", c.windows_mapped}};
        out["chips"] = chips;
    }
    return out;
}

bool state_from_json(const json& j, RuntimeState& state, std::string& error) {
    try {
        RuntimeState s;
        s.clock_offset_us = j.value("clock_offset_us", int64_t{0});
        if (j.contains("fault_hits")) s.fault_hits = j.at("fault_hits").get<std::vector<uint32_t>>();
        if (j.contains("adapters"))
            for (const auto& [name, aj] : j.at("adapters").items()) adapter_from_json(aj, s.adapters[name]);
        if (j.contains("chips")) {
            for (const auto& [address, cj] : j.at("chips").items()) {
                ChipState& c = s.chips[address];
                c.window_base = cj.value("window_base", 0u);
                c.host_ctrl = cj.value("host_ctrl", 0u);
                c.open_windows = cj.value("open_windows", 0u);
                c.windows_mapped = cj.value("windows_mapped", 0u);
            }
        }
        state = std::move(s);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

}  // namespace zelt::sim
