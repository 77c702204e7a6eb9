#include "cli/install/online_update.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/interrupt.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

constexpr const char* kMetadataFile = "hlvx_metadata.json";
constexpr const char* kDownloadFn = "zeltnvm_download_data";

// The value of a line of the service's answer: the text after the first ':' up to the
// next ',', and of that the part between the first two double quotes ("" without two).
std::string quoted_value(const char* line) {
    const char* colon = std::strchr(line, ':');
    if (!colon) return {};
    std::string field(colon + 1, std::strcspn(colon + 1, ","));
    const size_t open = field.find('"');
    if (open == std::string::npos) return {};
    const size_t close = field.find('"', open + 1);
    if (close == std::string::npos) return {};
    return field.substr(open + 1, close - open - 1);
}

enum class Lookup { kFound, kNoData, kAbsent, kOpenFailed };

// The value of the first line of the answer that contains `key`, read in lines of at
// most 255 characters. A line saying "No Data available" ends the search.
Lookup find_in_answer(const std::string& path, const char* key, std::string& value) {
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return Lookup::kOpenFailed;
    char line[256];
    Lookup found = Lookup::kAbsent;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strstr(line, "No Data available")) {
            found = Lookup::kNoData;
            break;
        }
        if (std::strstr(line, key)) {
            value = quoted_value(line);
            found = Lookup::kFound;
            break;
        }
    }
    std::fclose(f);
    return found;
}

// The service's address with the path appended: a base ending in '/' does not double it.
std::string service_url(const std::string& base, const std::string& path) {
    std::string url = base;
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url + path;
}

void report_download_failure(const OnlineUpdate& online, const std::string& url, const host::DownloadOutcome& out) {
    using host::DownloadStep;
    switch (out.step) {
        case DownloadStep::kDone:
        case DownloadStep::kInterrupted: break;
        case DownloadStep::kLoad:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: failed to load curl library\n", kDownloadFn);
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s\n", out.error.c_str());
            break;
        case DownloadStep::kLookup:
        case DownloadStep::kInit:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: %s failed with status:%s\n", kDownloadFn,
                          out.what.c_str(), out.error.c_str());
            break;
        case DownloadStep::kOption:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: status: %s\n", out.what.c_str(), out.error.c_str());
            break;
        case DownloadStep::kTransfer:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "curl_easy_perform: status: %s\n", out.error.c_str());
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "download of %s failed\n", url.c_str());
            break;
        case DownloadStep::kTooLarge:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "%s: %s is larger than %llu bytes, the limit %s of %s sets\n", kDownloadFn, url.c_str(),
                          static_cast<unsigned long long>(online.settings.max_bytes), log::kOnlineMaxBytesKey,
                          ZELT_CONFIG_PATH);
            break;
    }
}

}  // namespace

std::unique_ptr<OnlineUpdate> zeltnvm_open_online_update(host::Host& host, int& status) {
    status = 14;
    log::OnlineSettings settings;
    if (FILE* conf = host.open_file(ZELT_CONFIG_PATH, "r")) {
        settings = log::parse_online_settings(conf);
        std::fclose(conf);
    }
    if (settings.base_url.empty()) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "The online update service is not configured: set %s=<base URL> in %s.\n",
                      log::kOnlineUrlKey, ZELT_CONFIG_PATH);
        return nullptr;
    }
    if (!settings.invalid_key.empty()) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "The value of %s in %s is not valid.\n",
                      settings.invalid_key.c_str(), ZELT_CONFIG_PATH);
        return nullptr;
    }
    std::unique_ptr<host::PrivateDirectory> dir = host::PrivateDirectory::create("zeltnvm-online-");
    if (!dir) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to create a directory for the download: %s\n",
                      std::strerror(errno));
        return nullptr;
    }
    status = 0;
    return std::unique_ptr<OnlineUpdate>(new OnlineUpdate{host, std::move(settings), std::move(dir)});
}

int zeltnvm_download_data(OnlineUpdate& online, const std::string& url, const std::string& name) {
    const int fd = online.dir->create_file(name);
    if (fd < 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: failed to open file %s\n", kDownloadFn, name.c_str());
        return 1;
    }
    const host::DownloadLimits limits{online.settings.max_bytes, online.settings.timeout_seconds};
    const host::DownloadOutcome out = online.host.download(url, fd, limits);
    const bool closed = ::close(fd) == 0;
    // A signal during the transfer ends the run here; the directory goes with it.
    host::interruption_point();
    if (out.ok() && closed) return 0;
    online.dir->remove(name);
    if (!out.ok()) {
        report_download_failure(online, url, out);
        return out.code != 0 ? out.code : 1;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: failed to write file %s\n", kDownloadFn, name.c_str());
    return 1;
}

int zeltnvm_check_online_firmware_update_supported(OnlineUpdate& online, const device::InventoryFunction& target) {
    static constexpr const char* kFn = "zeltnvm_check_online_firmware_update_supported";
    const auto& pci = target.facts.pci_info;
    char query[64];
    std::snprintf(query, sizeof query, "PCI-ID=%04x:%04x:%04x:%04x", pci.vendor_id, pci.device_id,
                  pci.sub_system_vendor_id, pci.sub_system_device_id);
    const std::string url = service_url(online.settings.base_url, std::string("/docsearch/") + query);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "metadata_url = %s\n", url.c_str());
    online.dir->remove(kMetadataFile);  // the answer of an earlier adapter
    if (zeltnvm_download_data(online, url, kMetadataFile) != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "download Metadata in JSON format failed\n");
        return 14;
    }
    std::string version;
    const Lookup found = find_in_answer(online.dir->file(kMetadataFile), "Version", version);
    if (found == Lookup::kOpenFailed) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: failed to open file %s\n", kFn, kMetadataFile);
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Fetching Firmware version from URL failed\n");
    }
    if (version.empty()) {
        online.dir->remove(kMetadataFile);
        return 14;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FW version from url = %s\n", version.c_str());
    return 0;
}

int zeltnvm_download_online_fw_pkg_file(OnlineUpdate& online, const device::InventoryFunction& target,
                                        std::string& file) {
    std::string url;
    const Lookup found = find_in_answer(online.dir->file(kMetadataFile), "URL", url);
    online.dir->remove(kMetadataFile);
    if (found != Lookup::kFound) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Fetching Firmware package URL failed\n");
        return 3;
    }
    if (url.empty()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "FW package URL is not available for this device\n");
        return 3;
    }
    const auto& pci = target.facts.pci_info;
    char name[32];
    std::snprintf(name, sizeof name, "HVX%x%x.pkg", pci.vendor_id, pci.device_id);
    online.dir->remove(name);  // an earlier adapter's of the same kind
    if (zeltnvm_download_data(online, url, name) != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "\ndownload FW package failed\n");
        return 4;
    }
    file = online.dir->file(name);
    return 0;
}

}  // namespace zelt::cli
