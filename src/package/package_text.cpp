#include "package/package_text.h"

#include "common/hvxretval.h"
#include "package/package_records.h"

namespace zelt {

namespace {

struct DirectiveText {
    unsigned value;
    const char* name;
    const char* desc;
};

constexpr DirectiveText kDirectives[] = {
    {ZELPKG_ITEM_ALWAYS_INSTALL, "Install", "Always-Install"},
    {ZELPKG_ITEM_REPLACE_IF_PRESENT, "Replace", "Replace-If-Present"},
    {ZELPKG_ITEM_CREATE_IF_ABSENT, "Create", "Create-If-Absent"},
    {ZELPKG_ITEM_REMOVE_IF_PRESENT, "Remove", "Remove-If-Present"},
    {ZELPKG_ITEM_PATCH_IF_PRESENT, "Patch", "Patch-If-Present"},
    {ZELPKG_ITEM_DIRECTIVE_NOT_AVAIL, nullptr, "Unknown"},
};

const DirectiveText* find(unsigned directive) {
    for (const DirectiveText& d : kDirectives)
        if (d.value == directive) return &d;
    return nullptr;
}

}  // namespace

std::string zelpkgResultDesc(int32_t result) { return zelpkgErrorDesc(result); }

const char* zelpkgDirectiveName(unsigned directive) {
    const DirectiveText* d = find(directive);
    return d ? d->name : nullptr;
}

const char* zelpkgDirectiveDesc(unsigned directive) {
    const DirectiveText* d = find(directive);
    return d ? d->desc : "Unknown";
}

}  // namespace zelt
