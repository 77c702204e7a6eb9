#include "log/file_helpers.h"

#include <new>

#include "host/host.h"
#include "log/print.h"

namespace zelt {

FILE* zeltnvm_file_open(host::Host& host, const char* name, const char* mode) {
    if (!name || !mode) return nullptr;
    return host.open_file(name, mode);
}

void zeltnvm_file_close(FILE* file) {
    if (file) std::fclose(file);
}

int zeltnvm_delete_file(host::Host& host, const char* name, bool report_deleted) {
    if (!name) return -1;
    if (!host.remove_file(name)) return -1;
    if (report_deleted) zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "%s: %s deleted\n", "zeltnvm_delete_file", name);
    return 0;
}

std::vector<uint8_t> zeltnvm_read_file_data(host::Host& host, const char* name, const char* mode, size_t* size,
                                            int* result) {
    std::vector<uint8_t> data;
    auto finish = [&](int rc, size_t n) {
        if (size) *size = n;
        if (result) *result = rc;
        if (rc != 0) std::vector<uint8_t>().swap(data);
        return std::move(data);
    };
    FILE* f = zeltnvm_file_open(host, name, mode ? mode : "rb");
    if (!f) return finish(ZELT_READ_OPEN_FAILED, 0);
    // Read until the end instead of trusting the reported size: procfs and sysfs
    // files report sizes that are not their content's.
    int rc = 0;
    try {
        uint8_t chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
        if (std::ferror(f) || data.empty()) rc = ZELT_READ_EMPTY_OR_SHORT;
    } catch (const std::bad_alloc&) {
        rc = ZELT_READ_NO_MEMORY;
    }
    std::fclose(f);
    return finish(rc, rc == 0 ? data.size() : 0);
}

}  // namespace zelt
