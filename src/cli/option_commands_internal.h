// Helpers shared by the files of the option commands.
#pragma once

#include <cstdint>

#include "options/option_messages.h"
#include "options/option_record.h"

// Sends the option library's messages to the console and the log: standard output
// for ordinary messages, standard error for the error stream.
zeltnvm_option_sink zeltnvm_console_sink();

// Reads one option through the function of `tmpl`, with the given width, dimensions
// and first index, as a little-endian number.
int zeltnvm_read_option_value(const char* device, const zeltnvm_option* tmpl, uint16_t option, uint16_t bits,
                              uint16_t dimensions, uint16_t index, uint64_t* value);

// True when the NVM directory holds the resource-manager configuration item.
bool zeltnvm_has_hcapi_directory(const char* device, const zeltnvm_option* opt);

// Device type of the selected function (0 when it cannot be found).
int zeltnvm_option_device_type(const char* device);
