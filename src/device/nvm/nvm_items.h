// NVM items on the adapter: reading, modifying, creating and writing items, raw block
// fills and defragmentation.
//
// Item data moves by the function's channel (transport/channel.h); the operations
// here that say "by message" always go by firmware message: directory lookups,
// creation, piecewise reads and modifies, whole-item writes, fills and
// defragmentation.
#pragma once

#include <cstdint>
#include <cstddef>

#include "common/directory_entry.h"
#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

// Piece size of message reads and modifies through the PCI mailbox.
inline constexpr uint32_t ZELTNVM_MSG_PIECE_SMALL = 4096;
// Largest piece of a raw block fill.
inline constexpr uint32_t ZELTNVM_RAW_FILL_PIECE = 4096;

// Finds the item, refuses with -4 when `length` is smaller than its data length
// (nothing is read), reads its data_length bytes from offset 0 through the function's
// channel and, with `verify`,
// checks the image against its entry (that failure returned). Gives the data length.
// `entry` (optional) receives the directory entry. A read the driver or the firmware
// refuses reads as HVXRETVAL_FAILURE.
ResultOr<size_t> zeltnvmReadItem(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                                 uint8_t* data, uint32_t length, int verify, zelnvm_directory_entry_t* entry);

// Reads `length` bytes of the item at directory `index` from byte `offset` by message,
// in pieces of the channel's message_piece_size(). A failed piece stops with its result; the
// pieces before it are already copied. Allocation failure: -3.
Result zeltnvm_linux_GetItem(const transport::Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                             uint32_t length);

// Overwrites `length` bytes of the existing item at `index` from byte `offset`, in
// pieces of the channel's message_piece_size(). A failed piece stops with its result; the
// pieces before it stay written. Allocation failure: -1.
Result zeltnvm_modify_nvm(const transport::Function& fn, uint32_t index, uint32_t offset, const uint8_t* data,
                          uint32_t length);

// Creates an empty item of `length` allocated bytes.
Result zeltnvmCreateItem(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                         uint32_t length);

// Writes a whole item in one message: `data_len` bytes of `src`, `item_len` bytes
// allocated, with the firmware's `option` and `flags` words. The first is used for FRU
// data, the second for VPD. A full or fragmented NVM is the firmware's answer
// (HWRM_NVM_WRITE_CMD_ERR_NO_SPACE / _FRAG_ERR).
Result zeltnvm_write_nvm_dir(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                             uint16_t attr, uint16_t option, const uint8_t* src, uint32_t data_len, uint32_t item_len,
                             uint16_t flags);
Result zeltnvm_update_vpd_data(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                               uint16_t attr, uint16_t option, const uint8_t* src, uint32_t data_len,
                               uint32_t item_len, uint16_t flags);

// Writes an item by message: modifies it from offset 0 when it exists, else creates it
// with `length` allocated bytes and `attr`, looks it up again and modifies that.
Result zeltnvm_linux_WriteItem(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                               uint16_t attr, const uint8_t* data, uint32_t length);

// Fills raw NVM bytes from `offset` with `pattern`: the length rounded up to a multiple
// of 4, in pieces of at most ZELTNVM_RAW_FILL_PIECE bytes. A range that passes the
// 32-bit NVM address space: -10.
Result zeltnvm_erase_nvm_blk(const transport::Function& fn, uint32_t offset, uint32_t length, uint8_t pattern);

// Moves the NVM's items together so that its free space forms one run.
Result zeltnvm_defragment_nvm(const transport::Function& fn);

}  // namespace zelt::device
