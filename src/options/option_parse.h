// Turning an option argument into a request record, and checking the record against
// the catalogue before anything is sent to the adapter.
#pragma once

#include <cstdint>
#include <string>

#include "options/catalogue.h"
#include "options/option_messages.h"
#include "options/option_record.h"

namespace zelt {

// Characters of the option argument that are considered.
constexpr size_t ZELTNVM_OPTION_TEXT_MAX = 1023;

// Parses "<name or number>[:index[:index]]" (and for a set "#<value>") into `opt`, whose
// `command` the caller has set. Fills option, name, access, dimensions, index_0, index_1,
// and for a set opt_value and value. 0, -30 (syntax) or -8.
int zeltnvm_fill_option_Info(zeltnvm_option* opt, const char* text, const zeltnvm_option_sink& sink = {});

// Fills a set request for option `name` with the number `value`, as
// zeltnvm_fill_option_Info does for "<name>[:<index>]#<value>": with one index when
// `index` is not negative. 0, or -8 for a name that is not in the catalogue.
int zeltnvm_fill_option_number(zeltnvm_option* opt, const char* name, int index, uint32_t value,
                               const zeltnvm_option_sink& sink = {});

// Checks the indexes against the row's scope and width, sets length and num_bytes, and
// for a set checks the value and places it in `value`. 0, -130, -131, -8 or -58.
int zeltnvm_verify_option_Info(zeltnvm_option* opt, const zeltnvm_option_sink& sink = {});

// The row's scope (40, 41, 42, 65 or 76) for an option getoption/setoption may use;
// -130 for an unknown or internal option, -1 for any other scope.
int zeltnvm_find_scope(const zeltnvm_option* opt, const zeltnvm_option_sink& sink = {});

// The label of the value held in `value` (little-endian, num_bytes bytes) into *out when
// the row lists that value; 0 also when it does not (*out unchanged); -1 for an option
// number that is not in the catalogue.
int zeltnvm_get_option_string(const zeltnvm_option* opt, std::string* out);

// The little-endian number held in the first num_bytes (at most 8) bytes of `value`.
uint64_t zeltnvm_option_value_number(const zeltnvm_option* opt);

// Options whose value is a pair min:max of 16-bit counts.
bool is_afm_nvm_option(const zeltnvm_option* opt);
bool zeltnvm_is_afm_option_num(uint16_t option);
// Checks "min:max" typed for option `name` and packs it as min * 65536 + max. 0 or -8.
int zeltnvm_verify_afm_nvm_options(const char* name, const char* pair, uint32_t* value,
                                   const zeltnvm_option_sink& sink = {});
// For a min:max option: true and the packed pair from `value`; false otherwise.
bool zeltnvm_get_afm_option_value(const zeltnvm_option* opt, uint32_t* value);

// Checks and parses a MAC address (six groups of 1 to 3 hex digits separated by ':' or
// '-'); refuses non-unicast, all-zero and all-FF addresses. 0 or -1.
int zelt_validate_mac(const char* text, uint8_t mac[6], const zeltnvm_option_sink& sink = {});

// Options whose set value is a list of elements typed as "a:b:c:d" or "a:b"; the text
// stays in `value` and the elements are read back with zeltnvm_option_elements.
bool zeltnvm_is_four_element_option(uint16_t option);
bool zeltnvm_is_two_element_option(uint16_t option);
// Reads the elements typed for such an option from `value`, in typed order. Returns
// the count (4 or 2), or -8 when the text is not in that form.
int zeltnvm_option_elements(const zeltnvm_option* opt, uint32_t elements[4]);

// The BAR2 size options (104, 403) are kept per adapter family under a second index:
// 1 before device type 8, 2 from it on. True with that index for those options.
bool zeltnvm_family_index(uint16_t option, int device_type, uint16_t* index);

// Reads a whole text as an unsigned C integer literal (0x hexadecimal, leading 0 octal,
// else decimal; "0x" alone is 0). False when any character does not belong to the
// number or the value does not fit 32 bits.
bool zeltnvm_parse_number(const std::string& text, uint32_t* out);

}  // namespace zelt
