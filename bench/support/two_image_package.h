// The description of a signed package for the benchmarks: a staging item and two
// signed images of `body_bytes` each, the boot image installed and the second one
// given `second_directive` ("Install", or "Replace" to replace it only where the
// adapter has it). zeltpkg builds the package from it.
#pragma once

#include <cstdint>
#include <string>

namespace zelt::bench {

// One adapter with the largest flash the simulator offers.
inline constexpr const char* kLargestFlashHost =
    R"({"adapters": [{"device_type": 5, "device_id": 29953, "ports": 2, "nvm_size": 67108864}]})";

inline std::string two_image_package_json(uint32_t body_bytes, const std::string& second_directive) {
    const std::string body = std::to_string(body_bytes);
    return R"({"properties": {"version": "229.0.1.0", "device_ids": [29953]},
                "items": [{"type": 2, "directive": "Install", "item_length": 65536},
                          {"type": "chimpBoot", "directive": "Install",
                           "firmware": {"version": [229, 0, 1, 0], "text": "229.0.1", "body_size": )" +
           body + R"(}},
                          {"type": "bonoFW", "directive": ")" +
           second_directive + R"(",
                           "firmware": {"version": [229, 0, 1, 0], "text": "229.0.1", "body_size": )" +
           body + "}}]}";
}

}  // namespace zelt::bench
