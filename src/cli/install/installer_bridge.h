// The install flow's calls into the package installer: staging a package in the NVM
// update item and having the firmware install it, and reporting the install log.
#pragma once

#include <cstdint>

// Stages the package and asks the firmware to install it. 0, a negative result code,
// or a positive firmware result.
int32_t zelt_install_stage_and_install(const char* dev, const uint8_t* pkg, uint32_t length, int32_t install_type,
                                       uint16_t device_id);
// Reports new install-log entries and keeps the log short (best effort).
int32_t zelt_install_report_log(const char* dev, const uint8_t* pkg, uint32_t length);
