// Helpers shared by the files of the option commands.
#pragma once

#include <cstdint>

#include "common/hvxretval.h"
#include "common/result.h"
#include "device/inventory.h"
#include "options/option_messages.h"
#include "options/option_record.h"

namespace zelt::cli {

// Sends the option library's messages to the console and the log: standard output
// for ordinary messages, standard error for the error stream.
zelt::zeltnvm_option_sink zeltnvm_console_sink();

// Runs `op` (taking the transport function, giving a Result) on the selected function;
// with none selected it fails as a missing device name does.
template <class Op>
zelt::Result on_function(const zelt::device::InventoryFunction* device, Op op) {
    if (!device) return zelt::Result::tool(zelt::HVXRETVAL_INVALID_POINTER_PARAMETER);
    return op(device->function);
}

// The function an option record addresses: the selected function's name and channel
// at the address the record holds.
inline zelt::transport::Function option_function(const zelt::device::InventoryFunction* device,
                                                 const zelt::zeltnvm_option* opt) {
    return zelt::transport::Function{device ? device->function.name : std::string(),
                                     zelt::PciAddress{opt->domain_no, opt->bus_no, opt->device_no, opt->function_no},
                                     device ? device->function.channel : nullptr};
}

// Physical functions of the selected function's adapter; 0 with none selected. With
// `trace`, the function's PCI ids are printed first.
int adapter_function_count(const zelt::device::InventoryFunction* device, bool trace);

// Reads one option through the function of `tmpl`, with the given width, dimensions
// and first index, as a little-endian number.
int zeltnvm_read_option_value(const zelt::device::InventoryFunction* device, const zelt::zeltnvm_option* tmpl,
                              uint16_t option, uint16_t bits, uint16_t dimensions, uint16_t index, uint64_t* value);

// True when the NVM directory holds the resource-manager configuration item.
bool zeltnvm_has_hcapi_directory(const zelt::device::InventoryFunction* device, const zelt::zeltnvm_option* opt);

// Device type of the selected function (0 when none is selected or the table has none).
int zeltnvm_option_device_type(const zelt::device::InventoryFunction* device);

}  // namespace zelt::cli
