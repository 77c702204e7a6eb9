// libtomcrypt with the libtommath big-number back end, and an owner for its RSA key
// record. Internal to the RSA code.
#pragma once

#ifndef LTM_DESC
#define LTM_DESC
#endif
#include <tomcrypt.h>

namespace zelt::crypto::detail {

// Points libtomcrypt's big-number interface at libtommath (once per process).
void use_tommath();

// Owns an rsa_key filled by rsa_set_key / rsa_import: frees it on every path.
class RsaKeyOwner {
public:
    RsaKeyOwner() = default;
    RsaKeyOwner(const RsaKeyOwner&) = delete;
    RsaKeyOwner& operator=(const RsaKeyOwner&) = delete;
    ~RsaKeyOwner() {
        if (live_) rsa_free(&key_);
    }
    rsa_key* get() { return &key_; }
    // Call after the set-up function succeeded.
    void mark_live() { live_ = true; }

private:
    rsa_key key_{};
    bool live_ = false;
};

}  // namespace zelt::crypto::detail
