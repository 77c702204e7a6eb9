// Random bytes as the texts and raw answers drivers hand back: the decoders must
// refuse what does not fit and never read past the input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "transport/answer_text.h"
#include "transport/function.h"
#include "wire/hwrm_answer.h"
#include "wire/hwrm_query.h"

using namespace zelt;
using namespace zelt::transport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    std::string_view text(reinterpret_cast<const char*>(data), size);

    zelt::PciAddress slot;
    zeltParsePciSlot(text, slot);
    (void)zelt::transport::parse_pci_window_name(text);
    (void)zeltUeventPciSlot(text, slot);
    uint32_t major, minor;
    zeltParseKernelRelease(text, major, minor);

    // A fixed 32-byte driver text field, possibly without a terminator.
    char field[32];
    std::memset(field, 0, sizeof field);
    std::memcpy(field, data, size < sizeof field ? size : sizeof field);
    std::string_view fw = zeltFieldText(field, sizeof field);
    volatile size_t sink = zeltFirmwareVersionText(fw).size();
    std::string pkg;
    if (zeltPackageVersionText(fw, pkg)) sink = pkg.size();
    (void)sink;

    HwrmAnswerStatus status;
    hwrmDecodeStatus(bytes, status);
    hwrm_ver_get_output ver;
    hwrmDecodeAnswer(bytes, ver);
    hwrm_error_recovery_qcfg_output erq;
    hwrmDecodeAnswer(bytes, erq);

    // Directory answers: the first eight bytes give count and stride.
    if (size >= 8) {
        uint32_t count, stride;
        std::memcpy(&count, data, 4);
        std::memcpy(&stride, data + 4, 4);
        std::vector<zelnvm_directory_entry_t> entries;
        zelnvmDecodeDirectory(bytes.subspan(8), count % 4096, stride % 512, entries);
    }
    return 0;
}
