#include "device/nvm/nvm_directory.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/hvxretval.h"
#include "transport/function.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/nvm_directory.h"

using namespace zelt;

using zelt::Result;
using zelt::ResultOr;
using zelt::transport::exchange;
using zelt::transport::Function;
using zelt::transport::HwrmData;

namespace {

// The largest raw directory answer accepted: guards the buffer size against a
// nonsensical count or entry length.
constexpr uint64_t kMaxDirectoryAnswerBytes = 16u * 1024u * 1024u;

zelnvm_directory_entry_t entryFromWire(const uint8_t* bytes) {
    zelnvm_directory_entry_t e;
    std::memcpy(&e, bytes, sizeof e);
    e.type = le16_to_cpu(e.type);
    e.ordinal = le16_to_cpu(e.ordinal);
    e.ext = le16_to_cpu(e.ext);
    e.attr = le16_to_cpu(e.attr);
    e.item_location = le32_to_cpu(e.item_location);
    e.item_length = le32_to_cpu(e.item_length);
    e.data_length = le32_to_cpu(e.data_length);
    e.data_chksum = le32_to_cpu(e.data_chksum);
    return e;
}

// Reads the raw directory into a zero-filled buffer of at least `size` bytes.
Result readRaw(const Function& fn, uint32_t size, std::unique_ptr<uint8_t[]>& buf, uint32_t& count,
               uint32_t& entry_size) {
    buf.reset(new (std::nothrow) uint8_t[size]());
    if (!buf) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    return zelt::device::zeltnvm_linux_GetDirEntries(fn, &count, &entry_size, buf.get(), size);
}

}  // namespace

namespace zelt::device {

Result zeltnvm_linux_GetDirEntries(const Function& fn, uint32_t* count, uint32_t* entry_size, uint8_t* entries,
                                   uint32_t size) {
    hwrm_nvm_get_dir_info_input info_req{};
    hwrm_nvm_get_dir_info_output info{};
    Result rc = exchange(fn, HWRM_NVM_GET_DIR_INFO, info_req, info);
    if (!rc.ok()) return rc;
    const uint32_t n = le32_to_cpu(info.entries);
    const uint32_t len = le32_to_cpu(info.entry_length);
    if (count) *count = n;
    if (entry_size) *entry_size = len;
    if (n == 0) return Result::tool(HVXRETVAL_FAILURE);
    if (len < sizeof(zelnvm_directory_entry_t)) return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
    if (static_cast<uint64_t>(n) * len > size) return Result::tool(HVXRETVAL_INSUFFICIENT_SPACE);
    if (!entries) return Result::tool(HVXRETVAL_INVALID_POINTER_PARAMETER);

    hwrm_nvm_get_dir_entries_input req{};
    hwrm_nvm_get_dir_entries_output resp{};
    HwrmData data{entries, size, HWRM_DMA_ADDR_OFFSET, 1};
    return exchange(fn, HWRM_NVM_GET_DIR_ENTRIES, req, resp, &data);
}

ResultOr<std::vector<zelnvm_directory_entry_t>> zeltnvmListDirectory(const Function& fn) {
    std::unique_ptr<uint8_t[]> buf;
    uint32_t size = ZEL_DIR_ANSWER_BUFFER_SIZE;
    uint32_t count = 0;
    uint32_t stride = 0;
    Result rc = readRaw(fn, size, buf, count, stride);
    if (rc.is(HVXRETVAL_INSUFFICIENT_SPACE)) {
        // A directory larger than the usual buffer: read it again into one that holds it.
        const uint64_t need = static_cast<uint64_t>(count) * stride;
        if (need > kMaxDirectoryAnswerBytes) return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
        size = static_cast<uint32_t>(need);
        rc = readRaw(fn, size, buf, count, stride);
    }
    if (!rc.ok()) return rc;
    std::vector<zelnvm_directory_entry_t> entries;
    rc = zeltnvmParseDirectory(buf.get(), size, count, stride, entries);
    if (!rc.ok()) return rc;
    return entries;
}

Result zeltnvmParseDirectory(const uint8_t* raw, size_t raw_size, uint32_t count, uint32_t entry_size,
                             std::vector<zelnvm_directory_entry_t>& entries) {
    if (entry_size < sizeof(zelnvm_directory_entry_t)) return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
    if (!raw || static_cast<uint64_t>(count) * entry_size > raw_size) return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
    try {
        entries.reserve(entries.size() + count);
    } catch (const std::bad_alloc&) {
        return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    }
    for (uint32_t i = 0; i < count; ++i) entries.push_back(entryFromWire(raw + static_cast<size_t>(i) * entry_size));
    return Result();
}

ResultOr<uint32_t> zeltnvmFindDirEntry(const std::vector<zelnvm_directory_entry_t>& entries, uint16_t type,
                                       uint16_t ordinal, uint16_t ext, zelnvm_directory_entry_t* entry) {
    if (entry) std::memset(entry, 0, sizeof *entry);
    if (entries.size() > ZELTNVM_DIR_LOOKUP_MAX_ENTRIES) return Result::tool(HVXRETVAL_INSUFFICIENT_SPACE);
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        if (e.type == type && e.ordinal == ordinal && e.ext == ext) {
            if (entry) *entry = e;
            return static_cast<uint32_t>(i);
        }
    }
    return Result::tool(HVXRETVAL_ITEM_NOT_FOUND);
}

ResultOr<uint32_t> zeltnvmGetDirEntry(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                                      zelnvm_directory_entry_t* entry) {
    if (entry) std::memset(entry, 0, sizeof *entry);
    const auto dir = zeltnvmListDirectory(fn);
    if (!dir.ok()) return dir.result();
    return zeltnvmFindDirEntry(*dir, type, ordinal, ext, entry);
}

std::string zeltnvmExtensionFlags(uint16_t ext) {
    std::string s;
    if (ext & ZEL_DIR_EXT_INACTIVE) s += "Inactive ";
    if (ext & ZEL_DIR_EXT_UPDATE) s += "Update ";
    return s;
}

std::string zeltnvmAttributeFlags(uint16_t attr) {
    static constexpr struct {
        uint16_t bit;
        const char* text;
    } kFlags[] = {{ZEL_DIR_ATTR_NO_CHKSUM, "No-Chksum "},
                  {ZEL_DIR_ATTR_PROP_STREAM, "Prop-Stream "},
                  {ZEL_DIR_ATTR_IPV4, "IPv4 "},
                  {ZEL_DIR_ATTR_IPV6, "IPv6 "},
                  {ZEL_DIR_ATTR_TRAILER, "Trailer "}};
    std::string s;
    for (const auto& f : kFlags)
        if (attr & f.bit) s += f.text;
    return s;
}

}  // namespace zelt::device
