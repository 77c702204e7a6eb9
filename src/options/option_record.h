// The request record of one NVM option operation: what the option parser fills from
// the user's text, what the checks complete, and what is exchanged with the firmware.
#pragma once

#include <cstdint>
#include <type_traits>

namespace zelt {

// `command` values.
constexpr uint16_t ZELTNVM_OPTION_SET = 1;
constexpr uint16_t ZELTNVM_OPTION_GET = 2;
constexpr uint16_t ZELTNVM_OPTION_HELP = 3;

// Bytes of `value`.
constexpr int ZELTNVM_OPTION_VALUE_BYTES = 512;
// Highest physical instance index of a function or port.
constexpr uint16_t ZELTNVM_MAX_PHYS_INSTANCE = 15;

typedef struct _zeltnvm_option {
    uint16_t option;        // option number
    uint16_t max_instance;  // highest physical instance index (15)
    uint16_t domain_no;     // PCI address of the function the request goes to
    uint16_t bus_no;
    uint16_t device_no;
    uint16_t function_no;
    uint16_t port_idx;      // not used by the option path
    uint16_t command;       // ZELTNVM_OPTION_SET, _GET or _HELP
    uint16_t length;        // value length in bits (data_len of the request)
    uint16_t num_bytes;     // (length + 7) / 8: bytes of `value` exchanged
    uint16_t dimensions;    // indexes given
    uint16_t index_0;       // instance index, then array index
    uint16_t index_1;
    uint16_t index_2;
    uint16_t index_3;
    uint32_t opt_value;     // numeric value parsed from the text
    uint8_t value[ZELTNVM_OPTION_VALUE_BYTES];  // value bytes, little-endian, or the typed text
    char name[64];          // option name as the catalogue spells it
    uint16_t active_vfs;    // active virtual functions of the selected function
    uint16_t access;        // the row's visibility when found by name; 0 when found by number
} zeltnvm_option;

static_assert(std::is_trivially_copyable_v<zeltnvm_option>);

}  // namespace zelt
