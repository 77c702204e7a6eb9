// The online form of install: the package for each adapter is found through the
// maker's document-search service and downloaded, then chosen and checked like a
// package file given on the command line.
#pragma once

#include <memory>
#include <string>

#include "device/inventory.h"
#include "host/host.h"
#include "host/private_directory.h"
#include "log/log_config.h"

namespace zelt::cli {

// One run's online update: the service's settings and the private directory the
// downloads go to (removed with this object, whatever way the run ends).
struct OnlineUpdate {
    host::Host& host;
    log::OnlineSettings settings;
    std::unique_ptr<host::PrivateDirectory> dir;
};

// Reads the settings from the configuration file and makes the download directory.
// Without a configured service, with an invalid limit, or without a directory, says so
// and gives nullptr with `status` 14; nothing is sent over the network.
std::unique_ptr<OnlineUpdate> zeltnvm_open_online_update(host::Host& host, int& status);

// Asks the service for the adapter's newest package (by its four PCI ids). 0 when the
// answer names a version; 14 when the question fails or the answer names none.
int zeltnvm_check_online_firmware_update_supported(OnlineUpdate& online,
                                                   const device::InventoryFunction& target);

// Downloads the package the answer of the check names. 0 with `file` the downloaded
// package's path; 3 when the answer names no package; 4 when the download fails. The
// answer is removed either way.
int zeltnvm_download_online_fw_pkg_file(OnlineUpdate& online, const device::InventoryFunction& target,
                                        std::string& file);

// Downloads `url` into the new file `name` of the download directory. 0, 1 when the
// file cannot be made or the transfer library cannot be used, or the library's code.
// A failed download leaves no file.
int zeltnvm_download_data(OnlineUpdate& online, const std::string& url, const std::string& name);

}  // namespace zelt::cli
