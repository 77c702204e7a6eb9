// Argument rules of the command words.
#include <cstring>
#include <string>

#include "cli/argument_rules.h"
#include "cli/command_registry.h"
#include "cli/display_error.h"
#include "cli/report/output.h"
#include "common/hvxretval.h"
#include "device/features/loopback.h"

namespace zelt::cli {
namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

bool is_plan_option(std::string_view word) {
    const size_t dashes = word.find_first_not_of('-');
    return dashes != 0 && dashes != std::string_view::npos && word.substr(dashes) == "plan";
}

ArgumentLine::ArgumentLine(const ParsedCommand& parsed) {
    if (parsed.device_taken && parsed.device) taken_selector_ = std::string("-dev=") + parsed.device_name;
    words_.reserve(parsed.words.size() + 2);
    words_.emplace_back("zeltnvm");
    if (parsed.device_taken) words_.emplace_back(taken_selector_);
    for (const std::string& w : parsed.words) {
        if (is_plan_option(w)) {
            ++plan_options_;
        } else if (!report::is_json_option(w)) {
            words_.emplace_back(w);
        }
    }
    // As the scan takes it: the first word that is not an option (the program name and
    // a taken selector are not the command line's words).
    word_index_ = parsed.device_taken ? 2 : 1;
    while (word_index_ < count() && words_[static_cast<std::size_t>(word_index_)].starts_with('-')) ++word_index_;
}

int ArgumentLine::count() const { return static_cast<int>(words_.size()); }

int ArgumentLine::count_after_word() const { return word_index_ < count() ? count() - word_index_ - 1 : 0; }

std::string_view ArgumentLine::operator[](int index) const {
    if (index < 0) return "zeltnvm";
    const auto at = static_cast<std::size_t>(index);
    return at < words_.size() ? words_[at] : std::string_view();
}

namespace rules {

// Nothing after the command word, and nothing before it but a -dev= selector.
bool listdev(const ArgumentLine& line, ScanOptions&) {
    if (line.count_after_word() != 0) return false;
    return line.word_index() == 1 || (line.word_index() == 2 && contains(line[1], "-dev="));
}

// The selector, then the command word with its '=', then at most a -force and a -dec.
// Without room for -dec here the option could never reach getoption.
bool option(const ArgumentLine& line, ScanOptions& scan) {
    if (line.word_index() != 2 || !contains(line.command_word(), "=") || line.count_after_word() > 2) return false;
    int force = 0, dec = 0;
    for (int i = 0; i < line.count_after_word(); ++i) {
        const std::string_view word = line.after_word(i);
        if (word == "-dec") {
            ++dec;
        } else if (contains(word, "-force")) {
            ++force;
        } else {
            return false;
        }
    }
    if (force > 1 || dec > 1) return false;
    if (force) scan.force = true;
    return true;
}

// Every argument is the command word, a package file, or one of the few options
// install accepts, each at most once.
bool install(const ArgumentLine& line, ScanOptions&) {
    int force = 0, recovery = 0, online = 0, dev = 0, word = 0, yes = 0, noidcheck = 0, packages = 0;
    for (int i = 1; i < line.count(); ++i) {
        const std::string_view a = line[i];
        if (a == "-force") {
            ++force;
        } else if (a == "-recovery") {
            ++recovery;
        } else if (a == "-online") {
            ++online;
        } else if (contains(a, "-dev=")) {
            ++dev;
        } else if (a == "install") {
            ++word;
        } else if (a == "-y" || a == "--yes") {
            ++yes;
        } else if (a == "-noidcheck") {
            ++noidcheck;
        } else if (contains(a, ".pkg") || contains(a, ".PKG")) {
            ++packages;
        } else {
            return false;
        }
    }
    if (force > 1 || recovery > 1 || online > 1 || dev > 1 || word > 1 || yes > 1 || noidcheck > 1) return false;
    return online > 0 || packages > 0;
}

// The selector, then the word, the VF index and "trust".
bool trusted_vf(const ArgumentLine& line, ScanOptions&) {
    return line.word_index() == 2 && line.after_word(1) == "trust";
}

bool loopback(const ArgumentLine& line, ScanOptions&) {
    return line.count_after_word() == 0 ||
           (line.count_after_word() == 1 && device::loopback_mode_from_word(line.after_word(0)));
}

// The selector, then the word, alone or with the answer -y.
bool restore_factory_defaults(const ArgumentLine& line, ScanOptions&) {
    if (line.word_index() != 2) return false;
    return line.count_after_word() == 0 || (line.count_after_word() == 1 && contains(line.after_word(0), "-y"));
}

}  // namespace rules

int zeltnvm_check_input_args(const ParsedCommand& parsed, ScanOptions& scan) {
    const ArgumentRule& rule = command_row(parsed.command).rule;
    const ArgumentLine line(parsed);
    const int argc = line.count();
    bool ok = argc >= rule.min_count && argc <= rule.max_count && line.plan_options() <= (rule.plan ? 1 : 0);
    if (ok && rule.check) ok = rule.check(line, scan);
    if (ok) return 0;
    zeltnvm_print_syntax_error(parsed.command);
    return HVXRETVAL_INVALID_SYNTAX;
}

}  // namespace zelt::cli
