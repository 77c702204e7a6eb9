// Turning a -dev= selector into the device name of a discovered function.
#pragma once

#include "cli/options_record.h"
#include "device/discovery_lookup.h"

// True for a separated MAC address: six groups, each starting with a hexadecimal digit,
// joined by five '-' or ':' separators, the text ending in a group.
bool is_nice_mac_addr(const char* text);
// True for exactly 12 hexadecimal digits.
bool zeltnvm_is_plain_mac_addr(const char* text);

// Resolves a selector, first rule that applies: 12 hexadecimal digits (a MAC address
// without separators), a separated MAC address, a PCI address with its domain, else an
// interface or device name looked up by name. Returns the device name to
// use (valid for the rest of the run), or nullptr when no function matches.
const char* select_device(const char* selector, options* opts);

// Looks `selector` up with `type` and returns a new copy of the function's device name
// (the caller frees it with free()), or nullptr.
char* get_native_device(const char* selector, device_selection_type type, options* opts);
