// A new flash image file holds its items exactly as the flash model writes them on an
// erased flash, whether the file is written from nothing or over erased bytes made
// beforehand; and a host whose creation fails leaves nothing of itself behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/create/flash_file.h"
#include "sim/create/host_setup.h"
#include "sim/flash/flash_model.h"
#include "tests/support/run_program.h"

namespace zelt::sim {
namespace {

constexpr uint32_t kBlock = FlashModel::kBlock;
constexpr uint64_t kFlashBytes = FlashModel::kDirectoryBytes + 16 * kBlock;

struct ItemShape {
    uint16_t type, ordinal, ext, attr;
    uint32_t item_length;
    size_t data_bytes;
};

std::vector<NvmItem> items_of(const std::vector<ItemShape>& shapes, std::vector<std::vector<uint8_t>>& data) {
    data.clear();
    for (size_t i = 0; i < shapes.size(); ++i) {
        data.emplace_back(shapes[i].data_bytes);
        for (size_t b = 0; b < data.back().size(); ++b) data.back()[b] = static_cast<uint8_t>(b * 7 + i + 1);
    }
    std::vector<NvmItem> items;
    for (size_t i = 0; i < shapes.size(); ++i) {
        const ItemShape& s = shapes[i];
        items.push_back({s.type, s.ordinal, s.ext, s.attr, s.item_length, data[i], {}, {}});
    }
    return items;
}

// The flash as the model makes it from the same items, or the first status that is not ok.
FlashStatus model_flash(const std::vector<NvmItem>& items, std::vector<uint8_t>& bytes) {
    bytes.assign(kFlashBytes, 0);
    FlashModel flash(bytes);
    flash.format();
    for (const NvmItem& item : items) {
        uint32_t index;
        const FlashStatus st = flash.write(item.type, item.ordinal, item.ext, item.attr, item.data, item.item_length, index);
        if (st != FlashStatus::ok) return st;
    }
    return FlashStatus::ok;
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    const std::string text = test::read_text_file(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(FlashFileTest, FileHoldsWhatTheModelWrites) {
    struct Case {
        const char* name;
        std::vector<ItemShape> items;
    };
    const std::vector<Case> cases = {
        {"no item", {}},
        {"items of odd lengths, one longer than its data, one without data",
         {{4, 0, 0, 0, 0, 5000}, {5, 1, 2, 3, 3 * kBlock, 100}, {6, 0, 0, 0, 2 * kBlock, 0}, {7, 0, 0, 0, 0, kBlock}}},
        {"an item whose length is below its data", {{4, 0, 0, 0, 10, 300}}},
        // The model replaces the first item in place: the file must not hold both.
        {"one identity twice", {{4, 0, 0, 0, 0, 200}, {5, 0, 0, 0, 0, 50}, {4, 0, 0, 0, 0, 100}}},
        {"items filling the flash", {{4, 0, 0, 0, 0, 10 * kBlock}, {5, 0, 0, 0, 6 * kBlock, 1}}},
    };
    // Erased bytes the file holds beforehand: none, part of the flash, more than the flash.
    const uint64_t erased_before[] = {0, 3 * kBlock + 100, kFlashBytes + 5 * kBlock};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<uint8_t>> data;
        const std::vector<NvmItem> items = items_of(c.items, data);
        std::vector<uint8_t> expected;
        ASSERT_EQ(model_flash(items, expected), FlashStatus::ok);
        for (const uint64_t erased : erased_before) {
            SCOPED_TRACE("erased beforehand: " + std::to_string(erased));
            test::TempDir dir;
            const std::string path = dir.file("a.flash");
            std::string error;
            if (erased > 0) {
                ASSERT_EQ(write_erased_file(path, erased, erased, [] { return true; }, error), erased) << error;
            }
            ASSERT_TRUE(write_flash_file(path, kFlashBytes, items, erased, "adapter9", error)) << error;
            EXPECT_TRUE(file_bytes(path) == expected);
        }
    }
}

TEST(FlashFileTest, ItemsThatDoNotFitAreRefusedAsTheModelRefusesThem) {
    struct Case {
        const char* name;
        std::vector<ItemShape> items;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"too long for the flash", {{4, 0, 0, 0, 0, 10 * kBlock}, {5, 0, 0, 0, 7 * kBlock, 0}},
         "adapter9: item of type 5 does not fit: no space"},
        {"too many for the flash", std::vector<ItemShape>(17, ItemShape{4, 0, 0, 0, 0, 1}),
         "adapter9: item of type 4 does not fit: no space"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<uint8_t>> data;
        std::vector<NvmItem> items = items_of(c.items, data);
        for (size_t i = 0; i < items.size(); ++i) items[i].ordinal = static_cast<uint16_t>(i + items[i].ordinal);
        test::TempDir dir;
        std::string error;
        EXPECT_FALSE(write_flash_file(dir.file("a.flash"), kFlashBytes, items, 0, "adapter9", error));
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
    }
}

TEST(FlashFileTest, FailedHostCreationLeavesNothingBehind) {
    HostSetup setup = default_setup();
    const std::string adapter = setup.host.adapters[0].name;
    std::vector<uint8_t> huge(setup.host.adapters[0].nvm_size, 0x5A);
    setup.nvm_items[adapter] = {NvmItem{4, 0, 0, 0, 0, huge, {}, {}}};

    test::TempDir dir;
    std::string error;
    // A root that did not exist goes again.
    EXPECT_FALSE(create_host(dir.file("host"), setup, error));
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.file("host")));

    // In a root that existed only what the creation added goes, there and in its sim/.
    std::filesystem::create_directories(dir.file("kept/sim"));
    test::write_text_file(dir.file("kept/notes.txt"), "mine\n");
    EXPECT_FALSE(create_host(dir.file("kept"), setup, error));
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("kept")))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"notes.txt", "sim"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("kept/sim")));
}

}  // namespace
}  // namespace zelt::sim
