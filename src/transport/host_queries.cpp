#include "transport/host_queries.h"

#include <sys/time.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "common/hvxretval.h"
#include "host/host.h"
#include "transport/answer_text.h"

using namespace zelt;

int32_t zeltnvm_get_os_information(uint32_t* major, uint32_t* minor, char* name) {
    // The release comes from uname(2); no shell and no scratch file are involved.
    zelt::host::HostFacts facts = zelt::host::current().facts();
    uint32_t maj = 0, min = 0;
    if (!zeltParseKernelRelease(facts.kernel_release, maj, min)) return HVXRETVAL_FAILURE;
    if (name) std::memcpy(name, "Linux", sizeof "Linux");
    if (major) *major = maj;
    if (minor) *minor = min;
    return 0;
}

int32_t zeltnvm_get_system_name(char* name) {
    if (!name) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    zelt::host::HostFacts facts = zelt::host::current().facts();
    size_t n = std::min(facts.hostname.size(), ZELT_SYSTEM_NAME_LEN - 1);
    std::memcpy(name, facts.hostname.data(), n);
    name[n] = '\0';
    return 0;
}

int32_t zeltnvm_get_system_time(uint16_t* month, uint16_t* year, uint16_t* hour, uint16_t* day, uint16_t* second,
                                uint16_t* minute, void*, int16_t* utc_bias) {
    auto& host = zelt::host::current();
    struct timeval now = host.now();
    struct tm t = host.local_time(now.tv_sec);
    if (month) *month = static_cast<uint16_t>(t.tm_mon + 1);
    if (year) *year = static_cast<uint16_t>(t.tm_year + 1900);
    if (hour) *hour = static_cast<uint16_t>(t.tm_hour);
    if (day) *day = static_cast<uint16_t>(t.tm_mday);
    if (second) *second = static_cast<uint16_t>(t.tm_sec);
    if (minute) *minute = static_cast<uint16_t>(t.tm_min);
    if (utc_bias) *utc_bias = static_cast<int16_t>(t.tm_gmtoff / 60);
    return 0;
}
