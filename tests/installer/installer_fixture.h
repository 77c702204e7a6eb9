// A default simulated host installed as the process's host, with direct access to its
// first adapter (flash, run-time state, faults) and builders of small test packages.
//
// zen0 is the first function of adapter0.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "common/directory_types.h"
#include "formats/image/verify_item.h"
#include "host/host.h"
#include "package/item_check.h"
#include "package/package_records.h"
#include "sim/create/host_setup.h"
#include "sim/firmware/firmware.h"
#include "sim/firmware/install_staged.h"
#include "sim/flash/flash_model.h"
#include "sim/host/sim_host.h"
#include "sim/state/sim_store.h"
#include "tests/support/run_program.h"
#include "tests/transport/function_values.h"
#include "pkgbuild/pkgbuild.h"
#include "test_signing_key/test_signing_key.h"
#include "tests/support/installed_host.h"

namespace zelt::test {

namespace pb = zelt::pkgbuild;

using ItemKey = std::tuple<uint16_t, uint16_t, uint16_t>;  // type, ordinal, ext

// ---- test packages ------------------------------------------------------------------

// The update record packages carry: no data, `length` bytes of staging wanted.
inline pb::ItemSpec updateRecord(uint32_t length = 8192) {
    pb::ItemSpec s;
    s.type = ZEL_DIR_TYPE_UPDATE;
    s.directive = ZELPKG_ITEM_CREATE_IF_ABSENT;
    s.description = "staging";
    s.item_length = length;
    return s;
}
inline pb::ItemSpec item(uint16_t type, uint8_t directive, pb::Bytes data, uint16_t ordinal = 0) {
    pb::ItemSpec s;
    s.type = type;
    s.ordinal = ordinal;
    s.directive = directive;
    s.description = "test item";
    s.data = std::move(data);
    return s;
}
inline pb::Bytes text(const std::string& t) { return pb::Bytes(t.begin(), t.end()); }

inline pb::Bytes package(std::vector<pb::ItemSpec> plans, std::vector<pb::PropertySpec> extra = {},
                         uint32_t stream_size = 512) {
    pb::PackageSpec plan;
    plan.properties = {{ZELPKG_PROP_PKG_DESCRIPTION, pb::text_value("Test package")},
                       {ZELPKG_PROP_PKG_VERSION, pb::text_value("229.1.2.3")},
                       {ZELPKG_PROP_CREATED_ON, pb::text_value("2026-11-02 10:00:00")}};
    for (auto& p : extra) plan.properties.push_back(std::move(p));
    plan.stream_size = stream_size;
    plan.items = std::move(plans);
    pb::Bytes out;
    std::string error;
    EXPECT_EQ(pb::build_package(plan, &out, &error), 0) << error;
    return out;
}

class InstallerOnSimHost : public ::testing::Test {
protected:
    static constexpr const char* kDev = "zen0";
    static constexpr const char* kAdapter = "adapter0";

    void SetUp() override { fresh(); }

    // zen0 of the current host as discovery finds it, reached through its driver.
    transport::Function fn() { return named(kDev); }

    // A new default host, installed as the process's host.
    void fresh() {
        root_ = std::make_unique<TempDir>();
        makeHost(*root_);
        markTrailers();
    }
    // The factory content stores trailer-signed items without the Trailer attribute,
    // which item verification requires; give it to them so the flash starts verifiable.
    void markTrailers() {
        withFlash([](sim::FlashModel& f) {
            for (uint32_t i = 0; i < f.entry_count(); ++i) {
                zelnvm_directory_entry_t e = f.entry(i);
                if (e.type == 0 || !zelt::is_trailer_type(e.type) || (e.attr & ZEL_DIR_ATTR_TRAILER)) continue;
                std::vector<uint8_t> data(e.data_length);
                ASSERT_EQ(f.read(i, 0, data), sim::FlashStatus::ok);
                uint32_t index;
                ASSERT_EQ(f.write(e.type, e.ordinal, e.ext, e.attr | ZEL_DIR_ATTR_TRAILER, data, e.item_length, index),
                          sim::FlashStatus::ok);
            }
        });
    }
    static void makeHost(const TempDir& root) {
        std::string error;
        ASSERT_TRUE(sim::create_host(root.path(), sim::default_setup(), error)) << error;
        zelt::test::install_host(std::make_unique<sim::SimHost>(root.path()));
    }

    // Runs `fn` on adapter0's flash inside a saved session of `root`.
    void withFlash(const std::function<void(sim::FlashModel&)>& fn, const TempDir* root = nullptr) {
        std::string error;
        auto session = sim::SimSession::open((root ? *root : *root_).path(), error);
        ASSERT_TRUE(session) << error;
        sim::FlashModel flash(session->flash(kAdapter));
        fn(flash);
        ASSERT_TRUE(session->save(error)) << error;
    }

    // Stages `pkg` in the update item as the Ethernet driver does, then runs the
    // firmware's installation with `flags`. Returns the refusal (cmd_err) or 0.
    uint8_t stageAndInstall(const pb::Bytes& pkg, uint16_t flags, sim::InstallResult& result,
                            std::vector<sim::FaultDesc> faults = {}) {
        std::string error;
        auto session = sim::SimSession::open(root_->path(), error);
        EXPECT_TRUE(session) << error;
        if (!session) return 0xFF;
        const sim::AdapterDesc& adapter = *session->host().find_adapter(kAdapter);
        sim::FirmwareContext ctx{adapter, adapter.functions.front(), session->adapter_state(kAdapter),
                                 sim::FlashModel(session->flash(kAdapter)), session->now_us(), &faults};
        int staging = ctx.flash.find(ZEL_DIR_TYPE_UPDATE, 0, 0);
        EXPECT_GE(staging, 0);
        uint32_t index;
        EXPECT_EQ(ctx.flash.write(ZEL_DIR_TYPE_UPDATE, 0, 0, ZEL_DIR_ATTR_NO_CHKSUM, pkg,
                                  ctx.flash.entry(static_cast<uint32_t>(staging)).item_length, index),
                  sim::FlashStatus::ok);
        uint8_t cmd_err = sim::firmware_install_staged(ctx, 0, flags, result);
        EXPECT_TRUE(session->save(error)) << error;
        return cmd_err;
    }

    // Data of every live item, by identity.
    std::map<ItemKey, std::vector<uint8_t>> items(const TempDir* root = nullptr) {
        std::map<ItemKey, std::vector<uint8_t>> out;
        withFlash(
            [&](sim::FlashModel& f) {
                for (uint32_t i = 0; i < f.entry_count(); ++i) {
                    zelnvm_directory_entry_t e = f.entry(i);
                    if (e.type == 0) continue;
                    std::vector<uint8_t> data(e.data_length);
                    EXPECT_EQ(f.read(i, 0, data), sim::FlashStatus::ok);
                    out[{e.type, e.ordinal, e.ext}] = std::move(data);
                }
            },
            root);
        return out;
    }

    // The whole flash image.
    std::vector<uint8_t> image() {
        std::vector<uint8_t> out;
        withFlash([&](sim::FlashModel& f) { out.assign(f.bytes().begin(), f.bytes().end()); });
        return out;
    }

    // Every live item passes item verification against its directory entry.
    void expectVerifiable() {
        withFlash([&](sim::FlashModel& f) {
            for (uint32_t i = 0; i < f.entry_count(); ++i) {
                zelnvm_directory_entry_t e = f.entry(i);
                if (e.type == 0 || e.data_length == 0) continue;  // empty items hold nothing to check
                std::vector<uint8_t> data(e.data_length);
                ASSERT_EQ(f.read(i, 0, data), sim::FlashStatus::ok);
                EXPECT_EQ(zeltnvmVerifyItem(data.data(), data.size(), e), 0) << "item type " << e.type;
            }
        });
    }

    std::string installLog() {
        auto all = items();
        auto it = all.find({ZEL_DIR_TYPE_PKG_LOG, 0, 0});
        if (it == all.end()) return {};
        std::string text(it->second.begin(), it->second.end());
        while (!text.empty() && (text.back() == '\0' || text.back() == '\xff')) text.pop_back();
        return text;
    }

    std::unique_ptr<TempDir> root_;
};

}  // namespace zelt::test
