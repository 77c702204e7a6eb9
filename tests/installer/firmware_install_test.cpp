// The simulated firmware's installation of a staged package: each item directive,
// the refusals, a failed write part-way, and what the flash looks like afterwards.
#include <algorithm>
#include <cstring>
#include <optional>

#include "formats/image/image_records.h"
#include "tests/installer/installer_fixture.h"
#include "wire/hwrm_nvm.h"

namespace zelt::test {
namespace {

constexpr uint16_t kAbsentType = ZEL_DIR_TYPE_MGMT_CFG;  // no default adapter has it
constexpr uint16_t kAllowDefrag = HWRM_NVM_INSTALL_UPDATE_FLAGS_ALLOWED_TO_DEFRAG;

using Items = std::map<ItemKey, std::vector<uint8_t>>;

pb::Bytes ccmImage() {
    pb::Bytes img;
    EXPECT_EQ(pb::trailer_image(ZEL_DIR_TYPE_CCM, {229, 1, 2, 3}, 8u << 10, pb::test_signing_key(), &img), 0);
    return img;
}

// Everything but the named items, the staging item and the log is unchanged.
void expectOthersUnchanged(const Items& before, const Items& after, const std::vector<ItemKey>& named) {
    for (const auto& [key, data] : before) {
        auto [type, ordinal, ext] = key;
        if (type == ZEL_DIR_TYPE_UPDATE || type == ZEL_DIR_TYPE_PKG_LOG) continue;
        if (std::find(named.begin(), named.end(), key) != named.end()) continue;
        auto it = after.find(key);
        ASSERT_NE(it, after.end()) << "item type " << type << " vanished";
        EXPECT_EQ(it->second, data) << "item type " << type << " changed";
    }
    for (const auto& [key, data] : after) {
        if (std::get<0>(key) == ZEL_DIR_TYPE_UPDATE || std::get<0>(key) == ZEL_DIR_TYPE_PKG_LOG) continue;
        if (std::find(named.begin(), named.end(), key) != named.end()) continue;
        EXPECT_TRUE(before.count(key)) << "item type " << std::get<0>(key) << " appeared";
    }
}

struct DirectiveCase {
    const char* name;
    pb::ItemSpec record;
    bool corrupt_ccm_first;  // break the adapter's CCM item before installing
    bool installed;          // the record counts as installed
    // The item's data after the installation (nullopt: absent), from the data before.
    std::function<std::optional<pb::Bytes>(const std::optional<pb::Bytes>& before)> expected;
};

std::optional<pb::Bytes> keep(const std::optional<pb::Bytes>& before) { return before; }

class FirmwareDirectives : public InstallerOnSimHost, public ::testing::WithParamInterface<int> {};

const std::vector<DirectiveCase>& directiveCases() {
    static const pb::Bytes newCfg = pb::filler(0x4242, 1024);
    static const pb::Bytes ccm = ccmImage();
    auto to = [](pb::Bytes b) { return [b](const std::optional<pb::Bytes>&) { return std::optional<pb::Bytes>(b); }; };
    static const std::vector<DirectiveCase> cases = {
        {"always_replaces", item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_ALWAYS_INSTALL, newCfg), false,
         true, to(newCfg)},
        {"always_creates", item(kAbsentType, ZELPKG_ITEM_ALWAYS_INSTALL, newCfg), false, true,
         to(newCfg)},
        {"replace_present", item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_REPLACE_IF_PRESENT, newCfg),
         false, true, to(newCfg)},
        {"replace_absent", item(kAbsentType, ZELPKG_ITEM_REPLACE_IF_PRESENT, newCfg), false, false,
         keep},
        {"create_absent", item(kAbsentType, ZELPKG_ITEM_CREATE_IF_ABSENT, newCfg), false, true,
         to(newCfg)},
        {"create_present_sound", item(ZEL_DIR_TYPE_CCM, ZELPKG_ITEM_CREATE_IF_ABSENT, ccm), false,
         false, keep},
        {"create_present_broken", item(ZEL_DIR_TYPE_CCM, ZELPKG_ITEM_CREATE_IF_ABSENT, ccm), true,
         true, to(ccm)},
        {"remove_present", item(ZEL_DIR_TYPE_CFG_TABLE, ZELPKG_ITEM_REMOVE_IF_PRESENT, {}), false,
         true, [](const std::optional<pb::Bytes>&) { return std::optional<pb::Bytes>(); }},
        {"remove_absent", item(kAbsentType, ZELPKG_ITEM_REMOVE_IF_PRESENT, {}), false, false, keep},
        {"patch_binary",
         item(ZEL_DIR_TYPE_SHARED_CFG, ZELPKG_ITEM_PATCH_IF_PRESENT,
                                  text("8 bits at 10 = 0x55\n16 bits at 7fe = 0x1234\n")),
         false, true,
         [](const std::optional<pb::Bytes>& before) {
             pb::Bytes b = *before;
             b[0x10] = 0x55;  // offsets are hexadecimal
             b[0x7fe] = 0x34;
             b[0x7ff] = 0x12;
             return std::optional<pb::Bytes>(b);
         }},
        {"patch_absent", item(kAbsentType, ZELPKG_ITEM_PATCH_IF_PRESENT,
                                                  text("8 bits at 0 = 1\n")),
         false, false, keep},
        {"unknown_directive", item(ZEL_DIR_TYPE_FUNC_CFG, 7, newCfg), false, false, keep},
    };
    return cases;
}

TEST_P(FirmwareDirectives, ChangeOnlyTheNamedItem) {
    const DirectiveCase& c = directiveCases()[static_cast<size_t>(GetParam())];
    if (c.corrupt_ccm_first) {
        withFlash([](sim::FlashModel& f) {
            int i = f.find(ZEL_DIR_TYPE_CCM, 0, 0);
            ASSERT_GE(i, 0);
            const uint8_t flipped[1] = {0xA5};
            ASSERT_EQ(f.modify(static_cast<uint32_t>(i), 100, flipped), sim::FlashStatus::ok);
        });
    }
    const Items before = items();
    const ItemKey key{c.record.type, c.record.ordinal, c.record.ext};
    std::optional<pb::Bytes> old;
    if (before.count(key)) old = before.at(key);

    sim::InstallResult r;
    ASSERT_EQ(stageAndInstall(package({updateRecord(), c.record}), 0, r), 0);
    EXPECT_EQ(r.result, sim::kInstallOk);
    EXPECT_EQ(r.reset_required, 1);
    // Record 0 is the update record, never installed; record 1 is the case's.
    EXPECT_EQ(r.installed_items[0], c.installed ? 2u : 0u);

    const Items after = items();
    std::optional<pb::Bytes> now;
    if (after.count(key)) now = after.at(key);
    EXPECT_EQ(now, c.expected(old));
    expectOthersUnchanged(before, after, {key});
    if (!c.corrupt_ccm_first || c.installed) expectVerifiable();

    const std::string log = installLog();
    const std::string line = "\tTest package\t229.1.2.3\t2026-11-02 10:00:00\tSuccess\t";
    EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 3), "\tF\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, FirmwareDirectives, ::testing::Range(0, static_cast<int>(directiveCases().size())),
                         [](const auto& info) { return std::string(directiveCases()[info.param].name); });

TEST_F(InstallerOnSimHost, VpdPatchKeepsTheVersionWordAndStaysVerifiable) {
    const pb::Bytes before = items().at({ZEL_DIR_TYPE_VPD, 0, 0});
    sim::InstallResult r;
    ASSERT_EQ(stageAndInstall(package({updateRecord(), item(ZEL_DIR_TYPE_VPD, ZELPKG_ITEM_PATCH_IF_PRESENT,
                                                            text("R.PN = \"NEWPN-42\"\n"))}),
                              0, r),
              0);
    ASSERT_EQ(r.result, sim::kInstallOk);
    const pb::Bytes after = items().at({ZEL_DIR_TYPE_VPD, 0, 0});
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 4, after.begin()));
    const std::string s(after.begin(), after.end());
    EXPECT_NE(s.find("NEWPN-42"), std::string::npos);
    expectVerifiable();
}

TEST_F(InstallerOnSimHost, PatchOfABrokenItemOrABadTextFailsAndChangesNoItem) {
    struct Case {
        const char* name;
        bool break_item;  // the item to be patched no longer matches its checksum
        std::string patch;
        uint8_t result;
    } cases[] = {
        {"broken item", true, "8 bits at 0 = 1\n", sim::kInstallBadNvmItem},
        {"bad bit number", false, "Bit 9 at 0 = 1\n", sim::kInstallPatchFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        if (c.break_item) {
            withFlash([](sim::FlashModel& f) {
                zelnvm_directory_entry_t e = f.entry(static_cast<uint32_t>(f.find(ZEL_DIR_TYPE_SHARED_CFG, 0, 0)));
                const uint8_t flipped[1] = {0xA5};
                ASSERT_EQ(f.raw_write(e.item_location, flipped), sim::FlashStatus::ok);
            });
        }
        const Items before = items();
        // The first record would be installed; the failure of the second undoes it.
        pb::Bytes pkg = package({updateRecord(),
                                 item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_ALWAYS_INSTALL, pb::filler(7, 512)),
                                 item(ZEL_DIR_TYPE_SHARED_CFG, ZELPKG_ITEM_PATCH_IF_PRESENT, text(c.patch))});
        sim::InstallResult r;
        ASSERT_EQ(stageAndInstall(pkg, 0, r), 0);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.problem_item, 2);
        expectOthersUnchanged(before, items(), {});
        EXPECT_NE(installLog().find("\tFailed\t"), std::string::npos);
    }
}

// A secure-boot image whose revision field (CustomerRevisionID) is `revision`.
pb::Bytes secureBootImage(uint16_t type, uint16_t revision) {
    pb::Bytes img = pb::secure_boot_image(type, 0xE5010203u, 16u << 10);
    const size_t at = (type == ZEL_DIR_TYPE_SBI ? SBI_HEADER_OFFSET_IN_SBI : 0) +
                      offsetof(AuthenticatedBootImageHeader_t, sbi.CustomerRevisionID);
    std::memcpy(img.data() + at, &revision, 2);
    return img;
}

// Leaves about `keep_free` bytes of the flash free in one run.
void fillFlash(sim::FlashModel& f, uint32_t keep_free) {
    uint32_t index;
    ASSERT_EQ(f.create(ZEL_DIR_TYPE_MGMT_DATA, 0, 0, 0, f.largest_free_run() - keep_free, index), sim::FlashStatus::ok);
}

// Fills the free flash with 64 KiB items and deletes every other one: plenty of free
// blocks, but no run longer than 64 KiB.
void fragmentFlash(sim::FlashModel& f) {
    std::vector<uint32_t> made;
    uint32_t index;
    for (uint16_t n = 0; f.create(ZEL_DIR_TYPE_MGMT_DATA, n, 0, 0, 64u << 10, index) == sim::FlashStatus::ok; ++n)
        made.push_back(index);
    for (size_t i = 0; i < made.size(); i += 2) ASSERT_EQ(f.erase_entry(made[i]), sim::FlashStatus::ok);
}

sim::FaultDesc installFault(uint8_t cmd_err) {
    sim::FaultDesc f;
    f.kind = "install_fault";
    f.cmd_err = cmd_err;
    return f;
}

TEST_F(InstallerOnSimHost, RefusalsChangeNothingAndCuredRefusalsInstall) {
    const pb::Bytes big = pb::filler(0x99, 256u << 10);
    auto cfg = [](pb::Bytes data) { return item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_ALWAYS_INSTALL, std::move(data)); };
    auto vrs = [](const char* list) { return std::vector<pb::PropertySpec>{{ZELPKG_PROP_SUPPORTED_VRS, pb::text_value(list)}}; };
    const std::string mine = sim::voltage_regulator_name(sim::default_host().adapters.front());
    struct Case {
        const char* name;
        std::function<void(sim::FlashModel&)> prepare;
        pb::Bytes pkg;
        uint16_t flags;
        std::vector<sim::FaultDesc> faults;
        uint8_t refusal;  // 0: installs
    } cases[] = {
        {"no room", [](sim::FlashModel& f) { fillFlash(f, 128u << 10); }, package({updateRecord(), cfg(big)}), 0, {},
         HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE},
        {"fragmented", fragmentFlash, package({updateRecord(), cfg(big)}), 0, {},
         HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR},
        {"fragmented, defragmentation allowed", fragmentFlash, package({updateRecord(), cfg(big)}), kAllowDefrag, {}, 0},
        {"secure-boot image below its counter", nullptr,
         package({updateRecord(), item(ZEL_DIR_TYPE_SRT, ZELPKG_ITEM_ALWAYS_INSTALL, secureBootImage(ZEL_DIR_TYPE_SRT, 2))}),
         0, {}, HWRM_NVM_INSTALL_UPDATE_CMD_ERR_ANTI_ROLLBACK},
        {"secure-boot image at its counter", nullptr,
         package({updateRecord(), item(ZEL_DIR_TYPE_SRT, ZELPKG_ITEM_ALWAYS_INSTALL, secureBootImage(ZEL_DIR_TYPE_SRT, 3))}),
         0, {}, 0},
        {"loader image of another customer", nullptr,
         package({updateRecord(), item(ZEL_DIR_TYPE_SBI, ZELPKG_ITEM_ALWAYS_INSTALL, secureBootImage(ZEL_DIR_TYPE_SBI, 7))}),
         0, {}, HWRM_NVM_INSTALL_UPDATE_CMD_ERR_ANTI_ROLLBACK},
        {"regulator not listed", nullptr, package({updateRecord(), cfg(pb::filler(1, 64))}, vrs("HVR-0001, HVR-0002")), 0,
         {}, HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_VOLTREG_SUPPORT},
        {"regulator listed", nullptr, package({updateRecord(), cfg(pb::filler(1, 64))}, vrs(("HVR-0001, " + mine).c_str())),
         0, {}, 0},
        {"forced no room", nullptr, package({updateRecord(), cfg(pb::filler(1, 64))}), 0, {installFault(2)},
         HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE},
        {"forced anti-rollback", nullptr, package({updateRecord(), cfg(pb::filler(1, 64))}), 0, {installFault(3)},
         HWRM_NVM_INSTALL_UPDATE_CMD_ERR_ANTI_ROLLBACK},
        {"forced regulator", nullptr, package({updateRecord(), cfg(pb::filler(1, 64))}), 0, {installFault(4)},
         HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_VOLTREG_SUPPORT},
        {"forced fragmentation", nullptr, package({updateRecord(), cfg(pb::filler(1, 64))}), 0, {installFault(1)},
         HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR},
        {"forced fragmentation, defragmentation allowed", nullptr, package({updateRecord(), cfg(pb::filler(1, 64))}),
         kAllowDefrag, {installFault(1)}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        if (c.prepare) withFlash(c.prepare);
        const Items before = items();
        const std::string log_before = installLog();
        sim::InstallResult r;
        const uint8_t refusal = stageAndInstall(c.pkg, c.flags, r, c.faults);
        EXPECT_EQ(refusal, c.refusal);
        const Items after = items();
        if (c.refusal != 0) {
            expectOthersUnchanged(before, after, {});
            EXPECT_EQ(installLog(), log_before);
        } else {
            EXPECT_EQ(r.result, sim::kInstallOk);
            EXPECT_EQ(r.installed_items[0], 2u);
            EXPECT_NE(installLog().find("\tSuccess\t"), std::string::npos);
        }
        expectVerifiable();
    }
}

TEST_F(InstallerOnSimHost, AWriteFailingPartWayUndoesTheEarlierItems) {
    const Items before = items();
    sim::FaultDesc fault = installFault(0);
    fault.adapter = kAdapter;
    sim::InstallResult r;
    ASSERT_EQ(stageAndInstall(package({updateRecord(),
                                       item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_ALWAYS_INSTALL, pb::filler(3, 512)),
                                       item(ZEL_DIR_TYPE_CFG_TABLE, ZELPKG_ITEM_REMOVE_IF_PRESENT, {}),
                                       item(kAbsentType, ZELPKG_ITEM_ALWAYS_INSTALL, pb::filler(4, 512))}),
                              0, r, {fault}),
              0);
    EXPECT_EQ(r.result, sim::kInstallWriteFailed);
    EXPECT_EQ(r.problem_item, 3);
    EXPECT_EQ(r.reset_required, 0);
    expectOthersUnchanged(before, items(), {});
    expectVerifiable();
    const std::string log = installLog();
    EXPECT_NE(log.find("\tTest package\t229.1.2.3\t2026-11-02 10:00:00\tFailed\t"), std::string::npos) << log;
}

TEST_F(InstallerOnSimHost, APackageStagedOverALongerOneInstalls) {
    // Staging by message overwrites from the start: the bytes of a longer package
    // staged before stay behind the new one.
    const pb::Bytes longer = package({updateRecord(), item(kAbsentType, ZELPKG_ITEM_ALWAYS_INSTALL, pb::filler(5, 64u << 10))});
    sim::InstallResult r;
    ASSERT_EQ(stageAndInstall(longer, 0, r), 0);
    const pb::Bytes shorter =
        package({updateRecord(), item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_ALWAYS_INSTALL, pb::filler(6, 512))});
    withFlash([&](sim::FlashModel& f) {
        ASSERT_EQ(f.modify(static_cast<uint32_t>(f.find(ZEL_DIR_TYPE_UPDATE, 0, 0)), 0, shorter), sim::FlashStatus::ok);
    });
    {
        std::string error;
        auto session = sim::SimSession::open(root_->path(), error);
        ASSERT_TRUE(session) << error;
        const sim::AdapterDesc& adapter = *session->host().find_adapter(kAdapter);
        sim::FirmwareContext ctx{adapter, adapter.functions.front(), session->adapter_state(kAdapter),
                                 sim::FlashModel(session->flash(kAdapter)), session->now_us()};
        ASSERT_EQ(sim::firmware_install_staged(ctx, 0, 0, r), 0);
        EXPECT_EQ(r.result, sim::kInstallOk);
        ASSERT_TRUE(session->save(error)) << error;
    }
    EXPECT_EQ(items().at({ZEL_DIR_TYPE_FUNC_CFG, 0, 0}), pb::filler(6, 512));
}

}  // namespace
}  // namespace zelt::test
