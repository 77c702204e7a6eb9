// The item parsers of the device listing: install log, FRU fields, VPD keywords.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "cli/device_queries.h"

using namespace zelt::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    (void)zeltnvm_parse_installed_pkg_ver(bytes);
    zelt_fru_fields fru;
    (void)zeltnvm_parse_fru(bytes, fru);
    std::string text;
    (void)zeltnvm_parse_vpd_field(bytes, "SN", text);
    (void)zeltnvm_parse_vpd_field(bytes, "PN", text);
    return 0;
}
