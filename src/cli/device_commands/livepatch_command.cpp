#include "cli/device_commands/livepatch_command.h"

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "cli/command_registry.h"
#include "cli/device_commands/device_command_common.h"
#include "cli/device_commands/feature_report.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/features/livepatch.h"
#include "package/package_reader.h"
#include "wire/hwrm_livepatch.h"

namespace zelt::cli {

namespace {

using device::LivepatchOperation;
using device::LivepatchTarget;
using report::Json;
using report::Report;

// The largest package or image file the command reads.
constexpr uint64_t kMaxFileBytes = 64ull << 20;

struct TargetRow {
    LivepatchTarget target;
    const char* word;
    const char* section;  // heading of its versions in the query
    uint16_t item_type;   // the package item that holds its patch
    bool newest_family;   // the family whose firmware it is
};

constexpr std::array<TargetRow, 3> kTargets{{
    {LivepatchTarget::common_fw, "common_fw", "\nCommon Firmware livepatch versions :\n", ZEL_DIR_TYPE_CRT_LIVEPATCH,
     true},
    {LivepatchTarget::secure_fw, "secure_fw", "\nSecure Firmware livepatch versions :\n", ZEL_DIR_TYPE_SRT_LIVEPATCH,
     true},
    {LivepatchTarget::chimp_fw, "chimp_fw", "\nChimp Firmware livepatch versions :\n", ZEL_DIR_TYPE_CHIMP_LIVEPATCH,
     false},
}};

const TargetRow* target_of(std::string_view word) {
    for (const TargetRow& t : kTargets)
        if (word == t.word) return &t;
    return nullptr;
}

// What the words ask for.
struct LivepatchRequest {
    enum class Kind { query, activate, deactivate, update } kind = Kind::query;
    std::string target_word;  // "" for the family's first target
    std::string file;         // update only
};

std::optional<LivepatchRequest> parse(const std::vector<std::string>& w) {
    using Kind = LivepatchRequest::Kind;
    LivepatchRequest req;
    if (w.empty()) return req;
    if (w[0] == "activate" || w[0] == "deactivate") {
        if (w.size() > 2) return std::nullopt;
        req.kind = w[0] == "activate" ? Kind::activate : Kind::deactivate;
        if (w.size() == 2) req.target_word = w[1];
    } else if (w[0] == "update") {
        if (w.size() < 2 || w.size() > 3) return std::nullopt;
        req.kind = Kind::update;
        if (w.size() == 3) req.target_word = w[1];
        req.file = w.back();
    } else {
        return std::nullopt;
    }
    if (!req.target_word.empty() && !target_of(req.target_word)) return std::nullopt;
    return req;
}

bool ends_with(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

int query(const device::InventoryFunction& dev, Report& r) {
    const bool newest = feature::on_newest_family(dev);
    Json targets = Json::array();
    Result failure;
    for (const TargetRow& t : kTargets) {
        if (t.newest_family != newest) continue;
        device::LivepatchVersions v;
        const Result rc = device::zeltnvm_query_livepatch(dev.function, t.target, &v);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Live patch query of %s failed with status %d\n", t.word,
                          rc.code());
            if (failure.ok()) failure = rc;
        }
        auto line = [&](const char* name, const std::optional<std::string>& version) {
            if (version)
                r.text(ZELT_LOC_BOTH, "%-25s : %s\n", name, version->c_str());
            else
                r.text(ZELT_LOC_BOTH, "%-25s : N/A\n", name);
        };
        r.text(ZELT_LOC_BOTH, "%s", t.section);
        line("Active livepatch version", v.active);
        line("livepatch version on NVM", v.nvm);
        targets.push_back({{"target", t.word},
                           {"active", v.active ? Json(*v.active) : Json(nullptr)},
                           {"nvm", v.nvm ? Json(*v.nvm) : Json(nullptr)}});
    }
    r.data()["targets"] = targets;
    // The versions read N/A either way; the status still says the query failed.
    return failure.code();
}

// The patch image of `t` in the file: a package's item of the target's type, or a
// .bin file whole. Prints why when there is none and sets `*status`.
std::optional<std::vector<uint8_t>> image_from_file(host::Host& host, const std::string& file, const TargetRow& t,
                                                    int* status) {
    std::vector<uint8_t> bytes;
    if (host.read_regular_file(file, kMaxFileBytes, bytes) != host::FileRead::kOk) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to read the livepatch file \"%s\".\n", file.c_str());
        *status = HVXRETVAL_FILE_READ_FAILURE;
        return std::nullopt;
    }
    if (ends_with(file, ".bin")) return bytes;
    if (zelpkgGetHeader(bytes.data(), bytes.size(), nullptr) != 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\"%s\" is not a valid package file.\n", file.c_str());
        *status = HVXRETVAL_INVALID_FILE_HEADER;
        return std::nullopt;
    }
    const bool found = zelpkgFindItem(bytes.data(), bytes.size(), t.item_type, 0, 0, nullptr) == 0;
    const int32_t length = found ? zelpkgReadItem(bytes.data(), bytes.size(), t.item_type, 0, 0, nullptr, 0, false) : 0;
    std::vector<uint8_t> image(length > 0 ? static_cast<size_t>(length) : 0);
    if (length <= 0 ||
        zelpkgReadItem(bytes.data(), bytes.size(), t.item_type, 0, 0, image.data(), image.size(), false) != length) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "The package has no \"%s\" livepatch image.\n", t.word);
        *status = HVXRETVAL_ITEM_NOT_FOUND;
        return std::nullopt;
    }
    return image;
}

// The outcome of a patch operation, by the firmware's reason.
void print_outcome(int status, const char* target, const char* op) {
    switch (status) {
        case 0: zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\"%s\" livepatch %sd successfully.\n", target, op); break;
        case HWRM_FW_LIVEPATCH_CMD_ERR_NOT_SUPPORTED:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s livepatch operation not supported.\n", op);
            break;
        case HWRM_FW_LIVEPATCH_CMD_ERR_NOT_INSTALLED:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to %s. \"%s\" not installed to NVM.\n", op, target);
            break;
        case HWRM_FW_LIVEPATCH_CMD_ERR_NOT_PATCHED:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Failed to deactivate \"%s\" livepatch. Firmware is not currently patched.\n", target);
            break;
        case HWRM_FW_LIVEPATCH_CMD_ERR_AUTH_FAIL:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Authentication of a signed \"%s\" livepatch failed.\n",
                          target);
            break;
        case HWRM_FW_LIVEPATCH_CMD_ERR_INVALID_HEADER:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Incompatible \"%s\" livepatch. Livepatch header verification failed.\n", target);
            break;
        case HWRM_FW_LIVEPATCH_CMD_ERR_INVALID_SIZE:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\"%s\" livepatch image size incompatible.\n", target);
            break;
        case HWRM_FW_LIVEPATCH_CMD_ERR_ALREADY_PATCHED:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "\"%s\" has already been patched. Deactivate the existing livepatch before proceeding.\n",
                          target);
            break;
        default:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "%s livepatch operation failed. Please check the zeltnvm.log for more details.\n", op);
    }
}

int livepatch(ParsedCommand& parsed, const LivepatchArgs& args, Report& r) {
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return -1;
    const auto req = parse(args.words);
    if (!req) {
        zeltnvm_print_syntax_error(parsed.command);
        return -1;
    }
    using Kind = LivepatchRequest::Kind;
    if (req->kind == Kind::query) return query(*dev, r);

    const bool newest = feature::on_newest_family(*dev);
    const TargetRow* t = req->target_word.empty() ? nullptr : target_of(req->target_word);
    if (!t) {
        for (const TargetRow& row : kTargets)
            if (!t && row.newest_family == newest) t = &row;
    }
    if (t->newest_family != newest) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\"%s\" doesn't support on this hardware.\n", t->word);
        return feature::kNotOnThisHardware;
    }
    const char* op = req->kind == Kind::deactivate ? "deactivate" : "activate";
    r.data()["operation"] = req->kind == Kind::update ? "update" : op;
    r.data()["target"] = t->word;
    std::vector<uint8_t> image;
    if (req->kind == Kind::update) {
        if (!ends_with(req->file, ".pkg") && !ends_with(req->file, ".bin"))
            return argument_error("Invalid file extention. Supported file formats are .pkg or .bin\n");
        int status = 0;
        auto found = image_from_file(parsed.context->host, req->file, *t, &status);
        if (!found) return status;
        image = std::move(*found);
        r.data()["file"] = req->file;
    }
    const Result rc = device::zeltnvm_livepatch(
        dev->function, t->target,
        req->kind == Kind::deactivate ? LivepatchOperation::deactivate : LivepatchOperation::activate, image);
    // The firmware's reason for a refusal; any other failure reads as a general one.
    const int status = rc.ok() ? 0 : rc.origin() == Origin::kFirmware && rc.cmd_err() != 0 ? rc.cmd_err() : -1;
    if (!rc.ok())
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Live patch %s of %s failed with status %d\n", op, t->word,
                      rc.code());
    r.data()["outcome_status"] = status;
    print_outcome(status, t->word, op);
    return rc.ok() ? 0 : status > 0 ? status : rc.code();
}

}  // namespace

LivepatchArgs LivepatchArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    const ArgumentLine line(parsed);
    LivepatchArgs args;
    for (int i = 0; i < line.count_after_word(); ++i) args.words.emplace_back(line.after_word(i));
    return args;
}

Report livepatch_command(ParsedCommand& parsed, const LivepatchArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(livepatch(parsed, args, r));
}

}  // namespace zelt::cli
