// The supported-device table's shape (the counts other code and the simulated host rely
// on) and the lookups' fall-back rules.
#include "common/supported_devices.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

using namespace zelt;

namespace {

struct IdFacts {
    uint16_t type;
    uint8_t function_type;
    std::string chip;
};

TEST(SupportedDevices, TableShape) {
    EXPECT_EQ(device_info_list[ZELT_DEVICE_TABLE_ROWS].device_id, 0);
    EXPECT_STREQ(device_info_list[ZELT_DEVICE_TABLE_ROWS].part_number, "");
    EXPECT_STREQ(device_info_list[ZELT_DEVICE_TABLE_ROWS].chip_number, "");

    std::map<uint16_t, IdFacts> ids;
    std::set<std::pair<uint16_t, uint16_t>> boards;
    int own_subsys_rows = 0;
    for (const device_info& row : zeltnvm_supported_devices()) {
        ASSERT_NE(row.device_id, 0);
        ASSERT_GE(row.device_type, ZELT_DEVICE_TYPE_MIN);
        ASSERT_LE(row.device_type, ZELT_DEVICE_TYPE_MAX);
        ASSERT_LT(std::strlen(row.part_number), sizeof row.part_number);
        ASSERT_LT(std::strlen(row.chip_number), sizeof row.chip_number);
        EXPECT_TRUE(boards.insert({row.device_id, row.subsys_device_id}).second)
            << "duplicate board row " << std::hex << row.device_id << ":" << row.subsys_device_id;
        if (row.subsys_device_id == row.device_id) ++own_subsys_rows;
        auto [it, fresh] = ids.try_emplace(row.device_id, IdFacts{row.device_type, row.function_type, row.chip_number});
        if (!fresh) {
            // Every row of one id agrees on type, function type and chip.
            EXPECT_EQ(it->second.type, row.device_type) << std::hex << row.device_id;
            EXPECT_EQ(it->second.function_type, row.function_type) << std::hex << row.device_id;
            EXPECT_EQ(it->second.chip, row.chip_number) << std::hex << row.device_id;
        }
    }
    EXPECT_EQ(own_subsys_rows, 51);
    EXPECT_EQ(ids.size(), 65u);

    std::map<int, int> per_type;
    int pfs = 0, vfs = 0;
    for (const auto& [id, facts] : ids) {
        ++per_type[facts.type];
        (facts.function_type == ZELT_FUNCTION_PF ? pfs : vfs)++;
    }
    EXPECT_EQ(pfs, 45);
    EXPECT_EQ(vfs, 20);
    const std::map<int, int> expected{{1, 1}, {2, 11}, {3, 6}, {4, 13}, {5, 12}, {6, 8}, {8, 13}, {9, 1}};
    EXPECT_EQ(per_type, expected);

    EXPECT_EQ(zeltnvm_table_device_type(ZELT_ACCESS_CHECK_DEVICE_ID), 6);
    EXPECT_EQ(zeltnvm_get_func_type(ZELT_ACCESS_CHECK_DEVICE_ID), ZELT_FUNCTION_PF);
}

TEST(SupportedDevices, Lookups) {
    // 0x5202 has board rows only; 0x5201 has its own-id row first.
    struct Case {
        uint16_t device_id;
        uint16_t subsys;
        const char* part;
        const char* chip;
        int func_type;
        int device_type;
    };
    const Case cases[] = {
        {0x5201, 0xa101, "OA201-2P25G-B", "HVX5B2010", 0, 2},  // exact board
        {0x5201, 0x1234, "OA201", "HVX5B2010", 0, 2},          // unknown board: first row of the id
        {0x5202, 0x5202, "OA202-2P10G-A", "HVX5B2021", 0, 2},  // no own-id row: first row of the id
        {0x98f1, 0x98f1, "OA8V1", "HVX9K8901", 1, 8},          // a VF
        {0x1234, 0x1234, "", "", -1, -1},                      // not supported
        {0x0000, 0x0000, "", "", -1, -1},                      // the terminator is no row
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.device_id << ":" << c.subsys);
        EXPECT_STREQ(zeltnvm_table_part_number(c.device_id, c.subsys), c.part);
        EXPECT_STREQ(zeltnvm_table_chip_number(c.device_id), c.chip);
        EXPECT_EQ(zeltnvm_get_func_type(c.device_id), c.func_type);
        EXPECT_EQ(zeltnvm_table_device_type(c.device_id), c.device_type);
    }
}

TEST(SupportedDevices, VirtualFunctionIds) {
    EXPECT_EQ(zeltnvm_vf_device_id(0x9803), 0x98f1);
    EXPECT_EQ(zeltnvm_vf_device_id(0x5101), 0);  // type 1 has no VF id
    EXPECT_EQ(zeltnvm_vf_device_id(0x98f1), 0);  // not a PF
    EXPECT_EQ(zeltnvm_vf_device_id(0x1234), 0);
    EXPECT_EQ(zeltnvm_table_device_type(zeltnvm_vf_device_id(0x7402)), 4);
}

}  // namespace
