// Small text helpers of the front end and the handlers.
#pragma once

#include <optional>
#include <string>

namespace zelt {

// Replaces, in place, every character of `text` that occurs in `separators` by a
// terminating zero and returns how many were replaced; the words are then found by
// stepping over the zeros. -1 when `text` is nullptr.
int zelt_nvm_string_split(char* text, const char* separators);

// Word number `column` (counting from 1) of `line` split at `separators`, empty
// words skipped, with a trailing line feed removed. None when `line` is nullptr,
// holds no separator, or has fewer words.
std::optional<std::string> zelt_nvm_parse(const char* line, int column, const char* separators);

// The text after the last '.' of `name` (a pointer into `name`), or "" when there is
// no '.' or the name begins with it.
const char* zeltnvm_get_filename_ext(const char* name);

// True when every character is a decimal digit; an empty text counts as true.
bool checkInputValue(const char* text);

}  // namespace zelt
