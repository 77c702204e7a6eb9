#include "cli/device_commands/device_status_commands.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>

#include "cli/command_table.h"
#include "cli/device_commands/feature_report.h"
#include "common/hvxretval.h"
#include "transport/ethtool_channel.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

using report::Json;
using report::Report;

// Temperature answer flags: a value the firmware could not read, and the wider
// encoding (value + 64) of the second set of fields.
constexpr uint8_t kTempAbsent = 0x01;
constexpr uint8_t kPhyTempAbsent = 0x02;
constexpr uint8_t kOmTempAbsent = 0x04 | 0x08;
constexpr uint8_t kTempOffsetEncoding = 0x10;
constexpr int kTempOffset = 64;

void temperature_line(Report& r, const char* key, const char* label, bool absent, int celsius) {
    if (absent) {
        r.data()["temperatures"][key] = nullptr;
        r.text(ZELT_LOC_BOTH, "%-26s : N/A\n", label);
    } else {
        r.data()["temperatures"][key] = celsius;
        r.text(ZELT_LOC_BOTH, "%-26s : %d Celsius\n", label, celsius);
    }
}

// The counters in the order the firmware lays them out.
constexpr const char* kPcieCounterNames[transport::ZELT_PCIE_COUNTER_COUNT] = {
    "Physical Layer Receiver Errors",
    "DLLP CRC Errors",
    "TLP LCRC Sequence Number Errors",
    "No of times LTSSM Entered Recovery State",
    "No of TLP Bytes Transmitted",
    "No of TLP Bytes Received",
    "No of DLLP Bytes Transmitted",
    "No of DLLP Bytes Received",
    "Equalization Time",
    "LTSSM Histogram (Low 64 Bytes)",
    "LTSSM Histogram (High 64 Bytes)",
    "Recovery Histogram",
};

// A module value the EEPROM leaves unset (255, or a gauge of 0) is shown as N/A.
void module_line(Report& r, const char* key, const char* label, const char* unit, int value, bool absent) {
    if (absent) {
        r.data()["module"][key] = nullptr;
        r.text(ZELT_LOC_BOTH, "%-28s : N/A\n", label);
    } else {
        r.data()["module"][key] = value;
        r.text(ZELT_LOC_BOTH, "%-28s : %d %s\n", label, value, unit);
    }
}

}  // namespace

Report device_temperature_command(ParsedCommand& parsed) {
    Report r = report::open_report(parsed);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    hwrm_temp_monitor_query_output t{};
    const Result rc = transport::zeltnvmDeviceTemperature(dev->function, &t);
    if (!rc.ok()) return feature::failed(r, CMD_DEVICETEMP, rc);
    const bool offset = (t.flags & kTempOffsetEncoding) != 0;
    const auto value = [&](uint8_t plain, uint8_t wide) { return offset ? int{wide} - kTempOffset : int{plain}; };
    r.data()["temperatures"] = Json::object();
    temperature_line(r, "device", "Device Temperature", t.flags & kTempAbsent, value(t.temp, t.temp2));
    temperature_line(r, "phy", "PHY Temperature", t.flags & kPhyTempAbsent, value(t.phy_temp, t.phy_temp2));
    temperature_line(r, "optical_module", "Optical Module Temperature", t.flags & kOmTempAbsent,
                     value(t.om_temp, t.om_temp2));
    return r.ends(0);
}

Report pcie_counters_command(ParsedCommand& parsed) {
    Report r = report::open_report(parsed);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    uint32_t words = 0;
    uint64_t counters[transport::ZELT_PCIE_COUNTER_COUNT] = {};
    const Result rc = transport::zeltnvm_pcie_counters(dev->function, &words, counters, 1);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: Failed to query pcie counters\n");
        return r.ends(rc);
    }
    // The answer counts 32-bit words; each counter takes two. Only the counters the
    // firmware filled are shown, never more than the buffer holds.
    const uint32_t shown = std::min<uint32_t>(words / 2, transport::ZELT_PCIE_COUNTER_COUNT);
    Json& table = r.data()["counters"] = Json::array();
    r.text(ZELT_LOC_BOTH, "PCIe Counters:\n");
    for (uint32_t i = 0; i < shown; ++i) {
        table.push_back({{"name", kPcieCounterNames[i]}, {"value", counters[i]}});
        r.text(ZELT_LOC_BOTH, "%-40s : %" PRIu64 "\n", kPcieCounterNames[i], counters[i]);
    }
    return r.ends(0);
}

Report moduleinfo_command(ParsedCommand& parsed) {
    Report r = report::open_report(parsed);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    if (dev->facts.link_info.link_status == 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Interface link is down.\n");
        return r.ends(HVXRETVAL_INTERFACE_LINK_DOWN);
    }
    const ResultOr<transport::ModuleInfo> info = transport::zeltnvmGetModuleInfo(dev->function);
    if (!info.ok()) return feature::failed(r, CMD_MODULEINFO, info.result());
    constexpr int kUnset = 255;
    r.data()["module"] = Json::object();
    module_line(r, "cable_length", "DAC Cable Length", "meter", info->cable_length, info->cable_length == kUnset);
    module_line(r, "awg", "DAC Cable AWG Information", "decimal", info->awg, info->awg == kUnset || info->awg == 0);
    module_line(r, "insertion_loss", "Cable insertion loss", "dB", info->insertion_loss,
                info->insertion_loss == kUnset);
    return r.ends(0);
}

}  // namespace zelt::cli
