#include "cli/entry.h"

#include <cstdio>

int zeltnvm_main(int, char**) {
    std::printf("zeltnvm: front end not built yet\n");
    return 1;
}
