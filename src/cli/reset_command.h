// The reset command: resets the selected adapter's firmware so that newly installed
// firmware runs (zeltnvm_reset_command is declared in cli/front_end_hooks.h).
#pragma once
