// Data of every kind the mutable-state check must report, and a constant it must not.
// Compiled on its own (never linked) for tests/hygiene/check_globals_test.sh.
#include <string>

int fixture_counter;                // namespace scope, zero-initialised
int fixture_limit = 5;              // namespace scope, initialised
thread_local int fixture_per_thread;
const char* const kFixtureNames[] = {"first", "second"};  // constant, though relocated

std::string& fixture_text() {
    static std::string text = kFixtureNames[0];  // function-local, with its guard variable
    return text;
}

int fixture_touch(int i) {
    return ++fixture_counter + fixture_limit + ++fixture_per_thread + kFixtureNames[i & 1][0];
}
