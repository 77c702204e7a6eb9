// The two help views of the option catalogue: the option list and the detailed help
// of one option. Both return the text; the caller prints it.
#pragma once

#include <string>

#include "options/option_record.h"

namespace zelt {

// The list of options shown by optionhelp=? (rows flagged as listed, in table order).
std::string zeltnvm_display_option_help();

// Detailed help of the option in `opt` (option number, name and max_instance are used)
// for a function of the given device type.
std::string zeltnvm_detailed_option_help(const zeltnvm_option* opt, int device_type);

}  // namespace zelt
