// Parsing of the option argument and the catalogue checks of a request.
#include "options/option_parse.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "common/directory_types.h"
#include "common/hvxretval.h"

namespace zelt {

namespace {

constexpr int kMaxValueText = ZELTNVM_OPTION_VALUE_BYTES - 1;

bool all_of(const std::string& s, int (*pred)(int)) {
    for (unsigned char c : s) {
        if (!pred(c)) return false;
    }
    return true;
}

bool is_decimal(const std::string& s) { return !s.empty() && all_of(s, isdigit); }

// Splits at `sep`, dropping empty words.
std::vector<std::string> split_words(const std::string& s, char sep) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(sep, start);
        if (end == std::string::npos) end = s.size();
        if (end > start) words.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// Splits at every `sep`, keeping empty fields ("1::2" gives three fields).
std::vector<std::string> split_fields(const std::string& s, char sep) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t end = s.find(sep, start);
        if (end == std::string::npos) {
            fields.push_back(s.substr(start));
            return fields;
        }
        fields.push_back(s.substr(start, end - start));
        start = end + 1;
    }
}

// Reads `count` colon-separated decimal fields of 1 to `max_digits` digits each.
bool read_fields(const std::string& text, size_t count, size_t max_digits, uint32_t* out) {
    const auto fields = split_fields(text, ':');
    if (fields.size() != count) return false;
    for (size_t i = 0; i < count; ++i) {
        if (!is_decimal(fields[i]) || fields[i].size() > max_digits) return false;
        out[i] = static_cast<uint32_t>(std::stoul(fields[i]));
    }
    return true;
}

void put_le32(zeltnvm_option* opt, uint32_t v) {
    std::memset(opt->value, 0, sizeof opt->value);
    for (int i = 0; i < 4; ++i) opt->value[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put_text(zeltnvm_option* opt, const std::string& text) {
    std::memset(opt->value, 0, sizeof opt->value);
    std::memcpy(opt->value, text.data(), std::min<size_t>(text.size(), kMaxValueText));
}

std::string value_text(const zeltnvm_option* opt) {
    const auto* p = reinterpret_cast<const char*>(opt->value);
    return std::string(p, strnlen(p, sizeof opt->value));
}

bool fits_width(uint32_t v, uint16_t bits) { return bits >= 32 || (static_cast<uint64_t>(v) >> bits) == 0; }

void emit_out(const zeltnvm_option_sink& sink, const std::string& s) { zeltnvm_emit(sink, zeltnvm_stream::out, s); }

bool is_bitmask_speed_option(uint16_t option) {
    return option == ZELTNVM_OPT_DRV_SPEED_CAPABILITY_MASK || option == ZELTNVM_OPT_FIRM_SPEED_CAPABILITY_MASK ||
           option == ZELTNVM_OPT_FIRMWARE_SPEED_CAP_MASK_D3 || option == ZELTNVM_OPT_AUTODETECT_SPEED_EXCLUDE_MASK;
}

int parse_cos_precedence(zeltnvm_option* opt, const std::string& text, const zeltnvm_option_sink& sink) {
    uint32_t e[4];
    if (!read_fields(text, 4, 2, e)) {
        emit_out(sink, zeltnvm_format("Invalid value. Valid format to configure %s is x:x:x:x\n", opt->name));
        emit_out(sink, zeltnvm_format("Example: zeltnvm -dev=p3p1 setoption=%s#0:2:3:1\n\n", opt->name));
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    for (uint32_t v : e) {
        if (v > 3) {
            emit_out(sink, "Invalid value. Valid values are from 0 to 3\n");
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
    }
    const bool all_zero = (e[0] | e[1] | e[2] | e[3]) == 0;
    if (!all_zero) {
        for (int i = 0; i < 4; ++i) {
            for (int j = i + 1; j < 4; ++j) {
                if (e[i] == e[j]) {
                    emit_out(sink, "Invalid value. A valid setting is four unique digit between 0-3.\n");
                    return HVXRETVAL_INVALID_PARAMETER_VALUE;
                }
            }
        }
    }
    opt->opt_value = e[0] << 6 | e[1] << 4 | e[2] << 2 | e[3];
    return 0;
}

int parse_four_elements(zeltnvm_option* opt, const std::string& text, const zeltnvm_option_sink& sink) {
    uint32_t e[4];
    if (!read_fields(text, 4, 9, e)) {
        emit_out(sink, zeltnvm_format("Invalid value. Valid format to configure %s is x:x:x:x\n"
                                      "Example: zeltnvm -dev=p3p1 setoption=%s#1:2:3:0\n\n",
                                      opt->name, opt->name));
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    const bool pins = opt->option == ZELTNVM_OPT_PTP_TSIO_PIN_CFG;
    const uint32_t limit = pins ? 6 : 100;
    for (uint32_t v : e) {
        if (v > limit) {
            emit_out(sink, zeltnvm_format("Invalid value. Valid range of each element is from 0 to %u.\n", limit));
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
    }
    if (pins && (e[0] | e[1] | e[2] | e[3]) != 0) {
        for (int i = 0; i < 4; ++i) {
            for (int j = i + 1; j < 4; ++j) {
                if (e[i] != 0 && e[i] == e[j]) {
                    emit_out(sink, "Invalid configuration. The ptp pin values should be unique for each index.\n");
                    return HVXRETVAL_INVALID_PARAMETER_VALUE;
                }
            }
        }
        // The SyncE clock outputs exist only on pins 3 and 2, the first two typed.
        for (int i = 2; i < 4; ++i) {
            if (e[i] == 5 || e[i] == 6) {
                emit_out(sink, zeltnvm_format("Invalid configuration. The ptp pin value %u not supported on pin index %d.\n",
                                              e[i], 3 - i));
                return HVXRETVAL_INVALID_PARAMETER_VALUE;
            }
        }
    }
    put_text(opt, text);
    return 0;
}

int parse_two_elements(zeltnvm_option* opt, const std::string& text, const zeltnvm_option_sink& sink) {
    uint32_t e[2];
    if (!read_fields(text, 2, 5, e) || e[0] > 0xFFFF || e[1] > 0xFFFF) {
        emit_out(sink, zeltnvm_format("Invalid value. Valid format to configure %s is x:x\n"
                                      "Example: zeltnvm -dev=p3p1 setoption=%s#50:50\n\n",
                                      opt->name, opt->name));
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    put_text(opt, text);
    return 0;
}

int parse_generic_value(zeltnvm_option* opt, const nvm_mapping_table_row_t& row, const std::string& text) {
    const bool hex = text.rfind("0x", 0) == 0;
    const bool numeric = hex ? all_of(text.substr(2), isxdigit) : all_of(text, isdigit);
    if (numeric) {
        uint32_t v = 0;
        if (text.size() > static_cast<size_t>(kMaxValueText) || !zeltnvm_parse_number(text, &v)) {
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
        opt->opt_value = v;
        put_text(opt, text);
        return 0;
    }
    const allowedVal* e = zeltnvm_find_allowed_label(row.allowedValList, text.c_str());
    if (e == nullptr) return HVXRETVAL_INVALID_PARAMETER_VALUE;
    opt->opt_value = static_cast<uint32_t>(e->value);
    put_text(opt, std::to_string(e->value));
    return 0;
}

}  // namespace

bool zeltnvm_family_index(uint16_t option, int device_type, uint16_t* index) {
    if (option != ZELTNVM_OPT_PF_PCI_BAR2_SIZE && option != ZELTNVM_OPT_VF_PCI_BAR2_SIZE) return false;
    *index = device_type < 8 ? 1 : 2;
    return true;
}

bool zeltnvm_parse_number(const std::string& text, uint32_t* out) {
    uint64_t v = 0;
    size_t i = 0;
    unsigned base = 10;
    if (text.rfind("0x", 0) == 0) {
        base = 16;
        i = 2;
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        i = 1;
    } else if (text.empty()) {
        return false;
    }
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned d;
        if (isdigit(c)) {
            d = c - '0';
        } else if (isxdigit(c)) {
            d = static_cast<unsigned>(tolower(c) - 'a' + 10);
        } else {
            return false;
        }
        if (d >= base) return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFull) return false;
    }
    *out = static_cast<uint32_t>(v);
    return true;
}

bool zeltnvm_is_afm_option_num(uint16_t option) {
    return (option >= ZELTNVM_OPT_AFM_FIRST && option <= ZELTNVM_OPT_AFM_LAST) ||
           option == ZELTNVM_OPT_HCAPI_RM_PROF_ID || option == ZELTNVM_OPT_HCAPI_RM_PROF_VERSION;
}

bool is_afm_nvm_option(const zeltnvm_option* opt) { return opt != nullptr && zeltnvm_is_afm_option_num(opt->option); }

bool zeltnvm_is_four_element_option(uint16_t option) {
    return option == ZELTNVM_OPT_EP4_TX_MIN_RATE || option == ZELTNVM_OPT_EP4_TX_MAX_RATE ||
           option == ZELTNVM_OPT_QG4_RX_MAX_RATE || option == ZELTNVM_OPT_PTP_TSIO_PIN_CFG;
}

bool zeltnvm_is_two_element_option(uint16_t option) {
    return option == ZELTNVM_OPT_EP2_TX_MIN_RATE || option == ZELTNVM_OPT_EP2_TX_MAX_RATE ||
           option == ZELTNVM_OPT_QG2_RX_MAX_RATE;
}

int zeltnvm_option_elements(const zeltnvm_option* opt, uint32_t elements[4]) {
    const std::string text = value_text(opt);
    if (zeltnvm_is_four_element_option(opt->option)) {
        return read_fields(text, 4, 9, elements) ? 4 : HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    if (zeltnvm_is_two_element_option(opt->option)) {
        return read_fields(text, 2, 5, elements) ? 2 : HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    return HVXRETVAL_INVALID_PARAMETER_VALUE;
}

int zeltnvm_verify_afm_nvm_options(const char* name, const char* pair, uint32_t* value,
                                   const zeltnvm_option_sink& sink) {
    uint32_t e[2];
    if (pair == nullptr || !read_fields(pair, 2, 5, e)) {
        emit_out(sink, zeltnvm_format("Invalid value. Valid format to configure %s is x:x\n", name));
        emit_out(sink, zeltnvm_format("Example: zeltnvm -dev=p3p1 setoption=%s#50:50\n\n", name));
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    if (e[0] > 0xFFFF || e[1] > 0xFFFF) {
        emit_out(sink, "Invalid value. Valid range is from 0 to 65535\n");
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    *value = e[0] << 16 | e[1];
    return 0;
}

bool zeltnvm_get_afm_option_value(const zeltnvm_option* opt, uint32_t* value) {
    if (!is_afm_nvm_option(opt)) return false;
    *value = static_cast<uint32_t>(opt->value[0]) | static_cast<uint32_t>(opt->value[1]) << 8 |
             static_cast<uint32_t>(opt->value[2]) << 16 | static_cast<uint32_t>(opt->value[3]) << 24;
    return true;
}

int zelt_validate_mac(const char* text, uint8_t mac[6], const zeltnvm_option_sink& sink) {
    const std::string s = text == nullptr ? std::string() : std::string(text, strnlen(text, 255));
    // Six groups of one to three hex digits, each below 256, with a ':' or '-' between
    // two groups and nowhere else.
    uint8_t bytes[6] = {};
    int groups = 0;
    size_t i = 0;
    bool ok = !s.empty();
    while (ok && i < s.size()) {
        unsigned v = 0;
        size_t digits = 0;
        while (i < s.size() && isxdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 16 + static_cast<unsigned>(isdigit(static_cast<unsigned char>(s[i])) ? s[i] - '0'
                                                                                         : tolower(s[i]) - 'a' + 10);
            ++digits;
            ++i;
            if (digits > 3) break;
        }
        if (digits == 0 || digits > 3 || v > 255 || groups == 6) {
            ok = false;
            break;
        }
        bytes[groups++] = static_cast<uint8_t>(v);
        if (i == s.size()) break;
        if (s[i] != ':' && s[i] != '-') {
            ok = false;
            break;
        }
        ++i;
        if (i == s.size()) ok = false;  // a separator must be followed by a group
    }
    if (!ok || groups != 6) {
        emit_out(sink, "\nERROR: Invalid MAC Address provided. Please provide valid MAC Address\n");
        return -1;
    }
    if (bytes[0] & 0x01) {
        emit_out(sink, "\nERROR: Invalid MAC address provided. Cannot configure non-unicast MAC address\n");
        return -1;
    }
    bool all_zero = true;
    bool all_ff = true;
    for (uint8_t b : bytes) {
        all_zero = all_zero && b == 0x00;
        all_ff = all_ff && b == 0xFF;
    }
    if (all_zero || all_ff) {
        emit_out(sink, "\nERROR: Invalid MAC Address provided. PF MAC addresss cannot be all zero or all FF\n");
        return -1;
    }
    std::memcpy(mac, bytes, 6);
    return 0;
}

int zeltnvm_fill_option_Info(zeltnvm_option* opt, const char* text, const zeltnvm_option_sink& sink) {
    const std::string t = text == nullptr ? std::string() : std::string(text, strnlen(text, ZELTNVM_OPTION_TEXT_MAX));

    // Syntax by command: a get takes no value and no trailing colon; help takes a name only.
    if (opt->command == ZELTNVM_OPTION_GET) {
        if (t.find('#') != std::string::npos || (!t.empty() && t.back() == ':')) return HVXRETVAL_INVALID_SYNTAX;
    } else if (opt->command == ZELTNVM_OPTION_HELP) {
        if (t.find_first_of("#:") != std::string::npos) return HVXRETVAL_INVALID_SYNTAX;
    }
    std::string option_part = t;
    std::string value;
    bool has_value = false;
    if (opt->command == ZELTNVM_OPTION_SET) {
        const size_t hash = t.find('#');
        if (hash != std::string::npos) {
            option_part = t.substr(0, hash);
            value = t.substr(hash + 1);
            has_value = true;
        }
    }

    const auto words = split_words(option_part, ':');
    const std::string first = words.empty() ? std::string() : words[0];
    const nvm_mapping_table_row_t* row = nullptr;
    if (!first.empty() && isdigit(static_cast<unsigned char>(first[0]))) {
        // Internal options are addressed by number.
        const long num = std::strtol(first.c_str(), nullptr, 10);
        for (const auto* r = arr; r->option != 0; ++r) {
            if (r->option == num && (r->visibility & ZELTNVM_VIS_INTERNAL)) {
                row = r;
                break;
            }
        }
        if (row != nullptr) {
            opt->option = row->option;
            opt->access = 0;
        }
    } else {
        row = zeltnvm_find_row_by_name(first.c_str());
        if (row != nullptr) {
            opt->option = row->option;
            opt->access = row->visibility;
        }
    }
    if (row == nullptr) {
        zeltnvm_emit(sink, zeltnvm_stream::err,
                     zeltnvm_format("Unknown NVM option name %s\nTo get the valid NVM option names list, Run "
                                    "\"zeltnvm -dev=<interface_name> optionhelp=?\"\n",
                                    first.c_str()));
        opt->option = 0;
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    std::memcpy(opt->name, row->name, sizeof opt->name);

    // Up to two indexes; an index must be a decimal number that fits the record.
    uint16_t* const index_fields[2] = {&opt->index_0, &opt->index_1};
    for (size_t w = 1; w < words.size() && w <= 2; ++w) {
        if (!is_decimal(words[w]) || words[w].size() > 5 || std::stoul(words[w]) > 0xFFFF) {
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
        *index_fields[w - 1] = static_cast<uint16_t>(std::stoul(words[w]));
        opt->dimensions = static_cast<uint16_t>(w);
    }

    if (opt->command != ZELTNVM_OPTION_SET) return 0;
    if (!has_value || value.empty()) return HVXRETVAL_INVALID_SYNTAX;

    if (opt->option == ZELTNVM_OPT_MAC_ADDRESS) {
        uint8_t m[6];
        if (zelt_validate_mac(value.c_str(), m, sink) != 0) return HVXRETVAL_INVALID_PARAMETER_VALUE;
        // Two little-endian words: m0 m1 in the low 16 bits of the first, m2..m5 from
        // the most significant byte down in the second.
        std::memset(opt->value, 0, sizeof opt->value);
        const uint8_t packed[8] = {m[1], m[0], 0, 0, m[5], m[4], m[3], m[2]};
        std::memcpy(opt->value, packed, sizeof packed);
        return 0;
    }
    if (opt->option == ZELTNVM_OPT_COS_PRECEDENCE_ORDER) return parse_cos_precedence(opt, value, sink);
    if (zeltnvm_is_afm_option_num(opt->option)) {
        return zeltnvm_verify_afm_nvm_options(opt->name, value.c_str(), &opt->opt_value, sink);
    }
    if (zeltnvm_is_four_element_option(opt->option)) return parse_four_elements(opt, value, sink);
    if (zeltnvm_is_two_element_option(opt->option)) return parse_two_elements(opt, value, sink);
    return parse_generic_value(opt, *row, value);
}

int zeltnvm_fill_option_number(zeltnvm_option* opt, const char* name, int index, uint32_t value,
                               const zeltnvm_option_sink& sink) {
    const nvm_mapping_table_row_t* row = zeltnvm_find_row_by_name(name);
    if (row == nullptr) {
        zeltnvm_emit(sink, zeltnvm_stream::err, zeltnvm_format("Unknown NVM option name %s\n", name));
        opt->option = 0;
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    opt->option = row->option;
    opt->access = row->visibility;
    std::memcpy(opt->name, row->name, sizeof opt->name);
    if (index >= 0) {
        opt->index_0 = static_cast<uint16_t>(index);
        opt->dimensions = 1;
    }
    opt->opt_value = value;
    // The record carries a set value as its decimal text until it is verified.
    put_text(opt, std::to_string(value));
    return 0;
}

int zeltnvm_verify_option_Info(zeltnvm_option* opt, const zeltnvm_option_sink& sink) {
    const nvm_mapping_table_row_t* row = zeltnvm_find_row_by_number(opt->option);
    if (row == nullptr) {
        emit_out(sink, zeltnvm_format("unsupported nvm option value:%d\n", opt->option));
        return HVXRETVAL_OPTION_NOTSUPPORTED;
    }
    const uint16_t indexes[4] = {opt->index_0, opt->index_1, opt->index_2, opt->index_3};
    int consumed = 0;
    if (row->dir_type == ZEL_DIR_TYPE_PORT_CFG || row->dir_type == ZEL_DIR_TYPE_FUNC_CFG) {
        const uint16_t inst = opt->index_0;
        // Physical instances run to max_instance; virtual functions are 128 to 256.
        if ((inst > opt->max_instance && inst <= 127) || inst > 256) return HVXRETVAL_OPTION_MULTINSTANCE_FAILURE;
        if (opt->dimensions < 1) return HVXRETVAL_INVALID_PARAMETER_VALUE;
        consumed = 1;
    }
    const int remaining = static_cast<int>(opt->dimensions) - consumed;
    if (remaining > 1) return HVXRETVAL_INVALID_PARAMETER_VALUE;
    if (remaining <= 0) {
        opt->length = row->num_bits;
    } else {
        if (row->elem_num_bits == 0 || indexes[consumed] >= row->num_bits / row->elem_num_bits) {
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
        opt->length = row->elem_num_bits;
    }
    opt->num_bytes = static_cast<uint16_t>((opt->length + 7) / 8);
    if (opt->command != ZELTNVM_OPTION_SET) return 0;

    if (row->allowedValList == option_values::string_format) {
        switch (opt->option) {
            case ZELTNVM_OPT_MAC_ADDRESS:
            case ZELTNVM_OPT_EP4_TX_MIN_RATE:
            case ZELTNVM_OPT_EP2_TX_MIN_RATE:
            case ZELTNVM_OPT_EP4_TX_MAX_RATE:
            case ZELTNVM_OPT_EP2_TX_MAX_RATE:
            case ZELTNVM_OPT_QG4_RX_MAX_RATE:
            case ZELTNVM_OPT_QG2_RX_MAX_RATE:
            case ZELTNVM_OPT_PTP_TSIO_PIN_CFG:
                return 0;
            default:
                if (!fits_width(opt->opt_value, opt->length)) return HVXRETVAL_INVALID_PARAMETER_VALUE;
                put_le32(opt, opt->opt_value);
                return 0;
        }
    }
    if (row->visibility & ZELTNVM_VIS_READ_ONLY) {
        emit_out(sink, "Invalid operation: This is Read-Only NVM option\n");
        return HVXRETVAL_UNSUPPORTED_OPERATION;
    }
    uint32_t v = 0;
    if (!zeltnvm_parse_number(value_text(opt), &v)) return HVXRETVAL_INVALID_PARAMETER_VALUE;

    if (row->elem_num_bits == 0 && zeltnvm_row_has_value_list(*row)) {
        if (is_bitmask_speed_option(opt->option)) {
            bool shares_bit = false;
            for (const auto* e = row->allowedValList; e->value != -1; ++e) {
                shares_bit = shares_bit || (v & static_cast<uint32_t>(e->value)) != 0;
            }
            const bool zero_ok = opt->option == ZELTNVM_OPT_AUTODETECT_SPEED_EXCLUDE_MASK && v == 0;
            if (v > 0xFFFF || !(shares_bit || zero_ok)) return HVXRETVAL_INVALID_PARAMETER_VALUE;
        } else if (zeltnvm_find_allowed_value(row->allowedValList, v) == nullptr) {
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
    } else if (v < row->min || v > row->max) {
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    // A value wider than the option would be cut off by the firmware.
    if (!fits_width(v, opt->length)) return HVXRETVAL_INVALID_PARAMETER_VALUE;
    opt->opt_value = v;
    put_le32(opt, v);
    return 0;
}

int zeltnvm_find_scope(const zeltnvm_option* opt, const zeltnvm_option_sink& sink) {
    const nvm_mapping_table_row_t* row = zeltnvm_find_row_by_number(opt->option);
    if (row == nullptr || (row->visibility & ZELTNVM_VIS_INTERNAL)) {
        emit_out(sink, zeltnvm_format("unsupported nvm option value:%d\n", opt->option));
        return HVXRETVAL_OPTION_NOTSUPPORTED;
    }
    switch (row->dir_type) {
        case ZEL_DIR_TYPE_SHARED_CFG:
        case ZEL_DIR_TYPE_PORT_CFG:
        case ZEL_DIR_TYPE_FUNC_CFG:
        case ZEL_DIR_TYPE_OOB_MGMT_CFG:
        case ZEL_DIR_TYPE_HCAPI_RM_CFG:
            return row->dir_type;
        default:
            emit_out(sink, zeltnvm_format("Failed to get the scope of NVM option = %d\n", opt->option));
            return HVXRETVAL_FAILURE;
    }
}

uint64_t zeltnvm_option_value_number(const zeltnvm_option* opt) {
    uint64_t v = 0;
    const int n = std::min<int>(opt->num_bytes, 8);
    for (int i = n - 1; i >= 0; --i) v = v << 8 | opt->value[i];
    return v;
}

int zeltnvm_get_option_string(const zeltnvm_option* opt, std::string* out) {
    const nvm_mapping_table_row_t* row = zeltnvm_find_row_by_number(opt->option);
    if (row == nullptr) return HVXRETVAL_FAILURE;
    const uint64_t v = zeltnvm_option_value_number(opt);
    if (v > 0x7FFFFFFF) return 0;
    const allowedVal* e = zeltnvm_find_allowed_value(row->allowedValList, static_cast<int64_t>(v));
    if (e != nullptr) *out = e->desc;
    return 0;
}

}  // namespace zelt
