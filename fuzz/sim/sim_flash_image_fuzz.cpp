// Runs the flash model over arbitrary flash contents: a directory area written by raw
// block fills can hold anything, and no entry may lead outside the flash.
#include <cstdint>
#include <cstring>
#include <vector>

#include "sim/flash/flash_model.h"

using namespace zelt;

using zelt::sim::FlashModel;
using zelt::sim::FlashStatus;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(FlashModel::kDirectoryBytes + 8 * FlashModel::kBlock, 0xFF);
    FlashModel flash(bytes);
    flash.format();
    // The input overwrites the directory area (after a valid header, so entries count).
    size_t n = std::min(size, size_t{FlashModel::kDirectoryBytes - 8});
    std::memcpy(bytes.data() + 8, data, n);
    uint32_t count = flash.entry_count();
    std::vector<uint8_t> buf(64);
    for (uint32_t i = 0; i < count; ++i) {
        zelnvm_directory_entry_t e = flash.entry(i);
        flash.read(i, e.data_length % 4096, buf);
        flash.modify(i, e.data_length % 4096, buf);
    }
    (void)flash.raw_directory();
    (void)flash.free_bytes();
    (void)flash.largest_free_run();
    uint32_t index;
    flash.create(2, 0, 0, 0, 3 * FlashModel::kBlock, index);
    flash.write(5, 1, 0, 0, buf, 0, index);
    flash.defragment();
    for (uint32_t i = 0; i < flash.entry_count(); ++i) flash.erase_entry(i);
    return 0;
}
