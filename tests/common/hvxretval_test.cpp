// The result-code table: names, gaps, and the text of unknown codes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/hvxretval.h"

using namespace zelt;

namespace {

// Ranges without a name.
bool in_gap(int code) {
    const std::pair<int, int> gaps[] = {{-15, -15},   {-39, -33},   {-48, -42},   {-56, -56},   {-69, -65},
                                        {-79, -74},   {-99, -90},   {-119, -106}, {-129, -121}, {-140, -140},
                                        {-199, -163}};
    for (auto [low, high] : gaps) {
        if (code >= low && code <= high) return true;
    }
    return false;
}

TEST(Hvxretval, EveryCodeOutsideTheGapsHasAUniqueName) {
    std::set<std::string> names;
    int named = 0;
    for (int code = -200; code <= 0; ++code) {
        const char* name = hvxretvalStringPtr(code);
        EXPECT_EQ(name == nullptr, in_gap(code)) << code;
        if (!name) continue;
        ++named;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
        EXPECT_EQ(std::string(name).rfind("HVXRETVAL_", 0), std::string::npos) << name;
    }
    EXPECT_EQ(named, 103);
}

TEST(Hvxretval, DisplayNamesDropThePrefix) {
    const std::pair<int32_t, const char*> cases[] = {
        {HVXRETVAL_SUCCESS, "SUCCESS"},
        {HVXRETVAL_INVALID_SYNTAX, "INVALID_SYNTAX"},
        {HVXRETVAL_ZELT_LFC_DRIVER_NOT_LOADED, "ZELT_LFC_DRIVER_NOT_LOADED"},
        {HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_ANTI_ROLLBACK, "NVM_INSTALL_UPDATE_CMD_ERR_CODE_ANTI_ROLLBACK"},
        {HVXRETVAL_PCI_IOCTL_HOST_TIMEOUT, "PCI_IOCTL_HOST_TIMEOUT"},
        {HVXRETVAL_CAP, "CAP"},
    };
    for (auto [code, name] : cases) {
        EXPECT_STREQ(hvxretvalStringPtr(code), name);
        EXPECT_EQ(hvxretvalStringify(code), name);
        EXPECT_EQ(zeltnvmErrorDesc(code), name);
        EXPECT_EQ(zelpkgErrorDesc(code), name);
    }
}

TEST(Hvxretval, UnknownCodesAreFormatted) {
    EXPECT_EQ(hvxretvalStringify(-15), "Unknown: -15");
    EXPECT_EQ(hvxretvalStringPtr(-15), nullptr);
    EXPECT_EQ(hvxretvalStringify(16), "Unknown: 16");  // positive system numbers have no name
    EXPECT_EQ(hvxretvalStringify(-2147483647 - 1), "Unknown: -2147483648");
}

}  // namespace
