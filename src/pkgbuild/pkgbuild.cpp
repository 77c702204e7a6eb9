#include "pkgbuild/pkgbuild.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "formats/crypto/crc32.h"
#include "formats/fru/fru.h"
#include "formats/image/image_builder.h"
#include "formats/vpd/vpd.h"
#include "package/package_records.h"
#include "package/package_properties.h"
#include "package/package_writer.h"
#include "package/pldm_wrapper.h"

namespace zelt::pkgbuild {

namespace {

// Code type of the firmware header for a signed firmware directory type; 0 (no
// particular code) for the types that no code type names.
uint8_t code_type_for(uint16_t dir_type) {
    switch (dir_type) {
        case ZEL_DIR_TYPE_BOOTCODE:
        case ZEL_DIR_TYPE_BOOTCODE_2: return CODE_BOOT;
        case ZEL_DIR_TYPE_APE_FW: return CODE_MCTP_PASSTHRU;
        case ZEL_DIR_TYPE_APE_PATCH: return CODE_APE_PATCH;
        case ZEL_DIR_TYPE_KONG_FW: return CODE_KONG_FW;
        case ZEL_DIR_TYPE_KONG_PATCH: return CODE_KONG_PATCH;
        case ZEL_DIR_TYPE_BONO_FW: return CODE_BONO_FW;
        case ZEL_DIR_TYPE_BONO_PATCH: return CODE_BONO_PATCH;
        case ZEL_DIR_TYPE_CHIMP_PATCH: return CODE_CHIMP_PATCH;
        case ZEL_DIR_TYPE_CRASH_DUMP_FW: return CODE_CRASH_DUMP_FW;
        default: return 0;
    }
}

uint16_t version_part(const std::vector<uint16_t>& v, size_t i) { return i < v.size() ? v[i] : 0; }

}  // namespace

Bytes filler(uint16_t seed, uint32_t size) {
    Bytes b(size);
    uint32_t x = 0x9E3779B9u ^ (uint32_t{seed} * 0x85EBCA6Bu);
    for (uint32_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = static_cast<uint8_t>(x);
    }
    return b;
}

int firmware_image(uint16_t dir_type, const std::vector<uint16_t>& version, const std::string& text,
                   uint32_t body_size, std::span<const uint8_t> key, Bytes* image) {
    zelt::image::FirmwareImageSpec plan;
    plan.code_type = code_type_for(dir_type);
    plan.major = static_cast<uint8_t>(version_part(version, 0));
    plan.minor = static_cast<uint8_t>(version_part(version, 1));
    plan.revision = static_cast<uint8_t>(version_part(version, 2));
    plan.build = static_cast<uint8_t>(version_part(version, 3));
    plan.version_text = text.substr(0, 16);
    plan.body = filler(dir_type, body_size);
    return zelt::image::build_firmware_image(plan, key, image);
}

int trailer_image(uint16_t dir_type, const std::vector<uint16_t>& version, uint32_t body_size,
                  std::span<const uint8_t> key, Bytes* image) {
    *image = filler(static_cast<uint16_t>(dir_type + 0x100), body_size);
    zelt::image::TrailerSpec plan;
    plan.dir_type = dir_type;
    plan.version_format = ZEL_VERSION_FMT_DEC;
    plan.version = zelt::image::dec_version({version_part(version, 0), version_part(version, 1),
                                             version_part(version, 2), version_part(version, 3)});
    return zelt::image::append_component_trailer(image, plan, key);
}

int vpd_image(const std::string& product, const std::map<std::string, std::string>& fields, Bytes* image) {
    Bytes item(1024, 0);
    const uint32_t revision = 1;
    std::memcpy(item.data(), &revision, sizeof(revision));
    uint8_t* list = item.data() + VPD_IMAGE_HEADER_SIZE;
    const size_t len = item.size() - VPD_IMAGE_HEADER_SIZE;
    list[0] = VPD_TAG_END;
    const std::string name = product.substr(0, 80);
    int32_t rc = vpd_put_resource(list, len, VPD_RESOURCE_TAG_IDENTIFER_STRING, true, nullptr,
                                  reinterpret_cast<const uint8_t*>(name.data()), name.size());
    for (auto it = fields.begin(); rc >= 0 && it != fields.end(); ++it) {
        if (it->first.size() != 2) return HVXRETVAL_INVALID_PARAMETER;
        rc = vpd_put_field(list, len, VPD_RESOURCE_TAG_READ_ONLY, it->first.c_str(),
                           reinterpret_cast<const uint8_t*>(it->second.data()), std::min<size_t>(it->second.size(), 255));
    }
    if (rc >= 0) rc = vpd_put_checksum(list, len);
    if (rc < 0) return rc;
    const int32_t used = vpd_get_length(list, len);
    if (used < 0) return used;
    item.resize(VPD_IMAGE_HEADER_SIZE + static_cast<size_t>(used));
    *image = std::move(item);
    return HVXRETVAL_SUCCESS;
}

Bytes fru_image(const std::string& product, const std::string& serial, const std::string& part,
                const std::string& revision) {
    return zelt::formats::fru::build({product, serial, part, revision});
}

Bytes secure_boot_image(uint16_t dir_type, uint32_t fw_version, uint32_t size) {
    const size_t at = dir_type == ZEL_DIR_TYPE_SBI ? 256 : 0;
    Bytes img = filler(dir_type, std::max<uint32_t>(size, static_cast<uint32_t>(at + 64)));
    const Bytes header = zelt::image::secure_boot_header(fw_version);
    std::copy(header.begin(), header.end(), img.begin() + static_cast<long>(at));
    return img;
}

Bytes secure_boot_image(uint16_t dir_type, uint32_t fw_version, uint32_t size, const image::SecureBootIdentity& id) {
    Bytes img = secure_boot_image(dir_type, fw_version, size);
    const size_t at = dir_type == ZEL_DIR_TYPE_SBI ? SBI_HEADER_OFFSET_IN_SBI : 0;
    AuthenticatedBootImageHeader_t h;
    std::memcpy(&h, img.data() + at, sizeof h);
    if (dir_type == ZEL_DIR_TYPE_SBI) {
        h.sbi.CustomerRevisionID = id.crid;
        h.sbi.SBIRevisionID = id.sbi_revision;
    } else {
        h.sbi.CustomerRevisionID = dir_type == ZEL_DIR_TYPE_SRT ? id.srt_revision : id.crt_revision;
    }
    std::memcpy(img.data() + at, &h, sizeof h);
    return img;
}

uint32_t secure_boot_version(const std::vector<uint16_t>& v) {
    auto part = [&](size_t i) { return i < v.size() ? uint32_t{v[i]} : 0u; };
    return (part(0) << 24) | ((part(1) & 0xFFu) << 16) | ((part(2) & 0xFFu) << 8) | (part(3) & 0xFFu);
}

Bytes text_value(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes u16_values(const std::vector<uint16_t>& values) {
    Bytes b;
    for (uint16_t v : values) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    }
    return b;
}

int build_package(const PackageSpec& plan, Bytes* package, std::string* error) {
    size_t needed = 3;
    for (const PropertySpec& p : plan.properties) needed += 3 + p.value.size();
    Bytes stream(std::max<size_t>(plan.stream_size, needed), 0);
    for (const PropertySpec& p : plan.properties) {
        const int32_t rc = zelpkgPutProperty(stream.data(), stream.size(), p.id, p.value.data(), p.value.size());
        if (rc < 0) {
            if (error) *error = "property " + std::to_string(p.id) + ": " + zelpkgErrorDesc(rc);
            return rc;
        }
    }
    std::vector<zelpkg_manifest_item_t> records;
    std::vector<const void*> data;
    for (const ItemSpec& it : plan.items) {
        zelpkg_manifest_item_t r{};
        r.metadata.directive = it.directive;
        std::strncpy(r.metadata.description, it.description.c_str(), sizeof(r.metadata.description) - 1);
        r.direntry.type = it.type;
        r.direntry.ordinal = it.ordinal;
        r.direntry.ext = it.ext;
        r.direntry.attr = it.attr;
        r.direntry.data_length = static_cast<uint32_t>(it.data.size());
        r.direntry.item_length =
            it.item_length ? it.item_length : static_cast<uint32_t>(std::max<size_t>(1, (it.data.size() + 4095) / 4096) * 4096);
        records.push_back(r);
        data.push_back(it.data.empty() ? nullptr : it.data.data());
    }
    zelpkg_memory_output out;
    int32_t problem = -1;
    const int32_t rc = zelpkgCreate(out, static_cast<uint32_t>(stream.size()), stream.data(),
                                    static_cast<uint32_t>(records.size()), records.data(), data.data(), &problem,
                                    plan.verify);
    if (rc != HVXRETVAL_SUCCESS) {
        if (error) {
            *error = std::string("package creation failed: ") + zelpkgErrorDesc(rc);
            if (problem >= 0) *error += " at item #" + std::to_string(problem + 1);
        }
        return rc;
    }
    *package = out.take();
    if (plan.wrap) {
        std::vector<uint16_t> ids;
        for (const PropertySpec& p : plan.properties)
            if (p.id == ZELPKG_PROP_DEVICE_IDS)
                for (size_t i = 0; i + 1 < p.value.size(); i += 2)
                    ids.push_back(static_cast<uint16_t>(p.value[i] | (p.value[i + 1] << 8)));
        *package = zelpkgPldmWrap(package->data(), package->size(), plan.wrap_version, ZELT_PCI_VENDOR_ID, ids);
    }
    return HVXRETVAL_SUCCESS;
}

void apply_faults(Bytes* package, const std::vector<Fault>& faults) {
    Bytes& b = *package;
    for (const Fault& f : faults) {
        const int64_t at = f.offset < 0 ? static_cast<int64_t>(b.size()) + f.offset : f.offset;
        switch (f.kind) {
            case Fault::XOR_BYTE:
                if (at >= 0 && static_cast<size_t>(at) < b.size()) b[static_cast<size_t>(at)] ^= static_cast<uint8_t>(f.value);
                break;
            case Fault::SET_U32:
                if (at >= 0 && static_cast<size_t>(at) + 4 <= b.size()) std::memcpy(b.data() + at, &f.value, 4);
                break;
            case Fault::TRUNCATE:
                if (f.value < b.size()) b.resize(f.value);
                break;
            case Fault::FIX_CHECKSUM: {
                if (b.size() < 12) break;
                uint32_t trailer;
                std::memcpy(&trailer, b.data() + 4, 4);
                if (trailer < 4 || trailer > b.size()) break;
                const uint32_t crc = file_crc32(b.data(), b.size() - trailer);
                std::memcpy(b.data() + b.size() - 4, &crc, 4);
                break;
            }
        }
    }
}

namespace {

std::vector<uint16_t> parse_version(const std::string& text) {
    std::vector<uint16_t> parts;
    std::stringstream ss(text);
    std::string part;
    while (std::getline(ss, part, '.')) parts.push_back(static_cast<uint16_t>(std::strtoul(part.c_str(), nullptr, 10)));
    return parts;
}

std::vector<uint16_t> example_device_ids() {
    std::vector<uint16_t> ids;
    for (const device_info& row : zeltnvm_supported_devices())
        if (row.function_type == ZELT_FUNCTION_PF && std::find(ids.begin(), ids.end(), row.device_id) == ids.end())
            ids.push_back(row.device_id);
    return ids;
}

}  // namespace

int build_example_package(const std::string& version, std::span<const uint8_t> key, Bytes* package, bool wrap) {
    ExampleOptions options;
    options.wrap = wrap;
    return build_example_package(version, key, package, options);
}

int build_example_package(const std::string& version, std::span<const uint8_t> key, Bytes* package,
                          const ExampleOptions& options) {
    const std::vector<uint16_t> v = parse_version(version);
    PackageSpec plan;
    plan.properties = {
        {ZELPKG_PROP_PKG_DESCRIPTION, text_value("Orvanta example firmware package")},
        {ZELPKG_PROP_DEVICE_IDS, u16_values(example_device_ids())},
        {ZELPKG_PROP_CREATED_BY, text_value("zeltpkg")},
        {ZELPKG_PROP_CREATED_ON, text_value("2024-06-01 12:00:00Z")},
        {ZELPKG_PROP_CREATED_WITH, text_value("zeltpkg example")},
        {ZELPKG_PROP_PKG_VERSION, text_value(version)},
    };
    if (options.require_onboard_cfg) plan.properties.push_back({ZELPKG_PROP_REQUIRE_ONBOARD_CFG, Bytes{1}});
    struct Firmware {
        uint16_t type;
        uint32_t size;
        const char* description;
    } firmware[] = {
        {ZEL_DIR_TYPE_BOOTCODE, 64 * 1024, "Boot code"},
        {ZEL_DIR_TYPE_BOOTCODE_2, 128 * 1024, "Resource manager firmware"},
        {ZEL_DIR_TYPE_KONG_FW, 32 * 1024, "Management firmware"},
    };
    for (const Firmware& f : firmware) {
        ItemSpec it;
        it.type = f.type;
        it.description = f.description;
        const int rc = firmware_image(f.type, v, version, f.size, key, &it.data);
        if (rc != 0) return rc;
        it.item_length = static_cast<uint32_t>((it.data.size() / 4096 + 2) * 4096);
        plan.items.push_back(std::move(it));
    }
    for (uint16_t type : {ZEL_DIR_TYPE_AVS, ZEL_DIR_TYPE_CCM}) {
        ItemSpec it;
        it.type = type;
        it.description = type == ZEL_DIR_TYPE_AVS ? "Voltage scaling table" : "Configuration microcode";
        const int rc = trailer_image(type, v, 8 * 1024, key, &it.data);
        if (rc != 0) return rc;
        plan.items.push_back(std::move(it));
    }
    // Secure-boot images only replace those an adapter has, so the one package serves
    // the families without them too.
    struct SecureBoot {
        uint16_t type;
        uint32_t size;
        const char* description;
    } secure_boot[] = {
        {ZEL_DIR_TYPE_SBI, 16 * 1024, "Secure boot loader"},
        {ZEL_DIR_TYPE_SRT, 96 * 1024, "Secure runtime image"},
        {ZEL_DIR_TYPE_CRT, 96 * 1024, "Customer runtime image"},
    };
    for (const SecureBoot& sb : secure_boot) {
        ItemSpec it;
        it.type = sb.type;
        it.directive = ZELPKG_ITEM_REPLACE_IF_PRESENT;
        it.description = sb.description;
        it.data = secure_boot_image(sb.type, secure_boot_version(v), sb.size, options.secure_boot);
        plan.items.push_back(std::move(it));
    }
    if (options.config_section) {
        struct Config {
            uint16_t type;
            uint16_t ordinal;
            uint32_t size;
            const char* description;
        } config[] = {
            {ZEL_DIR_TYPE_SHARED_CFG, 0, 2048, "Shared configuration"},
            {ZEL_DIR_TYPE_PORT_CFG, 0, 1024, "Port 0 configuration"},
            {ZEL_DIR_TYPE_PORT_CFG, 1, 1024, "Port 1 configuration"},
            {ZEL_DIR_TYPE_FUNC_CFG, 0, 1024, "Function configuration"},
            {ZEL_DIR_TYPE_CFG_TABLE, 0, 4096, "Configuration table"},
            {ZEL_DIR_TYPE_FACTORY_CFG, 0, 1024, "Factory configuration"},
        };
        for (const Config& c : config) {
            ItemSpec it;
            it.type = c.type;
            it.ordinal = c.ordinal;
            it.description = c.description;
            it.data = filler(static_cast<uint16_t>(c.type * 16 + c.ordinal), c.size);
            plan.items.push_back(std::move(it));
        }
        // The staging item's size, for an NVM that has to be rebuilt from scratch.
        ItemSpec update;
        update.type = ZEL_DIR_TYPE_UPDATE;
        update.description = "Update staging area";
        update.item_length = kExampleStagingLength;
        plan.items.push_back(std::move(update));
    }
    if (options.vpd_template) {
        // A template never replaces a board's own VPD.
        ItemSpec it;
        it.type = ZEL_DIR_TYPE_VPD;
        it.directive = ZELPKG_ITEM_CREATE_IF_ABSENT;
        it.description = "VPD template";
        const std::string p = kExampleVpdPlaceholder;
        if (int rc = vpd_image(kExampleVpdProduct, {{"PN", p}, {"SN", p}, {"MN", p}, {"EC", p}}, &it.data); rc != 0)
            return rc;
        it.item_length = 1024;
        plan.items.push_back(std::move(it));
    }
    plan.wrap = options.wrap;
    plan.wrap_version = version;
    std::string error;
    return build_package(plan, package, &error);
}

// ---- Descriptions ------------------------------------------------------------------

namespace {

using nlohmann::json;

Bytes from_hex(const std::string& hex) {
    Bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return b;
}

bool read_file(const std::string& path, Bytes* data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string resolve(const std::string& base, const std::string& name) {
    if (name.empty() || name[0] == '/' || base.empty()) return name;
    return base + "/" + name;
}

uint16_t type_of(const json& j) {
    if (j.is_number()) return j.get<uint16_t>();
    const std::string name = j.get<std::string>();
    return static_cast<uint16_t>(zeltnvmDirectoryTypeByName(name.c_str(), 255));
}

uint8_t directive_of(const json& j) {
    if (j.is_number()) return j.get<uint8_t>();
    static const std::pair<const char*, uint8_t> kNames[] = {
        {"Install", ZELPKG_ITEM_ALWAYS_INSTALL}, {"Replace", ZELPKG_ITEM_REPLACE_IF_PRESENT},
        {"Create", ZELPKG_ITEM_CREATE_IF_ABSENT}, {"Remove", ZELPKG_ITEM_REMOVE_IF_PRESENT},
        {"Patch", ZELPKG_ITEM_PATCH_IF_PRESENT}};
    const std::string name = j.get<std::string>();
    for (const auto& [n, v] : kNames)
        if (name == n) return v;
    throw std::runtime_error("unknown directive \"" + name + "\"");
}

std::vector<uint16_t> numbers(const json& j) {
    std::vector<uint16_t> v;
    for (const json& n : j) v.push_back(n.get<uint16_t>());
    return v;
}

void add_properties(const json& props, PackageSpec& plan) {
    static const std::pair<const char*, uint8_t> kTexts[] = {
        {"description", ZELPKG_PROP_PKG_DESCRIPTION}, {"created_by", ZELPKG_PROP_CREATED_BY},
        {"created_on", ZELPKG_PROP_CREATED_ON},       {"updated_by", ZELPKG_PROP_UPDATED_BY},
        {"updated_on", ZELPKG_PROP_UPDATED_ON},       {"version", ZELPKG_PROP_PKG_VERSION},
        {"created_with", ZELPKG_PROP_CREATED_WITH},   {"updated_with", ZELPKG_PROP_UPDATED_WITH},
        {"orig_description", ZELPKG_PROP_ORIG_DESCRIPTION}, {"orig_version", ZELPKG_PROP_ORIG_VERSION},
        {"required_pkg", ZELPKG_PROP_REQUIRED_PKG},   {"supported_vrs", ZELPKG_PROP_SUPPORTED_VRS}};
    static const std::pair<const char*, uint8_t> kU16s[] = {{"subsys_vendor", ZELPKG_PROP_SUBSYS_VENDOR},
                                                            {"subsys_id", ZELPKG_PROP_SUBSYS_ID}};
    static const std::pair<const char*, uint8_t> kBytes[] = {{"min_chip_rev", ZELPKG_PROP_MIN_CHIP_REV},
                                                             {"max_chip_rev", ZELPKG_PROP_MAX_CHIP_REV},
                                                             {"require_onboard_cfg", ZELPKG_PROP_REQUIRE_ONBOARD_CFG},
                                                             {"livepatch", ZELPKG_PROP_LIVEPATCH_PKG}};
    for (auto it = props.begin(); it != props.end(); ++it) {
        const std::string& key = it.key();
        bool known = false;
        for (const auto& [name, id] : kTexts)
            if (key == name) plan.properties.push_back({id, text_value(it->get<std::string>())}), known = true;
        for (const auto& [name, id] : kU16s)
            if (key == name) plan.properties.push_back({id, u16_values({it->get<uint16_t>()})}), known = true;
        for (const auto& [name, id] : kBytes)
            if (key == name) plan.properties.push_back({id, Bytes{it->get<uint8_t>()}}), known = true;
        if (key == "device_ids") plan.properties.push_back({ZELPKG_PROP_DEVICE_IDS, u16_values(numbers(*it))}), known = true;
        if (key == "orig_checksum") {
            const uint32_t v = it->get<uint32_t>();
            plan.properties.push_back({ZELPKG_PROP_ORIG_CHECKSUM, Bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                                                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)}});
            known = true;
        }
        if (!known) throw std::runtime_error("unknown property \"" + key + "\"");
    }
}

ItemSpec item_of(const json& j, const std::string& base, std::span<const uint8_t> key) {
    ItemSpec it;
    it.type = type_of(j.at("type"));
    it.ordinal = j.value("ordinal", uint16_t{0});
    it.ext = j.value("ext", uint16_t{0});
    it.attr = j.value("attr", uint16_t{0});
    if (j.contains("directive")) it.directive = directive_of(j["directive"]);
    it.description = j.value("description", std::string());
    it.item_length = j.value("item_length", uint32_t{0});
    int rc = 0;
    if (j.contains("file")) {
        if (!read_file(resolve(base, j["file"].get<std::string>()), &it.data))
            throw std::runtime_error("cannot read " + j["file"].get<std::string>());
    } else if (j.contains("hex")) {
        it.data = from_hex(j["hex"].get<std::string>());
    } else if (j.contains("text")) {
        it.data = text_value(j["text"].get<std::string>());
    } else if (j.contains("firmware")) {
        const json& f = j["firmware"];
        rc = firmware_image(it.type, numbers(f.value("version", json::array())), f.value("text", std::string()),
                            f.value("body_size", uint32_t{1024}), key, &it.data);
    } else if (j.contains("trailer")) {
        const json& t = j["trailer"];
        rc = trailer_image(it.type, numbers(t.value("version", json::array())), t.value("body_size", uint32_t{1024}), key,
                           &it.data);
    } else if (j.contains("vpd")) {
        const json& v = j["vpd"];
        rc = vpd_image(v.value("product", std::string()),
                       v.value("fields", std::map<std::string, std::string>()), &it.data);
    } else if (j.contains("fru")) {
        const json& f = j["fru"];
        it.data = fru_image(f.value("product", std::string()), f.value("serial", std::string()),
                            f.value("part", std::string()), f.value("revision", std::string()));
    } else if (j.contains("secure_boot")) {
        const json& s = j["secure_boot"];
        it.data = secure_boot_image(it.type, s.value("fw_version", uint32_t{0}), s.value("size", uint32_t{1024}));
    } else if (j.contains("filler")) {
        it.data = filler(static_cast<uint16_t>(it.type * 31 + it.ordinal), j["filler"].get<uint32_t>());
    }
    if (rc != 0) throw std::runtime_error(std::string("item image: ") + zelpkgErrorDesc(rc));
    return it;
}

std::vector<Fault> faults_of(const json& list) {
    std::vector<Fault> faults;
    for (const json& f : list) {
        Fault fault{Fault::FIX_CHECKSUM, f.value("offset", int64_t{0}), 0};
        if (f.contains("xor")) fault.kind = Fault::XOR_BYTE, fault.value = f["xor"].get<uint32_t>();
        else if (f.contains("set_u32")) fault.kind = Fault::SET_U32, fault.value = f["set_u32"].get<uint32_t>();
        else if (f.contains("truncate")) fault.kind = Fault::TRUNCATE, fault.value = f["truncate"].get<uint32_t>();
        faults.push_back(fault);
    }
    return faults;
}

}  // namespace

int build_from_description(const std::string& json_text, const std::string& base_dir,
                           std::span<const uint8_t> default_key, Bytes* package, std::string* error) {
    try {
        const json d = json::parse(json_text);
        Bytes key_bytes;
        std::span<const uint8_t> key = default_key;
        if (d.contains("key")) {
            if (!read_file(resolve(base_dir, d["key"].get<std::string>()), &key_bytes))
                throw std::runtime_error("cannot read key " + d["key"].get<std::string>());
            key = key_bytes;
        }
        PackageSpec plan;
        plan.stream_size = d.value("stream_size", uint32_t{512});
        plan.verify = d.value("verify", true);
        if (d.contains("properties")) add_properties(d["properties"], plan);
        for (const json& p : d.value("raw_properties", json::array()))
            plan.properties.push_back({p.at("id").get<uint8_t>(), from_hex(p.value("hex", std::string()))});
        for (const json& j : d.value("items", json::array())) plan.items.push_back(item_of(j, base_dir, key));
        if (d.contains("wrap")) {
            plan.wrap = true;
            plan.wrap_version = d["wrap"].value("version", std::string());
        }
        const int rc = build_package(plan, package, error);
        if (rc != 0) return rc;
        if (d.contains("faults")) apply_faults(package, faults_of(d["faults"]));
        return 0;
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return HVXRETVAL_INVALID_PARAMETER;
    }
}

}  // namespace zelt::pkgbuild
