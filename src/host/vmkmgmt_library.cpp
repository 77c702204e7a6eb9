// The binding of MgmtLibrary to the platform's management library. It is compiled in
// only when the build found the library (ZELT_HAVE_VMKMGMT); without it the platform
// library is absent and every handle fails to open.
#include "host/mgmt_library.h"

#include <cstring>

#if ZELT_HAVE_VMKMGMT
extern "C" {
// The library's entry points as this tool calls them.
int vmk_MgmtUserInit(void* signature, uint64_t cookie, void** handle);
int vmk_MgmtUserCallbackInvokeInt(void* handle, uint64_t instance, uint32_t callback, void* arg1, void* arg2);
void vmk_MgmtUserDestroy(void* handle);
}
#endif

namespace zelt::host {

#if ZELT_HAVE_VMKMGMT
namespace {

// The signature record the library takes.
struct LibrarySignature {
    uint8_t revision[4];
    char name[32];
    char vendor[32];
    uint32_t callbacks;
};

class VmkMgmtLibrary final : public MgmtLibrary {
public:
    int user_init(const MgmtSignature& signature, MgmtHandle& handle) override {
        LibrarySignature sig{};
        std::memcpy(sig.revision, signature.revision, sizeof sig.revision);
        std::strncpy(sig.name, signature.name.c_str(), sizeof sig.name - 1);
        std::strncpy(sig.vendor, signature.vendor.c_str(), sizeof sig.vendor - 1);
        sig.callbacks = signature.callbacks;
        void* h = nullptr;
        const int status = vmk_MgmtUserInit(&sig, 0, &h);
        handle = reinterpret_cast<uintptr_t>(h);
        return status;
    }
    int invoke(MgmtHandle handle, uint32_t number, void* header, size_t, void* payload, size_t) override {
        return vmk_MgmtUserCallbackInvokeInt(reinterpret_cast<void*>(static_cast<uintptr_t>(handle)), 0, number,
                                             header, payload);
    }
    void user_destroy(MgmtHandle handle) override {
        vmk_MgmtUserDestroy(reinterpret_cast<void*>(static_cast<uintptr_t>(handle)));
    }
};

}  // namespace

std::unique_ptr<MgmtLibrary> platform_mgmt_library() { return std::make_unique<VmkMgmtLibrary>(); }
#else
namespace {

class AbsentMgmtLibrary final : public MgmtLibrary {
public:
    int user_init(const MgmtSignature&, MgmtHandle&) override { return kMgmtLibraryAbsent; }
    int invoke(MgmtHandle, uint32_t, void*, size_t, void*, size_t) override { return kMgmtLibraryAbsent; }
    void user_destroy(MgmtHandle) override {}
};

}  // namespace

std::unique_ptr<MgmtLibrary> platform_mgmt_library() { return std::make_unique<AbsentMgmtLibrary>(); }
#endif

}  // namespace zelt::host
