// The checks of command-line arguments, fed arbitrary argument vectors: the number and
// address readers, every command's argument rule, and the argument checks of the
// device commands. Nothing here reaches an adapter: the checks run before any request.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "cli/command_registry.h"
#include "cli/device_commands/command_args.h"
#include "cli/device_commands/number_args.h"
#include "cli/device_commands/ptp_ext_command.h"
#include "cli/device_commands/synce_command.h"
#include "cli/device_commands/tsio_command.h"

using namespace zelt;
using namespace zelt::cli;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// The words of the vector: the input split at NUL bytes, each at most 256 characters
// as the command line allows, at most 20 of them.
std::vector<std::string> words_of(const uint8_t* data, size_t size) {
    std::vector<std::string> words(1);
    for (size_t i = 0; i < size && words.size() <= 20; ++i) {
        if (data[i] == 0) {
            words.emplace_back();
        } else if (words.back().size() < 256) {
            words.back() += static_cast<char>(data[i]);
        }
    }
    return words;
}

bool all_decimal(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

void number_readers(const std::vector<std::string>& words, uint64_t max) {
    for (const std::string& w : words) {
        const auto d = decimal_arg(w, max);
        if (d) check(*d <= max && all_decimal(w));
        check(decimal_at_most(w, max) == d);
        if (const auto c = c_integer_arg(w, max)) check(*c <= max);
        (void)hex_arg(w);
        if (const auto mac = mac_arg(w)) check(w.size() == 17);
    }
}

void argument_rule(const std::vector<std::string>& words, unsigned pick) {
    ParsedCommand parsed;
    parsed.command = static_cast<int>(pick % ZELT_CMD_COUNT);
    const device::InventoryFunction function{transport::Function{"zen0", {}, {}}, {}, 0};
    parsed.select(function, "zen0");
    parsed.device_taken = (pick & 0x80) != 0;
    parsed.words = {command_word(parsed.command)};
    parsed.words.insert(parsed.words.end(), words.begin(), words.end());
    ScanOptions scan;
    const int rc = zeltnvm_check_input_args(parsed, scan);
    check(rc == 0 || rc == HVXRETVAL_INVALID_SYNTAX);
}

void device_commands(const std::vector<std::string>& words, unsigned pick) {
    switch (pick % 5) {
        case 0: {
            const auto r = check_tsio_function_pin_args(words);
            if (const auto* q = std::get_if<TsioPinRequest>(&r)) check(!q->set || (q->pin < 4 && q->usage < 7));
            break;
        }
        case 1: {
            const auto r = check_duty_cycle_args(words);
            if (const auto* q = std::get_if<DutyCycleRequest>(&r)) check(q->up_ns <= q->period_ns);
            break;
        }
        case 2: {
            const auto r = check_dll_source_args(words);
            if (const auto* q = std::get_if<DllSourceRequest>(&r)) check(q->source <= 4 && q->frequency <= 3);
            break;
        }
        case 3: {
            // Up to eight PFs with 0 to 3 active VFs each, from the pick.
            std::vector<uint16_t> active_vfs;
            for (unsigned i = 0; i < (pick >> 3) % 9; ++i) active_vfs.push_back(static_cast<uint16_t>((pick >> i) & 3));
            const auto r = check_set_ptp_extended_args(words, active_vfs);
            if (const auto* q = std::get_if<PtpExtRequest>(&r)) {
                for (const auto& f : {q->master, q->secondary}) {
                    if (!f) continue;
                    check(f->pf >= 0 && static_cast<size_t>(f->pf) < active_vfs.size());
                    if (f->vf) check(*f->vf >= 0 && *f->vf < active_vfs[static_cast<size_t>(f->pf)]);
                }
            }
            break;
        }
        default: {
            const auto r = check_set_sync_ethernet_args(words);
            if (const auto* refusal = std::get_if<ArgumentRefusal>(&r)) check(!refusal->message.empty());
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks what is checked, the second narrows it; the rest is the vector.
    const unsigned pick = data[1];
    const std::vector<std::string> words = words_of(data + 2, size - 2);
    switch (data[0] % 3) {
        case 0: number_readers(words, pick % 2 ? UINT64_MAX : pick * 1000u); break;
        case 1: argument_rule(words, pick); break;
        default: device_commands(words, pick); break;
    }
    return 0;
}
