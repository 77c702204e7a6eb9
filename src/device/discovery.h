// Adapter discovery: finds the supported physical functions of the host, their network
// interfaces and what the firmware reports about them, and groups them into adapters.
#pragma once

#include "device/adapter_queries.h"
#include "device/discovery_records.h"
#include "device/inventory.h"
#include "host/host.h"

// Runs discovery with the process-wide host and the adapter queries in use, filling
// `inventory` (emptied first). 0 on success (finding no function is success); 17 when
// "/proc/net/dev" cannot be opened.
int zelt_nvm_init(zelt::device::Inventory& inventory);
// Discovery over the given host and queries.
int zelt_nvm_discover(zelt::host::Host& host, zelt::device::AdapterQueries& queries,
                      zelt::device::Inventory& inventory);

// 1 when the host processor is "aarch64" (any case), else 2.
int zelt_get_mr_os_info();

// Number of adapters, and the device name of the first function (nullptr when there is
// none).
int zeltnvm_adapter_count(const zelt::device::Inventory& inventory);
const char* zeltnvm_first_device_name(const zelt::device::Inventory& inventory);

// Reads the decimal count of active VFs of a function from sysfs into `count`; a missing
// or unreadable file leaves `count` unchanged. Returns 0, or 17 when the file is missing.
int zelt_get_sriov_active_vfs(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function, uint16_t* count);
