// The firmware side of the option commands: variable get and set, flush, the port
// count, the resource-manager directory check, and the single-value writer that other
// commands use.
#include <cstdio>
#include <cstring>

#include "cli/option_commands.h"
#include "cli/option_commands_internal.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/discovery_lookup.h"
#include "log/print.h"
#include "options/catalogue.h"
#include "options/option_parse.h"
#include "options/port_count.h"
#include "transport/function.h"
#include "transport/hwrm_exchange.h"
#include "transport/nvm_variables.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

namespace zelt::cli {

using zelt::transport::exchange;

namespace {

// The option's function: the device name with the address the option record holds.
zelt::transport::Function function_of(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt) {
    return option_function(device, opt);
}

zelt::transport::NvmVariableRef variable_of(const zeltnvm_option* opt) {
    zelt::transport::NvmVariableRef v;
    v.option = opt->option;
    v.bits = opt->length;
    v.dimensions = opt->dimensions;
    v.index_0 = opt->index_0;
    v.index_1 = opt->index_1;
    v.index_2 = opt->index_2;
    v.index_3 = opt->index_3;
    return v;
}

uint16_t exchanged_bytes(const zeltnvm_option* opt) {
    return std::min<uint16_t>(opt->num_bytes, ZELTNVM_OPTION_VALUE_BYTES);
}

}  // namespace

int zeltnvmOptionGet(const zelt::device::InventoryFunction* device, zeltnvm_option* opt) {
    // The value changes only on success.
    return zelt::transport::nvmVariableGet(function_of(device, opt), variable_of(opt), opt->value,
                                           exchanged_bytes(opt))
        .code();
}

int zeltnvmOptionSet(const zelt::device::InventoryFunction* device, zeltnvm_option* opt) {
    return zelt::transport::nvmVariableSet(function_of(device, opt), variable_of(opt), opt->value,
                                           exchanged_bytes(opt))
        .code();
}

int zeltnvmFlush(const zelt::device::InventoryFunction* device, zeltnvm_option* opt) {
    return zelt::transport::nvmVariablesFlush(function_of(device, opt)).code();
}

int zeltnvm_set_option_device(const zelt::device::InventoryFunction* device, zeltnvm_option* opt) {
    if (device == nullptr) return 13;
    const zelt::device::zelt_nvm_device_info_t& rec = device->facts;
    opt->domain_no = static_cast<uint16_t>(rec.pci_info.domain_no);
    opt->bus_no = static_cast<uint16_t>(rec.pci_info.bus_no);
    opt->device_no = static_cast<uint16_t>(rec.pci_info.device_no);
    opt->function_no = static_cast<uint16_t>(rec.pci_info.function_no);
    opt->max_instance = ZELTNVM_MAX_PHYS_INSTANCE;
    opt->active_vfs = rec.sriov.Active_VFs;
    return 0;
}

int zeltnvm_read_option_value(const zelt::device::InventoryFunction* device, const zeltnvm_option* tmpl,
                              uint16_t option, uint16_t bits, uint16_t dimensions, uint16_t index, uint64_t* value) {
    zeltnvm_option q;
    std::memset(&q, 0, sizeof q);
    q.domain_no = tmpl->domain_no;
    q.bus_no = tmpl->bus_no;
    q.device_no = tmpl->device_no;
    q.function_no = tmpl->function_no;
    q.max_instance = tmpl->max_instance;
    q.active_vfs = tmpl->active_vfs;
    q.command = ZELTNVM_OPTION_GET;
    q.option = option;
    q.length = bits;
    q.num_bytes = static_cast<uint16_t>((bits + 7) / 8);
    q.dimensions = dimensions;
    q.index_0 = index;
    const int rc = zeltnvmOptionGet(device, &q);
    if (rc == 0) *value = zeltnvm_option_value_number(&q);
    return rc;
}

int zeltnvm_option_port_count(const zelt::device::InventoryFunction* device, const zeltnvm_option* tmpl, int* count) {
    uint64_t mode = 0;
    const int rc = zeltnvm_read_option_value(device, tmpl, ZELTNVM_OPT_NETWORK_PORT_MODE, 8, 0, 0, &mode);
    if (rc == ZELT_RC_NOT_PERMITTED) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "This operation does not have administrative privileges for given interface\n");
        return ZELT_RC_NO_ADMIN;
    }
    if (rc != 0) return rc;
    const int ports = zeltnvm_port_count_from_mode(static_cast<uint32_t>(mode));
    if (ports < 0) return HVXRETVAL_FAILURE;
    *count = ports;
    return 0;
}

bool zeltnvm_has_hcapi_directory(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt) {
    hwrm_nvm_find_dir_entry_input req{};
    req.dir_type = cpu_to_le16(ZEL_DIR_TYPE_HCAPI_RM_CFG);
    hwrm_nvm_find_dir_entry_output resp{};
    return exchange(function_of(device, opt), HWRM_NVM_FIND_DIR_ENTRY, req, resp).ok();
}

int persistent_nvm_value(const zelt::device::InventoryFunction* device, const char* option_name, uint32_t value,
                         int scope, const zeltnvm_option* tmpl) {
    zeltnvm_option opt;
    std::memset(&opt, 0, sizeof opt);
    opt.command = ZELTNVM_OPTION_SET;
    int rc = zeltnvm_set_option_device(device, &opt);
    if (rc != 0) return rc;
    const auto sink = zeltnvm_console_sink();
    const int index = scope == ZEL_DIR_TYPE_SHARED_CFG ? -1 : tmpl->function_no;
    rc = zeltnvm_fill_option_number(&opt, option_name, index, value, sink);
    if (rc == 0) rc = zeltnvm_verify_option_Info(&opt, sink);
    if (rc != 0) return rc;
    rc = zeltnvmOptionSet(device, &opt);
    if (rc == ZELT_RC_NOT_PERMITTED) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "This operation does not have administrative privileges for given interface\n");
        return rc;
    }
    if (rc != 0) return rc;
    return zeltnvmFlush(device, &opt);
}

}  // namespace zelt::cli
