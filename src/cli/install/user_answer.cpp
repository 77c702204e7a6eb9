#include "cli/install/user_answer.h"

#include <strings.h>

#include <cstdio>

zelt_answer zeltnvm_read_answer() {
    std::fflush(stdout);
    char word[5] = {};
    if (std::scanf("%4s", word) != 1) return zelt_answer::other;
    if (strcasecmp(word, "y") == 0 || strcasecmp(word, "yes") == 0) return zelt_answer::yes;
    if (strcasecmp(word, "n") == 0 || strcasecmp(word, "no") == 0) return zelt_answer::no;
    return zelt_answer::other;
}
