#include "log/text_helpers.h"

#include <cstring>
#include <vector>

namespace zelt {

int zelt_nvm_string_split(char* text, const char* separators) {
    if (!text) return -1;
    if (!separators) return 0;
    int replaced = 0;
    for (char* p = text; *p; ++p) {
        if (std::strchr(separators, *p)) {
            *p = '\0';
            ++replaced;
        }
    }
    return replaced;
}

std::optional<std::string> zelt_nvm_parse(const char* line, int column, const char* separators) {
    if (!line || !separators || column < 1) return std::nullopt;
    const size_t len = std::strlen(line);
    std::vector<char> copy(line, line + len + 1);
    if (zelt_nvm_string_split(copy.data(), separators) <= 0) return std::nullopt;
    int word = 0;
    for (size_t i = 0; i < len;) {
        if (copy[i] == '\0') {
            ++i;
            continue;
        }
        std::string text(&copy[i]);
        i += text.size();
        if (++word == column) {
            if (!text.empty() && text.back() == '\n') text.pop_back();
            return text;
        }
    }
    return std::nullopt;
}

const char* zeltnvm_get_filename_ext(const char* name) {
    if (!name) return "";
    const char* dot = std::strrchr(name, '.');
    if (!dot || dot == name) return "";
    return dot + 1;
}

bool checkInputValue(const char* text) {
    if (!text) return false;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
    }
    return true;
}

}  // namespace zelt
