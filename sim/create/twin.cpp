#include "sim/create/twin.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "common/directory_types.h"
#include "common/supported_devices.h"
#include "formats/image/item_version.h"
#include "formats/vpd/vpd.h"
#include "options/catalogue.h"
#include "options/option_parse.h"
#include "options/option_record.h"
#include "sim/firmware/staged_package.h"
#include "sim/flash/flash_model.h"
#include "sim/state/sim_store.h"

namespace zelt::sim {

namespace {

// Property ids of a backup besides those the firmware reads.
constexpr uint8_t kPropDeviceIds = 2;
constexpr uint8_t kPropSubsystemId = 11;
// The first bytes of a VPD item hold its image version; the VPD itself follows.
constexpr size_t kVpdImageHeader = 4;
constexpr uint32_t kInstallLogLength = 8192;
// The largest flash a simulated adapter has.
constexpr uint32_t kLargestFlash = 64u << 20;
constexpr const char* kTwinName = "adapter0";
constexpr const char* kSetoptionLine = "zeltnvm -dev=$INTERFACE setoption=";

uint16_t le16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

bool is_version_text(const std::string& text) {
    unsigned v[4];
    char end;
    return std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &v[0], &v[1], &v[2], &v[3], &end) == 4;
}

// The VPD's identifier string and read-only fields the description keeps.
void read_identity(std::span<const uint8_t> vpd_item, nlohmann::json& adapter) {
    if (vpd_item.size() <= kVpdImageHeader) return;
    const uint8_t* vpd = vpd_item.data() + kVpdImageHeader;
    const size_t len = vpd_item.size() - kVpdImageHeader;
    const uint8_t* data = nullptr;
    const int32_t name_len = vpd_get_resource(vpd, len, VPD_TAG_IDENTIFIER_STRING, &data);
    if (name_len > 0) adapter["product_name"] = std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(name_len));
    const int32_t ro_len = vpd_get_resource(vpd, len, VPD_TAG_READ_ONLY, &data);
    if (ro_len <= 0) return;
    for (const auto& [keyword, key] : {std::pair{"PN", "part_number"}, std::pair{"SN", "serial"}}) {
        vpd_field field{};
        if (vpd_get_field(data, static_cast<size_t>(ro_len), keyword, &field) == 0)
            adapter[key] = std::string(reinterpret_cast<const char*>(field.data), field.hdr.length);
    }
}

// Stores the setting of one saveoptions line in `state`, as the firmware keeps a value
// setoption wrote; a MAC address line also gives its PF that permanent address.
bool parse_request(const std::string& text, uint16_t command, zeltnvm_option& opt) {
    std::memset(&opt, 0, sizeof opt);
    opt.command = command;
    opt.max_instance = ZELTNVM_MAX_PHYS_INSTANCE;
    return zeltnvm_fill_option_Info(&opt, text.c_str()) == 0 && zeltnvm_verify_option_Info(&opt) == 0;
}

// A value the script holds as "0x" and hexadecimal digits, most significant first, as
// the option's bytes (little-endian). False when it is not that or does not fit.
bool hex_value(const std::string& text, zeltnvm_option& opt) {
    if (text.size() < 3 || text.compare(0, 2, "0x") != 0) return false;
    const std::string digits = text.substr(2);
    if (digits.size() > 2u * opt.num_bytes || digits.size() > 2 * sizeof opt.value) return false;
    std::memset(opt.value, 0, sizeof opt.value);
    for (size_t i = 0; i < digits.size(); ++i) {
        const char c = digits[digits.size() - 1 - i];
        int nibble;
        if (c >= '0' && c <= '9') nibble = c - '0';
        else if (c >= 'a' && c <= 'f') nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') nibble = c - 'A' + 10;
        else return false;
        opt.value[i / 2] = static_cast<uint8_t>(opt.value[i / 2] | nibble << (4 * (i % 2)));
    }
    return true;
}

bool apply_setting(const std::string& request, int device_type, AdapterState& state, AdapterDesc& adapter) {
    zeltnvm_option opt;
    if (!parse_request(request, ZELTNVM_OPTION_SET, opt)) {
        // The script holds what the adapter had, which setoption's value rules need not
        // accept (a speed mask of 0): take such a value as the bytes written.
        const size_t hash = request.find('#');
        if (hash == std::string::npos || !parse_request(request.substr(0, hash), ZELTNVM_OPTION_GET, opt) ||
            !hex_value(request.substr(hash + 1), opt))
            return false;
    }
    if (uint16_t family = 0; zeltnvm_family_index(opt.option, device_type, &family)) {
        opt.dimensions = static_cast<uint16_t>(opt.dimensions + 1);
        opt.index_1 = family;
    }
    OptionVar& var = state.options[opt.option];
    var.bits = opt.length;
    if (zeltnvm_is_four_element_option(opt.option) || zeltnvm_is_two_element_option(opt.option)) {
        // One value per element, the first typed at the highest index.
        uint32_t elements[4] = {};
        const int count = zeltnvm_option_elements(&opt, elements);
        if (count < 0) return false;
        for (int i = 0; i < count; ++i) {
            OptionIndex index;
            index.i[0] = static_cast<uint16_t>(count - 1 - i);
            std::vector<uint8_t> bytes(opt.num_bytes, 0);
            for (size_t b = 0; b < bytes.size() && b < 4; ++b) bytes[b] = static_cast<uint8_t>(elements[i] >> (8 * b));
            var.values[index] = bytes;
        }
        return true;
    }
    OptionIndex index;
    if (opt.dimensions > 0) index.i[0] = opt.index_0, index.i[1] = opt.index_1, index.i[2] = opt.index_2,
                            index.i[3] = opt.index_3;
    var.values[index] = std::vector<uint8_t>(opt.value, opt.value + std::min<size_t>(opt.num_bytes, sizeof opt.value));
    if (opt.option == ZELTNVM_OPT_MAC_ADDRESS) {
        // Held as two little-endian words: m1 m0, then m5 m4 m3 m2.
        const uint8_t* v = opt.value;
        const MacAddress mac{v[1], v[0], v[7], v[6], v[5], v[4]};
        for (FunctionDesc& f : adapter.functions)
            if (!f.is_vf && f.pf_index == opt.index_0) f.mac = mac;
    }
    return true;
}

bool apply_script(const std::string& script, int device_type, AdapterState& state, AdapterDesc& adapter,
                  std::string& error) {
    std::istringstream in(script);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(kSetoptionLine, 0) != 0) continue;  // the script's head and blank lines
        const std::string request = line.substr(std::strlen(kSetoptionLine));
        if (!apply_setting(request, device_type, state, adapter)) {
            error = "options script line " + std::to_string(number) + ": '" + request +
                    "' is not a valid option setting";
            return false;
        }
    }
    return true;
}

std::string install_log_entry(const StagedPackage& pkg, const std::string& version, size_t items) {
    std::string created = pkg.property_text(kPropCreatedOn);
    if (!created.empty() && created.back() == 'Z') created.pop_back();
    std::string description = pkg.property_text(kPropDescription);
    for (char& c : description)
        if (c == '\t' || c == '\n') c = ' ';
    const std::string when = created.empty() ? "N/A" : created;
    return when + "\tRehearsal twin of " + (description.empty() ? "a backup" : description) + "\t" +
           (version.empty() ? "N/A" : version) + "\t" + when + "\tSuccess\tN/A\t" + std::to_string(items) +
           "\t0x1fff\t0\ttwin\t0\n";
}

// A backup damaged on its way shows in its checksums (the package's, each item's data
// checksum, the CRCs inside the images) and its layout. The signatures are not judged
// here: the twin's firmware judges them itself when it installs or boots an image, as
// the adapter's would.
bool check_backup(std::span<const uint8_t> backup, StagedPackage& pkg, std::string& error) {
    int bad_record = -1;
    if (check_staged_package(backup, pkg, bad_record, ItemChecks::without_signatures)) return true;
    error = bad_record >= 0 ? "the backup is damaged: item record " + std::to_string(bad_record + 1) +
                                  " or its data does not check out"
                            : "the backup is damaged: its layout or its checksum does not check out";
    return false;
}

// The adapter the backup's properties name: its description fields and device type.
bool backup_adapter(const StagedPackage& pkg, nlohmann::json& adapter, int& device_type, std::string& error) {
    const auto ids = pkg.property(kPropDeviceIds);
    if (!ids || ids->size() < 2) {
        error = "the backup names no device id: it was not written by backup";
        return false;
    }
    const uint16_t device_id = le16(*ids, 0);
    device_type = zeltnvm_table_device_type(device_id);
    if (device_type < 0 || zeltnvm_get_func_type(device_id) != ZELT_FUNCTION_PF) {
        char text[64];
        std::snprintf(text, sizeof text, "device id %04x is not an adapter the simulator knows", device_id);
        error = text;
        return false;
    }
    adapter = nlohmann::json{{"name", kTwinName}, {"device_type", device_type}, {"device_id", device_id}};
    if (const auto sub = pkg.property(kPropSubsystemId); sub && sub->size() == 2) adapter["subsys_device_id"] = le16(*sub, 0);
    return true;
}

// The setup of the twin of a backup that checked out (`pkg` reads the backup's bytes).
bool setup_from_backup(const StagedPackage& pkg, const std::string& options_script, HostSetup& setup,
                       std::string& error) {
    nlohmann::json adapter;
    int device_type = -1;
    if (!backup_adapter(pkg, adapter, device_type, error)) return false;
    const std::string version = pkg.property_text(kPropVersion);

    std::vector<NvmItem> items;
    std::set<uint16_t> ports;
    for (const StagedRecord& r : pkg.records) {
        const zelnvm_directory_entry_t& e = r.entry;
        if (e.type == 0 || r.directive == kDirectiveRemoveIfPresent) continue;
        const std::span<const uint8_t> data = pkg.data(r);
        items.push_back({e.type, e.ordinal, e.ext, e.attr, e.item_length, data, {}, r.data_crc});
        if (e.type == ZEL_DIR_TYPE_PORT_CFG) ports.insert(uint16_t{e.ordinal});  // a copy: the packed field may be misaligned
        if (e.type == ZEL_DIR_TYPE_VPD) read_identity(data, adapter);
        if (e.type == ZEL_DIR_TYPE_BOOTCODE) {
            char text[64] = {};
            if (zeltnvmGetItemBufVersionString(e.type, data.data(), data.size(), 0, text, sizeof text, e.attr) == 0 &&
                is_version_text(text))
                adapter["fw_version"] = text;
        }
    }
    if (items.empty()) {
        error = "the backup holds no NVM item";
        return false;
    }
    adapter["ports"] = std::clamp<size_t>(ports.size(), 1, 8);
    if (!version.empty()) {
        adapter["pkg_version"] = version;
        if (!adapter.contains("fw_version") && is_version_text(version)) adapter["fw_version"] = version;
    }

    HostSetup s;
    if (!setup_from_json(nlohmann::json{{"adapters", nlohmann::json::array({adapter})}}, s, error)) {
        error = "the backup describes an adapter the simulator cannot make: " + error;
        return false;
    }
    // The install log is not part of a backup: the twin starts one that names it, placed
    // before the staging item as on a new adapter.
    const auto log = std::make_shared<const std::string>(install_log_entry(pkg, version, items.size()));
    const auto staging =
        std::find_if(items.begin(), items.end(), [](const NvmItem& i) { return i.type == ZEL_DIR_TYPE_UPDATE; });
    items.insert(staging, NvmItem{ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0, kInstallLogLength,
                                  {reinterpret_cast<const uint8_t*>(log->data()), log->size()}, log, {}});
    // The flash has the family's size, or as many times twice that as the items need: a
    // backup of an adapter with a larger flash keeps its staging item's full length.
    uint64_t needed = FlashModel::kDirectoryBytes;
    for (const NvmItem& item : items) {
        const uint64_t length = std::max<uint64_t>(item.item_length, item.data.size());
        needed += (length + FlashModel::kBlock - 1) / FlashModel::kBlock * FlashModel::kBlock;
    }
    uint32_t& nvm_size = s.host.adapters[0].nvm_size;
    while (nvm_size < needed && nvm_size <= kLargestFlash / 2) nvm_size *= 2;
    if (nvm_size < needed) {
        error = "the backup's items need more flash than the simulator offers";
        return false;
    }
    s.nvm_items[kTwinName] = std::move(items);
    if (!options_script.empty() &&
        !apply_script(options_script, device_type, s.initial[kTwinName], s.host.adapters[0], error))
        return false;
    setup = std::move(s);
    return true;
}

}  // namespace

TwinResult create_twin(const std::string& root, std::span<const uint8_t> backup, const std::string& options_script,
                       std::string& error) {
    const SimPaths paths{root};
    std::error_code ec;
    if (std::filesystem::exists(paths.description(), ec)) {
        error = root + " already holds a simulated host";
        return TwinResult::failed;
    }
    NewHostDir made(root);
    // The backup is checked on a second thread while this one writes erased flash: at
    // least the size of the family the backup's device id names (read before the check;
    // a damaged backup removes the file again), and more while the check goes on, as
    // the items may need a larger flash (what they do not need is cut off).
    StagedPackage pkg;
    std::string check_error;
    bool sound = false;
    std::atomic<bool> checked = false;
    std::jthread checker([&] {
        try {
            sound = check_backup(backup, pkg, check_error);
        } catch (const std::exception& e) {
            check_error = std::string("the backup cannot be checked: ") + e.what();
        }
        checked = true;
    });
    uint64_t erased = 0;
    {
        StagedPackage unchecked;
        unchecked.bytes = backup;
        nlohmann::json adapter;
        int device_type = -1;
        HostSetup family;
        std::string ignored;
        if (backup_adapter(unchecked, adapter, device_type, ignored) &&
            setup_from_json(nlohmann::json{{"adapters", nlohmann::json::array({adapter})}}, family, ignored) &&
            (std::filesystem::create_directories(paths.dir(), ec), !ec))
            erased = write_erased_file(paths.flash(kTwinName), family.host.adapters[0].nvm_size, kLargestFlash,
                                       [&] { return !checked; }, ignored);
    }
    checker.join();
    if (!sound) {
        error = check_error;
        return TwinResult::bad_backup;
    }
    HostSetup setup;
    if (!setup_from_backup(pkg, options_script, setup, error)) return TwinResult::bad_backup;
    if (erased > 0) setup.erased_flash[kTwinName] = erased;
    if (!create_host(root, std::move(setup), error)) return TwinResult::failed;
    made.keep();
    return TwinResult::ok;
}

}  // namespace zelt::sim
