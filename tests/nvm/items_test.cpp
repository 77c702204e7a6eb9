// Item reads, modifies, creation, writes and raw fills against the simulated adapter:
// the bytes that end up in the flash and the pieces the drivers received.
#include <gtest/gtest.h>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/nvm/item_bounds.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "device/pci_window_channel.h"
#include "tests/nvm/nvm_fixture.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "tests/support/installed_host.h"

namespace zelt::test {
namespace {

class Items : public NvmOnSimHost {
protected:
    // The length a read gave, or its failure's integer.
    static int32_t lengthOrCode(const ResultOr<size_t>& r) {
        return r.ok() ? static_cast<int32_t>(*r) : r.result().code();
    }
    template <class In>
    std::vector<uint32_t> pieceLengths(uint16_t req_type) {
        std::vector<uint32_t> out;
        for (const auto& r : requests("lfc", req_type)) out.push_back(record<In>(r).len);
        return out;
    }
    static std::vector<uint32_t> pieces(uint32_t total, uint32_t piece) {
        std::vector<uint32_t> out;
        for (; total > piece; total -= piece) out.push_back(piece);
        out.push_back(total);
        return out;
    }
};

// The largest length the adapter may claim for an item is taken; one byte more is a
// damaged entry.
TEST(ItemBounds, TheLargestItemIsTakenAndOneByteMoreRefused) {
    struct Case {
        uint16_t type;
        uint64_t length;
        int32_t code;
    } cases[] = {
        {ZEL_DIR_TYPE_PKG_LOG, device::ZELTNVM_PKG_LOG_ITEM_MAX, 0},
        {ZEL_DIR_TYPE_PKG_LOG, device::ZELTNVM_PKG_LOG_ITEM_MAX + 1ull, HVXRETVAL_INVALID_DATA_LENGTH},
        {ZEL_DIR_TYPE_VPD, device::ZELTNVM_NVM_SIZE_CEILING, 0},
        {ZEL_DIR_TYPE_VPD, device::ZELTNVM_NVM_SIZE_CEILING + 1ull, HVXRETVAL_INVALID_DATA_LENGTH},
    };
    for (const Case& c : cases)
        EXPECT_EQ(device::check_item_length(c.type, c.length).code(), c.code) << c.type << " " << c.length;
}

TEST_F(Items, ReadItemReadsTheWholeItemThroughTheDriverAndVerifiesIt) {
    zelnvm_directory_entry_t e;
    const int32_t index = indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_BOOTCODE, 0, 0, &e));
    ASSERT_GE(index, 0);
    const auto expected = readFlashItem(static_cast<uint32_t>(index), 0, e.data_length);
    clearRequests();

    std::vector<uint8_t> data(e.data_length);
    zelnvm_directory_entry_t got;
    EXPECT_EQ(lengthOrCode(device::zeltnvmReadItem(fn(), ZEL_DIR_TYPE_BOOTCODE, 0, 0, data.data(), e.data_length, 1, &got)),
              static_cast<int32_t>(e.data_length));
    EXPECT_EQ(data, expected);
    EXPECT_EQ(got.data_length, e.data_length);
    EXPECT_FALSE(requests("ethtool").empty());
    EXPECT_TRUE(requests("lfc", HWRM_NVM_READ).empty());
}

TEST_F(Items, ReadItemRefusesAShortBufferAndReadsNothing) {
    zelnvm_directory_entry_t e;
    ASSERT_GE(indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_VPD, 0, 0, &e)), 0);
    clearRequests();
    std::vector<uint8_t> data(e.data_length, 0x5A);
    EXPECT_EQ(lengthOrCode(device::zeltnvmReadItem(fn(), ZEL_DIR_TYPE_VPD, 0, 0, data.data(), e.data_length - 1, 0, nullptr)),
              HVXRETVAL_INSUFFICIENT_SPACE);
    EXPECT_TRUE(requests("ethtool").empty());
    EXPECT_EQ(data, std::vector<uint8_t>(e.data_length, 0x5A));
    EXPECT_EQ(lengthOrCode(device::zeltnvmReadItem(fn(), ZEL_DIR_TYPE_VPD, 9, 0, data.data(), e.data_length, 0, nullptr)),
              HVXRETVAL_ITEM_NOT_FOUND);
}

TEST_F(Items, ReadItemReportsADriverFailureAsAFailureNotALength) {
    // The driver refuses with EACCES, which the ethtool channel returns as 3.
    sim::FaultDesc denied;
    denied.kind = "ethtool_errno";
    denied.ethtool_cmd = 0x0B;  // GEEPROM
    denied.err_no = EACCES;
    schedule({denied});
    std::vector<uint8_t> data(1 << 20);
    EXPECT_EQ(lengthOrCode(device::zeltnvmReadItem(fn(), ZEL_DIR_TYPE_VPD, 0, 0, data.data(), static_cast<uint32_t>(data.size()), 0,
                              nullptr)),
              HVXRETVAL_FAILURE);
}

TEST_F(Items, MessageReadsAndModifiesMoveInPiecesByRoad) {
    // The mailbox of a function reached through its PCI window takes small pieces;
    // the firmware channel of a driver's function large ones.
    EXPECT_EQ(device::PciWindowChannel(zelt::test::current_host()).message_piece_size(), device::ZELTNVM_MSG_PIECE_SMALL);
    constexpr uint32_t kLength = 70000;
    constexpr uint32_t kPiece = 65536;
    ASSERT_EQ(fn().channel->message_piece_size(), kPiece);
    const uint32_t index = createItem(ZEL_DIR_TYPE_MGMT_DATA, 0, 80000);
    const auto data = pattern(kLength, 1);
    clearRequests();
    ASSERT_EQ(device::zeltnvm_modify_nvm(fn(), index, 100, data.data(), kLength).code(), 0);
    EXPECT_EQ(pieceLengths<hwrm_nvm_modify_input>(HWRM_NVM_MODIFY), pieces(kLength, kPiece));
    EXPECT_EQ(readFlashItem(index, 100, kLength), data);

    std::vector<uint8_t> back(kLength);
    clearRequests();
    ASSERT_EQ(device::zeltnvm_linux_GetItem(fn(), index, 100, back.data(), kLength).code(), 0);
    EXPECT_EQ(back, data);
    const auto reads = requests("lfc", HWRM_NVM_READ);
    EXPECT_EQ(pieceLengths<hwrm_nvm_read_input>(HWRM_NVM_READ), pieces(kLength, kPiece));
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(record<hwrm_nvm_read_input>(reads.back()).offset, 100 + kLength - kLength % kPiece);
    EXPECT_EQ(record<hwrm_nvm_read_input>(reads.back()).dir_idx, index);
}

TEST_F(Items, AModifyFailingPartWayKeepsTheEarlierPieces) {
    const uint32_t index = createItem(ZEL_DIR_TYPE_MGMT_DATA, 0, 3 * 65536);
    const auto before = readFlashItem(index, 65536, 65536);
    sim::FaultDesc refuse;
    refuse.kind = "hwrm_error";
    refuse.req_type = HWRM_NVM_MODIFY;
    refuse.error_code = 2;
    refuse.nth = 2;
    schedule({refuse});
    const auto data = pattern(2 * 65536, 9);
    EXPECT_EQ(device::zeltnvm_modify_nvm(fn(), index, 0, data.data(), 2 * 65536).code(), 2);
    EXPECT_EQ(readFlashItem(index, 0, 65536), std::vector<uint8_t>(data.begin(), data.begin() + 65536));
    EXPECT_EQ(readFlashItem(index, 65536, 65536), before);
}

TEST_F(Items, WriteItemByMessageModifiesAnExistingItemOrCreatesOne) {
    const uint32_t existing = createItem(ZEL_DIR_TYPE_MGMT_DATA, 1, 4096);
    struct Case {
        uint16_t ordinal;
        bool exists;
    } cases[] = {{1, true}, {2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ordinal);
        const auto data = pattern(3000, static_cast<uint8_t>(c.ordinal));
        clearRequests();
        ASSERT_EQ(device::zeltnvm_linux_WriteItem(fn(), ZEL_DIR_TYPE_MGMT_DATA, c.ordinal, 0, ZEL_DIR_ATTR_NO_CHKSUM,
                                          data.data(), 3000).code(),
                  0);
        zelnvm_directory_entry_t e;
        const int32_t index = indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_MGMT_DATA, c.ordinal, 0, &e));
        ASSERT_GE(index, 0);
        EXPECT_EQ(readFlashItem(static_cast<uint32_t>(index), 0, 3000), data);
        const auto writes = requests("lfc", HWRM_NVM_WRITE);
        if (c.exists) {
            EXPECT_EQ(static_cast<uint32_t>(index), existing);
            EXPECT_TRUE(writes.empty());
        } else {
            ASSERT_EQ(writes.size(), 1u);
            const auto req = record<hwrm_nvm_write_input>(writes[0]);
            EXPECT_EQ(req.dir_item_length, 3000u);
            EXPECT_EQ(req.host_src_addr, 0u);
            EXPECT_EQ(e.attr, ZEL_DIR_ATTR_NO_CHKSUM);
            EXPECT_EQ(e.item_length, 3000u);
        }
    }
}

TEST_F(Items, WholeItemWritesCarryDataAndSizes) {
    const auto fru = pattern(700, 3);
    ASSERT_EQ(device::zeltnvm_write_nvm_dir(fn(), ZEL_DIR_TYPE_FRU, 0, 0, 0, 0, fru.data(), 700, 1024, 0).code(), 0);
    zelnvm_directory_entry_t e;
    const int32_t index = indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_FRU, 0, 0, &e));
    ASSERT_GE(index, 0);
    EXPECT_EQ(e.data_length, 700u);
    EXPECT_EQ(e.item_length, 1024u);
    EXPECT_EQ(readFlashItem(static_cast<uint32_t>(index), 0, 700), fru);

    ASSERT_EQ(device::zeltnvmCreateItem(fn(), ZEL_DIR_TYPE_MGMT_WEB_DATA, 4, 0, ZEL_DIR_ATTR_IPV4, 5000).code(), 0);
    ASSERT_GE(indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_MGMT_WEB_DATA, 4, 0, &e)), 0);
    EXPECT_EQ(e.item_length, 5000u);
    EXPECT_EQ(e.data_length, 0u);
    EXPECT_EQ(e.attr, ZEL_DIR_ATTR_IPV4);
}

// Through the PCI mailbox the data follows the request as a payload; the item must end
// up holding it, never an empty item of the asked size.
TEST_F(Items, WholeItemWriteThroughThePciMailboxKeepsItsData) {
    const PciAddress at{0, 3, 0, 0};
    const transport::Function window{transport::pci_window_name(at), at,
                                     std::make_shared<device::PciWindowChannel>(zelt::test::current_host())};
    const auto fru = pattern(701, 5);
    ASSERT_EQ(device::zeltnvm_write_nvm_dir(window, ZEL_DIR_TYPE_FRU, 0, 0, 0, 0, fru.data(), 701, 1024, 0).code(), 0);
    zelnvm_directory_entry_t e;
    const int32_t index = indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_FRU, 0, 0, &e));
    ASSERT_GE(index, 0);
    EXPECT_EQ(e.data_length, 701u);
    EXPECT_EQ(e.item_length, 1024u);
    EXPECT_EQ(readFlashItem(static_cast<uint32_t>(index), 0, 701), fru);
    std::vector<uint8_t> back(701);
    ASSERT_EQ(device::zeltnvm_linux_GetItem(window, static_cast<uint32_t>(index), 0, back.data(), 701).code(), 0);
    EXPECT_EQ(back, fru);
}

TEST_F(Items, RawFillRoundsUpToWholeWordsInPiecesOfAtMost4096) {
    struct Case {
        uint32_t length;
        std::vector<uint32_t> pieces;
    } cases[] = {{5, {8}}, {4096, {4096}}, {10001, {4096, 4096, 1812}}};
    const uint32_t index = createItem(ZEL_DIR_TYPE_MGMT_DATA, 0, 16384);
    zelnvm_directory_entry_t e;
    ASSERT_EQ(indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_MGMT_DATA, 0, 0, &e)), static_cast<int32_t>(index));
    uint8_t fill = 0x10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        ++fill;
        clearRequests();
        ASSERT_EQ(zelt::device::zeltnvm_erase_nvm_blk(fn(),
                                                      e.item_location, c.length, fill)
                      .code(),
                  0);
        const auto reqs = requests("lfc", HWRM_NVM_RAW_WRITE_BLK);
        std::vector<uint32_t> lengths;
        uint32_t next = e.item_location;
        for (const auto& r : reqs) {
            const auto req = record<hwrm_nvm_raw_write_blk_input>(r);
            EXPECT_EQ(req.dest_addr, next);
            next += req.len;
            lengths.push_back(req.len);
        }
        EXPECT_EQ(lengths, c.pieces);
        const uint32_t filled = (c.length + 3) & ~3u;
        auto bytes = readFlashItem(index, 0, filled + 4);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + filled), std::vector<uint8_t>(filled, fill));
        EXPECT_NE(bytes[filled], fill);
    }
}

TEST_F(Items, PciWindowFunctionsNeverUseTheDriverOrTheFirmwareChannel) {
    const PciAddress at{0, 3, 0, 0};
    const transport::Function window{transport::pci_window_name(at), at,
                                     std::make_shared<device::PciWindowChannel>(zelt::test::current_host())};
    std::vector<uint8_t> data(4096);
    clearRequests();
    (void)device::zeltnvmReadItem(window, ZEL_DIR_TYPE_VPD, 0, 0, data.data(), 4096, 0, nullptr);
    (void)device::zeltnvm_linux_GetItem(window, 1, 0, data.data(), 4096);
    (void)device::zeltnvm_modify_nvm(window, 1, 0, data.data(), 4096);
    EXPECT_TRUE(requests("ethtool").empty());
    EXPECT_TRUE(requests("lfc").empty());
}

}  // namespace
}  // namespace zelt::test
