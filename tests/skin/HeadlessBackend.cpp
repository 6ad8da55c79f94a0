// These tests drive the headless backend: it is chosen whatever display
// the environment names (set before anything asks for the backend).
#include <cstdlib>

namespace {
const bool kHeadless = setenv("FERROWICK_UI", "headless", 1) == 0;
}  // namespace
