// The public key compiled into the program; the generated file holds the modulus
// chosen at configure time (the repository's test key unless ZELT_RSA_MODULUS_FILE
// names another).
#include "formats/crypto/rsa.h"

#include "formats/crypto/builtin_public_key.inc"

namespace zelt {

const uint8_t pub_key_N_bin[ZELT_RSA_MODULUS_SIZE] = {ZELT_BUILTIN_RSA_MODULUS_BYTES};
const uint8_t pub_key_e_bin[3] = {0x01, 0x00, 0x01};

namespace crypto {

RsaPublicKey builtin_public_key() { return RsaPublicKey{pub_key_N_bin, pub_key_e_bin}; }

bool builtin_key_is_test_key() { return ZELT_BUILTIN_RSA_KEY_IS_TEST_KEY != 0; }

}  // namespace crypto

}  // namespace zelt
