// Item creation and whole-item writes, write-by-message with creation, raw block fills
// and defragmentation.
#include <algorithm>
#include <memory>
#include <new>

#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "log/print.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

using namespace zelt;

using zelt::Result;
using zelt::transport::exchange;
using zelt::transport::Function;
using zelt::transport::HwrmData;

namespace {

hwrm_nvm_write_input writeRequest(uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr) {
    hwrm_nvm_write_input req{};
    req.dir_type = cpu_to_le16(type);
    req.dir_ordinal = cpu_to_le16(ordinal);
    req.dir_ext = cpu_to_le16(ext);
    req.dir_attr = cpu_to_le16(attr);
    return req;
}

Result writeWholeItem(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                      uint16_t option, const uint8_t* src, uint32_t data_len, uint32_t item_len, uint16_t flags) {
    if (!src || data_len == 0) return Result::tool(HVXRETVAL_INVALID_LENGTH_PARAMETER);
    hwrm_nvm_write_input req = writeRequest(type, ordinal, ext, attr);
    req.dir_data_length = cpu_to_le32(data_len);
    req.option = cpu_to_le16(option);
    req.flags = cpu_to_le16(flags);
    req.dir_item_length = cpu_to_le32(item_len);
    hwrm_nvm_write_output resp{};
    // The firmware only reads the buffer (host to device).
    HwrmData dma{const_cast<uint8_t*>(src), data_len, HWRM_DMA_ADDR_OFFSET, 0};
    return exchange(fn, HWRM_NVM_WRITE, req, resp, &dma);
}

}  // namespace

namespace zelt::device {

Result zeltnvmCreateItem(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                         uint32_t length) {
    hwrm_nvm_write_input req = writeRequest(type, ordinal, ext, attr);
    req.dir_item_length = cpu_to_le32(length);
    hwrm_nvm_write_output resp{};
    return exchange(fn, HWRM_NVM_WRITE, req, resp);
}

Result zeltnvm_write_nvm_dir(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                             uint16_t option, const uint8_t* src, uint32_t data_len, uint32_t item_len,
                             uint16_t flags) {
    return writeWholeItem(fn, type, ordinal, ext, attr, option, src, data_len, item_len, flags);
}

Result zeltnvm_update_vpd_data(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                               uint16_t option, const uint8_t* src, uint32_t data_len, uint32_t item_len,
                               uint16_t flags) {
    return writeWholeItem(fn, type, ordinal, ext, attr, option, src, data_len, item_len, flags);
}

Result zeltnvm_linux_WriteItem(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                               const uint8_t* data, uint32_t length) {
    auto index = zeltnvmGetDirEntry(fn, type, ordinal, ext, nullptr);
    if (index.result().is(HVXRETVAL_ITEM_NOT_FOUND)) {
        const Result rc = zeltnvmCreateItem(fn, type, ordinal, ext, attr, length);
        if (!rc.ok()) return rc;
        index = zeltnvmGetDirEntry(fn, type, ordinal, ext, nullptr);
    }
    if (!index.ok()) return index.result();
    return zeltnvm_modify_nvm(fn, *index, 0, data, length);
}

Result zeltnvm_erase_nvm_blk(const Function& fn, uint32_t offset, uint32_t length, uint8_t pattern) {
    const uint64_t total = (static_cast<uint64_t>(length) + 3) & ~uint64_t{3};
    if (offset + total > UINT32_MAX + uint64_t{1}) return Result::tool(HVXRETVAL_INVALID_LENGTH_PARAMETER);
    if (total == 0) return Result();
    const auto piece = static_cast<uint32_t>(std::min<uint64_t>(total, ZELTNVM_RAW_FILL_PIECE));
    std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[piece]);
    if (!buf) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s:Malloc Failure\n", "zeltnvm_erase_nvm_blk");
        return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    }
    std::fill_n(buf.get(), piece, pattern);
    for (uint64_t done = 0; done < total;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(piece, total - done));
        hwrm_nvm_raw_write_blk_input req{};
        req.dest_addr = cpu_to_le32(static_cast<uint32_t>(offset + done));
        req.len = cpu_to_le32(n);
        hwrm_nvm_raw_write_blk_output resp{};
        HwrmData dma{buf.get(), n, HWRM_DMA_ADDR_OFFSET, 0};
        const Result rc = exchange(fn, HWRM_NVM_RAW_WRITE_BLK, req, resp, &dma);
        if (!rc.ok()) return rc;
        done += n;
    }
    return Result();
}

Result zeltnvm_defragment_nvm(const Function& fn) {
    hwrm_nvm_defrag_input req{};
    req.flags = cpu_to_le32(HWRM_NVM_DEFRAG_FLAGS_DEFRAG);
    hwrm_nvm_defrag_output resp{};
    return exchange(fn, HWRM_NVM_DEFRAG, req, resp);
}

}  // namespace zelt::device
