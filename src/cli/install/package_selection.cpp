// Choosing the package file for one adapter, and the version rules of the install flow.
#include <cstdio>
#include <cstring>

#include "cli/install/install_command.h"
#include "cli/package_commands.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/discovery_lookup.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_item_version.h"
#include "log/print.h"
#include "package/package_checks.h"
#include "package/package_properties.h"
#include "package/package_reader.h"
#include "package/pldm_wrapper.h"
#include "transport/ethtool_channel.h"
#include "transport/function.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_channel.h"
#include "wire/ethtool_nvm.h"

namespace zelt::cli {

namespace {

constexpr uint8_t kPropPackageVersion = 9;
constexpr size_t kVersionTextLen = 128;

struct Version4 {
    int n[4] = {0, 0, 0, 0};
};

Version4 parse_version(const char* text) {
    Version4 v;
    if (text) std::sscanf(text, "%d.%d.%d.%d", &v.n[0], &v.n[1], &v.n[2], &v.n[3]);
    return v;
}

// Package lengths are handed on in 32 bits: the same bound as every package read.
constexpr uint64_t kLargestPackageFile = UINT32_MAX;

// Reads a package to install. A plain package file is kept as a private snapshot in
// the firmware directory, where the installation can stage that very copy by a link
// instead of writing the package out again. Whatever the snapshot cannot take (a
// wrapped package, which is unwrapped in memory; an empty file; a directory that cannot
// hold an unnamed file; any refusal of the file) is read as every package is read, so
// results and messages are those of zelpkgReadPackage.
int32_t read_install_package(zelt::host::Host& host, const char* name, zelt::cli::PackageBytes& bytes) {
    zelt::host::FileSnapshot snapshot;
    if (name != nullptr &&
        host.snapshot_regular_file(name, kLargestPackageFile, ZELT_FIRMWARE_DIR, snapshot) ==
            zelt::host::SnapshotMade::kOk &&
        !snapshot.bytes().empty()) {
        size_t offset = 0;
        if (zelt::zelpkgPldmPackageOffset(snapshot.bytes().data(), snapshot.bytes().size(), &offset) ==
                HVXRETVAL_SUCCESS &&
            offset == 0) {
            const int32_t rc = zelpkgGetHeader(snapshot.bytes().data(), snapshot.bytes().size(), nullptr);
            if (rc == HVXRETVAL_SUCCESS) bytes = zelt::cli::PackageBytes(std::move(snapshot));
            return rc;
        }
    }
    snapshot.reset();
    zelt::ByteBuffer data;
    const int32_t rc = zelpkgReadPackage(host, name, data);
    if (rc == HVXRETVAL_SUCCESS) bytes = zelt::cli::PackageBytes(std::move(data));
    return rc;
}

}  // namespace

bool is_pkg_upgrade(const char* installed, const char* package) {
    const Version4 inst = parse_version(installed);
    const Version4 pkg = parse_version(package);
    // Firmware of the old numbering (major 21, or above 200) counts as older than any
    // package of the new numbering (major below 20).
    if ((inst.n[0] == 21 || inst.n[0] > 200) && pkg.n[0] < 20) return false;
    for (int i = 0; i < 4; ++i) {
        if (pkg.n[i] > inst.n[i]) return false;
        if (pkg.n[i] < inst.n[i]) return true;
    }
    return true;
}

std::string zeltnvm_installed_pkg_version(const zelt::device::InventoryFunction& target) {
    const zelt::transport::Function& fn = target.function;
    const auto running = fn.channel->package_version(fn);
    if (running.ok() && !running->empty()) return running->substr(0, std::min<size_t>(running->size(), kVersionTextLen - 1));
    char text[kVersionTextLen] = {};
    if (zelt::device::zeltnvmGetItemVersionString(fn, ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0, text, sizeof text).ok())
        return text;
    return "";
}

zelt::cli::PackageChoice zeltnvm_check_package_supported(zelt::host::Host& host,
                                                         const zelt::device::InventoryFunction& function,
                                                         const std::vector<std::string>& files,
                                                         const zelt::cli::InstallArgs& args) {
    static constexpr const char* kFn = "zeltnvm_check_package_supported";
    zelt::cli::PackageChoice choice;
    const zelt::device::zelt_nvm_device_info_t& rec = function.facts;
    int rc = 0;
    const zelt_pci_id_t id{rec.pci_info.vendor_id, rec.pci_info.device_id, rec.pci_info.sub_system_vendor_id,
                           rec.pci_info.sub_system_device_id};
    const int chip_rev = rec.pci_info.revision;
    // The prerequisite rule compares the package's required version with the version
    // of the package installed on this adapter.
    const std::string installed = zeltnvm_installed_pkg_version(function);

    int status = 4;
    for (const std::string& file : files) {
        const char* name = file.c_str();
        zelt::cli::PackageBytes pkg;
        rc = read_install_package(host, name, pkg);
        if (rc != 0) {
            if (rc < -99)
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Package %s read error: %s\n", kFn, name,
                              hvxretvalStringify(rc).c_str());
            else
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Package %s unsupported: %s\n", kFn, name,
                              hvxretvalStringify(rc).c_str());
            status = 4;
            continue;
        }
        uint32_t items = 0;
        rc = zelpkgGetItemCount(pkg.data(), pkg.size(), &items);
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Package '%s' item count error: %s\n", kFn, name,
                          hvxretvalStringify(rc).c_str());
            status = 4;
            continue;
        }
        if (items == 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Package '%s' skipped (empty)\n", kFn, name);
            status = 4;
            continue;
        }
        const bool live = zelpkgLivePatchPkg(pkg.data(), pkg.size());
        if (live && args.recovery) {
            choice.status = 77;
            return choice;
        }
        if (args.noidcheck && args.recovery) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Skipped 4 Part ID check.\n");
        } else if (zelpkgDeviceMatch(pkg.data(), pkg.size(), id, chip_rev) != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Package '%s' skipped (not applicable to this device)\n",
                          kFn, name);
            status = 4;
            continue;
        }
        char required[kVersionTextLen] = {};
        if (!zelpkgPrerequisitesMet(pkg.data(), pkg.size(), installed.c_str(), required, sizeof required)) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Package '%s' skipped (prerequisite not met: %s)\n", kFn,
                          name, required);
            status = 4;
            continue;
        }
        const bool onboard_cfg = zelpkgRequireOnboardConfig(pkg.data(), pkg.size());
        if (onboard_cfg) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "RequireOnboardConfig property is enabled.\n");
            if (!zelt::device::zeltnvmGetDirEntry(function.function, ZEL_DIR_TYPE_ONBOARD_CFG, 0, 0, nullptr).ok()) {
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "NVM ONBOARD CFG directory not found.\n");
                status = 69;
                continue;
            }
        }
        if (live) zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Given package file is Livepatch package file.\n");
        int32_t item = -1;
        rc = zelpkgVerify(pkg.data(), pkg.size(), &item);
        if (rc != 0) {
            if (item < 0)
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Package '%s' verification error: %s\n", kFn, name,
                              hvxretvalStringify(rc).c_str());
            else
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                              "%s: Package '%s' verification error: %s with  packaged item #%d\n", kFn, name,
                              hvxretvalStringify(rc).c_str(), item + 1);
            status = 12;
            choice.failing_item = item < 0 ? 0 : item + 1;
            continue;
        }
        if (choice.applicable.empty()) {
            zelt::cli::ChosenPackage& chosen = choice.chosen;
            chosen.file = file;
            char text[kVersionTextLen] = {};
            if (zelpkgGetProperty(pkg.data(), pkg.size(), kPropPackageVersion, text, sizeof text - 1) >= 0)
                chosen.version = text;
            chosen.onboard_cfg_required = onboard_cfg;
            chosen.livepatch = live;
            chosen.bytes = std::move(pkg);
        }
        choice.applicable.push_back(file);
    }
    choice.status = choice.applicable.empty() ? status : 0;
    return choice;
}

}  // namespace zelt::cli
