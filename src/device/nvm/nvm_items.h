// NVM items on the adapter: reading, modifying, creating and writing items, raw block
// fills and defragmentation.
//
// Item data of an ordinary interface moves through the Ethernet driver (ethtool);
// for a name that reaches the function through its PCI memory window
// ("zelt_pci_dev:...") it moves by firmware message. zeltnvmReadItem makes that choice
// itself; the other callers test zeltnvmItemGoesByMessage. Directory lookups,
// creation, whole-item writes, fills and defragmentation always go by message.
//
// Results are 0 on success (zeltnvmReadItem: the data length), a negative hvxretval,
// or a positive channel result (firmware error code, errno value, raw cmd_err).
#pragma once

#include <cstdint>

#include "common/directory_entry.h"

// Piece sizes of message reads and modifies: large pieces through the firmware-channel
// device, small ones through the PCI mailbox or in recovery mode.
inline constexpr uint32_t ZELTNVM_MSG_PIECE_CHANNEL = 65536;
inline constexpr uint32_t ZELTNVM_MSG_PIECE_SMALL = 4096;
// Largest piece of a raw block fill.
inline constexpr uint32_t ZELTNVM_RAW_FILL_PIECE = 4096;

// True when item data of `dev` moves by firmware message instead of the driver.
bool zeltnvmItemGoesByMessage(const char* dev);

// The piece size for message reads and modifies: ZELTNVM_MSG_PIECE_CHANNEL when
// /dev/zelt_lfc can be opened and recovery mode is off, else ZELTNVM_MSG_PIECE_SMALL.
uint32_t zeltnvmMessagePieceSize();

// Finds the item, refuses with -4 when `length` is smaller than its data length
// (nothing is read), reads its data_length bytes from offset 0 and, with `verify`,
// checks the image against its entry (that failure returned). Returns the data length.
// `entry` (optional) receives the directory entry. A read that fails with a positive
// channel result gives HVXRETVAL_FAILURE, so that a failure never reads as a length.
int32_t zeltnvmReadItem(const char* dev, uint16_t type, uint16_t ordinal, uint16_t ext, uint8_t* data,
                        uint32_t length, int verify, zelnvm_directory_entry_t* entry);

// Reads `length` bytes of the item at directory `index` from byte `offset` by message,
// in pieces of zeltnvmMessagePieceSize(). A failed piece stops with its result; the
// pieces before it are already copied. Allocation failure: -3.
int32_t zeltnvm_linux_GetItem(const char* dev, uint32_t index, uint32_t offset, uint8_t* data, uint32_t length);

// Overwrites `length` bytes of the existing item at `index` from byte `offset`, in
// pieces of zeltnvmMessagePieceSize(). A failed piece stops with its result; the
// pieces before it stay written. Allocation failure: -1.
int32_t zeltnvm_modify_nvm(const char* dev, uint32_t index, uint32_t offset, const uint8_t* data, uint32_t length);

// Creates an empty item of `length` allocated bytes.
int32_t zeltnvmCreateItem(const char* dev, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                          uint32_t length);

// Writes a whole item in one message: `data_len` bytes of `src`, `item_len` bytes
// allocated, with the firmware's `option` and `flags` words. The first is used for FRU
// data, the second for VPD.
int32_t zeltnvm_write_nvm_dir(const char* dev, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                              uint16_t option, const uint8_t* src, uint32_t data_len, uint32_t item_len,
                              uint16_t flags);
int32_t zeltnvm_update_vpd_data(const char* dev, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                                uint16_t option, const uint8_t* src, uint32_t data_len, uint32_t item_len,
                                uint16_t flags);

// Writes an item by message: modifies it from offset 0 when it exists, else creates it
// with `length` allocated bytes and `attr`, looks it up again and modifies that.
int32_t zeltnvm_linux_WriteItem(const char* dev, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                                const uint8_t* data, uint32_t length);

// Fills raw NVM bytes from `offset` with `pattern`: the length rounded up to a multiple
// of 4, in pieces of at most ZELTNVM_RAW_FILL_PIECE bytes. The function is given by
// its PCI address. A range that passes the 32-bit NVM address space: -10.
int32_t zeltnvm_erase_nvm_blk(const char* dev, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function,
                              uint32_t offset, uint32_t length, uint8_t pattern);

// Moves the NVM's items together so that its free space forms one run.
int32_t zeltnvm_defragment_nvm(const char* dev);
