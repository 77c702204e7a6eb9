#include "transport/host_queries.h"

#include <sys/time.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "common/hvxretval.h"
#include "host/host.h"
#include "transport/answer_text.h"

namespace zelt::transport {

Result zeltnvm_get_os_information(host::Host& host, uint32_t* major, uint32_t* minor, char* name) {
    // The release comes from uname(2); no shell and no scratch file are involved.
    host::HostFacts facts = host.facts();
    uint32_t maj = 0, min = 0;
    if (!zeltParseKernelRelease(facts.kernel_release, maj, min)) return Result::tool(HVXRETVAL_FAILURE);
    if (name) std::memcpy(name, "Linux", sizeof "Linux");
    if (major) *major = maj;
    if (minor) *minor = min;
    return Result();
}

Result zeltnvm_get_system_name(host::Host& host, char* name) {
    if (!name) return Result::tool(HVXRETVAL_INVALID_POINTER_PARAMETER);
    host::HostFacts facts = host.facts();
    size_t n = std::min(facts.hostname.size(), ZELT_SYSTEM_NAME_LEN - 1);
    std::memcpy(name, facts.hostname.data(), n);
    name[n] = '\0';
    return Result();
}

Result zeltnvm_get_system_time(host::Host& host, uint16_t* month, uint16_t* year, uint16_t* hour, uint16_t* day,
                               uint16_t* second, uint16_t* minute, int16_t* utc_bias) {
    struct timeval now = host.now();
    struct tm t = host.local_time(now.tv_sec);
    if (month) *month = static_cast<uint16_t>(t.tm_mon + 1);
    if (year) *year = static_cast<uint16_t>(t.tm_year + 1900);
    if (hour) *hour = static_cast<uint16_t>(t.tm_hour);
    if (day) *day = static_cast<uint16_t>(t.tm_mday);
    if (second) *second = static_cast<uint16_t>(t.tm_sec);
    if (minute) *minute = static_cast<uint16_t>(t.tm_min);
    if (utc_bias) *utc_bias = static_cast<int16_t>(t.tm_gmtoff / 60);
    return Result();
}

}  // namespace zelt::transport
