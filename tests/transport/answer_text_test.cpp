#include <gtest/gtest.h>

#include <cstring>

#include "transport/answer_text.h"
#include "wire/hwrm_answer.h"

using namespace zelt;

namespace {

using namespace zelt::transport;

TEST(AnswerText, KernelRelease) {
    const struct {
        const char* release;
        bool ok;
        uint32_t major, minor;
    } cases[] = {
        {"5.15.0-91-generic", true, 515, 0}, {"6.1.55", true, 61, 55},     {"4.18.0-513.el8", true, 418, 0},
        {"6.8", true, 68, 0},                {"6.10.3+deb13", true, 610, 3}, {"", false, 0, 0},
        {"linux", false, 0, 0},              {"6", false, 0, 0},           {"99999.99999.1", false, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t major = 7, minor = 7;
        EXPECT_EQ(zeltParseKernelRelease(c.release, major, minor), c.ok) << c.release;
        if (c.ok) {
            EXPECT_EQ(major, c.major) << c.release;
            EXPECT_EQ(minor, c.minor) << c.release;
        }
    }
}

TEST(AnswerText, PciSlots) {
    const struct {
        const char* text;
        bool ok;
        zelt::PciAddress slot;
    } cases[] = {
        {"0000:3b:00.1", true, {0, 0x3b, 0, 1}},
        {"1:a:1f.7\n", true, {1, 0xa, 0x1f, 7}},
        {"0000:3b:00", false, {}},
        {"0000-3b-00.1", false, {}},
        {"ffffffffff:0:0.0", false, {}},
        {"", false, {}},
    };
    for (const auto& c : cases) {
        zelt::PciAddress slot;
        EXPECT_EQ(zeltParsePciSlot(c.text, slot), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(slot.domain, c.slot.domain);
            EXPECT_EQ(slot.bus, c.slot.bus);
            EXPECT_EQ(slot.device, c.slot.device);
            EXPECT_EQ(slot.function, c.slot.function);
        }
    }
}

TEST(AnswerText, UeventSlotLine) {
    zelt::PciAddress slot;
    EXPECT_EQ(zeltUeventPciSlot("DRIVER=zelt_en\nPCI_ID=1A2B:0101\nPCI_SLOT_NAME=0000:5e:00.0\n", slot), SlotLine::kFound);
    EXPECT_EQ(slot.bus, 0x5eu);
    EXPECT_EQ(zeltUeventPciSlot("DRIVER=zelt_en\n", slot), SlotLine::kAbsent);
    EXPECT_EQ(zeltUeventPciSlot("PCI_SLOT_NAME\n", slot), SlotLine::kMalformed);
    EXPECT_EQ(zeltUeventPciSlot("PCI_SLOT_NAME=garbage\n", slot), SlotLine::kMalformed);
}

TEST(AnswerText, LineRates) {
    const struct {
        uint16_t speed;
        double rate;
    } known[] = {{100, 10312500000.0}, {400, 10312500000.0},  {200, 20625000000.0}, {250, 25781250000.0},
                 {500, 25781250000.0}, {1000, 25781250000.0}, {2000, 212500000000.0}};
    for (const auto& k : known) {
        double rate = 0;
        EXPECT_TRUE(zeltLineRateForSpeed(k.speed, rate)) << k.speed;
        EXPECT_EQ(rate, k.rate) << k.speed;
    }
    double rate = 1.5;
    EXPECT_FALSE(zeltLineRateForSpeed(50, rate));
    EXPECT_EQ(rate, 1.5);
}

TEST(AnswerDecoders, DirectoryWalk) {
    // Three entries 32 bytes apart; the last one ends 8 bytes before the buffer does.
    std::vector<uint8_t> answer(3 * 32, 0);
    for (int i = 0; i < 3; ++i) answer[i * 32] = static_cast<uint8_t>(10 + i);
    std::vector<zelnvm_directory_entry_t> entries;
    ASSERT_TRUE(zelnvmDecodeDirectory(answer, 3, 32, entries));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].type, 12);
    EXPECT_TRUE(zelnvmDecodeDirectory(std::span<const uint8_t>(answer).first(2 * 32 + 24), 3, 32, entries));
    EXPECT_FALSE(zelnvmDecodeDirectory(std::span<const uint8_t>(answer).first(2 * 32 + 23), 3, 32, entries));
    EXPECT_FALSE(zelnvmDecodeDirectory(answer, 3, 16, entries));  // stride shorter than an entry
    EXPECT_FALSE(zelnvmDecodeDirectory(answer, 0x10000000, 0x100, entries));
    EXPECT_TRUE(zelnvmDecodeDirectory(answer, 0, 24, entries));
    EXPECT_TRUE(entries.empty());
}

TEST(AnswerDecoders, StatusNeedsTheErrorForm) {
    hwrm_err_output err{};
    err.error_code = 3;
    err.cmd_err = 2;
    HwrmAnswerStatus status;
    ASSERT_TRUE(hwrmDecodeStatus(hwrmBytes(err), status));
    EXPECT_EQ(status.error_code, 3);
    EXPECT_EQ(status.cmd_err, 2);
    EXPECT_FALSE(hwrmDecodeStatus(hwrmBytes(err).first(15), status));
}

}  // namespace
