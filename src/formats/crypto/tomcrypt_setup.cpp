#include "formats/crypto/tomcrypt_setup.h"

namespace zelt::crypto::detail {

void use_tommath() {
    static const bool done = [] {
        ltc_mp = ltm_desc;
        return true;
    }();
    (void)done;
}

}  // namespace zelt::crypto::detail
