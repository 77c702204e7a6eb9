// The image fixtures are signed with the repository's test key; with a production key
// compiled in their signatures cannot verify, so the whole program is skipped.
#include <gtest/gtest.h>

#include "formats/crypto/rsa.h"

namespace {

class TestKeyEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!zelt::crypto::builtin_key_is_test_key()) GTEST_SKIP() << "built with a production signing key";
    }
};

[[maybe_unused]] ::testing::Environment* const kTestKeyEnvironment =
    ::testing::AddGlobalTestEnvironment(new TestKeyEnvironment);

}  // namespace
