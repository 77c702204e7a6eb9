#include "options/port_count.h"

#include <cctype>

#include "options/catalogue.h"

namespace zelt {

int zeltnvm_port_count_from_mode(uint32_t mode) {
    if (mode > 0x7FFFFFFF) return -1;
    const allowedVal* e = zeltnvm_find_allowed_value(option_values::network_port_mode, mode);
    if (e == nullptr) return -1;
    int count = 0;
    const char* p = e->desc;
    while (isdigit(static_cast<unsigned char>(*p))) count = count * 10 + (*p++ - '0');
    return *p == 'x' && count > 0 ? count : -1;
}

}  // namespace zelt
