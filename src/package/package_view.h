// The detailed report of a package file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelt {

// Appends the report of a package to `out`: file and stream lengths, properties, the
// checksum, manifest facts and, with verbosity 1 and above or a type filter (a
// directory type; 0 for none, -1 for all), the item records with their versions and
// contents. Returns 0 or the failure that ended the report: the header results, a
// manifest failure, FAILURE for more than 64 items, INVALID_DATA_LENGTH for item data
// outside the package, or the failure of an item's content report.
int32_t zelpkgView(const void* pkg, size_t length, int type_filter, unsigned verbosity, std::string& out);

}  // namespace zelt
