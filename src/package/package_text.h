// Texts of the package library: result descriptions and item directive names.
#pragma once

#include <cstdint>
#include <string>

namespace zelt {

// Text of a result code.
std::string zelpkgResultDesc(int32_t result);

// Short name of a directive ("Install", "Replace", ...), or nullptr for a value without one.
const char* zelpkgDirectiveName(unsigned directive);

// Description of a directive ("Always-Install", ...), "Unknown" for any other value.
const char* zelpkgDirectiveDesc(unsigned directive);

}  // namespace zelt
