// The yes/no answer to a confirmation question, read from standard input.
#pragma once

namespace zelt::cli {

enum class zelt_answer { yes, no, other };

// Reads one word of at most 4 characters: "y"/"yes" and "n"/"no" in any case, anything
// else (also end of input) is `other`.
zelt_answer zeltnvm_read_answer();

}  // namespace zelt::cli
