// A package staged in the firmware directory, for the one request that loads it: the
// driver reads it a piece at a time into the flash's staging item. It is never mapped:
// on a virtual machine the first touch of each mapped page costs more than reading
// the bytes through a small buffer does.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "sim/flash/flash_model.h"

namespace zelt::sim {

class StagedFile : public ItemSource {
public:
    // Null when the path does not name a regular file (a link is not followed).
    static std::unique_ptr<StagedFile> open(const std::string& path);
    ~StagedFile() override;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // The size the file had when it was opened.
    uint64_t size() const override { return size_; }
    bool read(uint64_t offset, std::span<uint8_t> out) override;

private:
    StagedFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
    int fd_;
    uint64_t size_;
};

}  // namespace zelt::sim
