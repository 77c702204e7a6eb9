#include "cli/install/user_answer.h"

#include <strings.h>

#include <cstdio>

#include "host/interrupt.h"

namespace zelt::cli {

zelt_answer zeltnvm_read_answer() {
    std::fflush(stdout);
    char word[5] = {};
    int read = 0;
    {
        // An interrupt while the user is asked ends the run instead of waiting for a line.
        zelt::host::InterruptibleWait wait;
        zelt::host::interruption_point();
        read = std::scanf("%4s", word);
    }
    zelt::host::interruption_point();
    if (read != 1) return zelt_answer::other;
    if (strcasecmp(word, "y") == 0 || strcasecmp(word, "yes") == 0) return zelt_answer::yes;
    if (strcasecmp(word, "n") == 0 || strcasecmp(word, "no") == 0) return zelt_answer::no;
    return zelt_answer::other;
}

}  // namespace zelt::cli
