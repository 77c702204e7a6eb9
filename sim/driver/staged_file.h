// A package staged in the firmware directory, mapped read-only for the one request that
// loads it: the driver hands the page-cache bytes to the flash write as they are,
// without reading tens of megabytes into a cleared buffer first.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace zelt::sim {

class StagedFile {
public:
    // Null when the path does not name a regular file (a link is not followed) or the
    // file cannot be mapped. An empty file has no bytes.
    static std::unique_ptr<StagedFile> open(const std::string& path);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    std::span<const uint8_t> bytes() const { return {base_, size_}; }

private:
    StagedFile(const uint8_t* base, size_t size) : base_(base), size_(size) {}
    const uint8_t* base_;
    size_t size_;
};

}  // namespace zelt::sim
