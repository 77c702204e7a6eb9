// The readers of numeric command arguments: digits only, nothing above the limit, even
// when the limit is below a single digit.
#include <gtest/gtest.h>

#include <optional>

#include "cli/device_commands/command_args.h"
#include "cli/device_commands/number_args.h"

namespace zelt::test {
namespace {

TEST(NumberArgs, DecimalStaysWithinItsLimit) {
    struct Case {
        const char* text;
        uint64_t max;
        std::optional<uint64_t> value;
    };
    const Case cases[] = {
        {"0", 0, 0},
        {"2", 0, std::nullopt},
        {"9", 8, std::nullopt},
        {"8", 8, 8},
        {"127", 127, 127},
        {"128", 127, std::nullopt},
        {"18446744073709551615", UINT64_MAX, UINT64_MAX},
        {"18446744073709551616", UINT64_MAX, std::nullopt},
        {"", 10, std::nullopt},
        {"+1", 10, std::nullopt},
        {"1 ", 10, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(cli::decimal_arg(c.text, c.max), c.value);
        EXPECT_EQ(cli::decimal_at_most(c.text, c.max), c.value);
    }
}

}  // namespace
}  // namespace zelt::test
