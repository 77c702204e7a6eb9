// File helpers of the front end and the handlers. Paths are paths of the host given:
// absolute paths are taken under the simulated root on the simulated host, relative
// paths stay relative to the working directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace zelt::host {
class Host;
}  // namespace zelt::host

namespace zelt {

// Results of zeltnvm_read_file_data besides 0.
constexpr int ZELT_READ_OPEN_FAILED = 9;
constexpr int ZELT_READ_NO_MEMORY = 6;
constexpr int ZELT_READ_EMPTY_OR_SHORT = 51;

// fopen(3) of a host path; nullptr when `name` or `mode` is missing or the open fails.
FILE* zeltnvm_file_open(host::Host& host, const char* name, const char* mode);
// Closes a file from zeltnvm_file_open; nothing for nullptr.
void zeltnvm_file_close(FILE* file);

// Removes a file. With `report_deleted` (the run is verbose), a removal is reported as
// "zeltnvm_delete_file: <name> deleted". Returns 0, or -1 when it could not be removed.
int zeltnvm_delete_file(host::Host& host, const char* name, bool report_deleted);

// Reads a whole file. `result` (optional) receives 0, ZELT_READ_OPEN_FAILED,
// ZELT_READ_EMPTY_OR_SHORT or ZELT_READ_NO_MEMORY; `size` (optional) the number of
// bytes read. The data is returned only on success (empty otherwise).
std::vector<uint8_t> zeltnvm_read_file_data(host::Host& host, const char* name, const char* mode, size_t* size,
                                            int* result);

}  // namespace zelt
