// Firmware function ids decoded into the PF and VF numbers the user knows.
#include <gtest/gtest.h>

#include <vector>

#include "device/features/vf.h"

namespace {

using zelt::device::DecodedFid;
using zelt::device::PfVfRange;
using zelt::device::zeltnvm_decode_fid;

TEST(DecodeFid, PhysicalAndVirtualFunctions) {
    struct Case {
        const char* name;
        std::vector<PfVfRange> pfs;
        uint16_t fid;
        DecodedFid want;
    } cases[] = {
        {"a PF is its id minus one", {{128, 4}, {136, 4}}, 2, {false, 1, 0}},
        {"VF of the first PF with active VFs", {{128, 4}, {136, 4}}, 130, {true, 0, 2}},
        {"VF of the second PF with active VFs", {{128, 4}, {136, 4}}, 137, {true, 1, 1}},
        {"past the active VFs of every PF", {{128, 4}, {136, 4}}, 140, {false, 139, 0}},
        {"in the range of a PF without active VFs", {{128, 0}, {136, 4}}, 131, {true, 0, 3}},
        {"last PF without active VFs has no end", {{128, 4}, {136, 0}}, 200, {true, 1, 64}},
        {"ids of 128 and above skip PFs without VFs", {{100, 0}, {128, 0}, {128, 8}}, 133, {true, 2, 5}},
        {"below 128 only a PF without VFs claims it", {{100, 4}, {110, 4}}, 102, {false, 101, 0}},
        // The second PF starts after the id: it must not give a negative VF number.
        {"an id below a PF's first VF is none of its VFs", {{128, 2}, {200, 8}}, 150, {false, 149, 0}},
        {"no PFs", {}, 5, {false, 4, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(zeltnvm_decode_fid(c.pfs, c.fid), c.want);
    }
}

}  // namespace
