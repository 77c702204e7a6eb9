// Install log text read from an adapter: report and trim, entry formatting, field lookup.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/installer/installer.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> reports;
    const size_t limit = size > 0 ? data[0] * 32u : 4096u;
    std::string text = zelt::device::zeltnvmUpdatePackageLogText("eth0", data, size, limit, reports);
    if (text.size() > limit) __builtin_trap();
    for (int field = 0; field <= ZEL_PKG_LOG_FIELD_IDX_REPORT_FLAG; ++field) {
        std::string v;
        if (zeltnvmPackageLogField(field, data, size, &v) && v.size() > ZELT_PKG_LOG_FIELD_MAX) __builtin_trap();
    }
    std::string entry(reinterpret_cast<const char*>(data), size);
    std::string out;
    zelt::device::Format_Log_string("eth0", entry.c_str(), out);
    return 0;
}
