#include "platform/match_budget.h"

#include <cstdlib>

namespace vuduzez {

uint64_t DefaultMatchSteps() {
  if (const char* v = std::getenv("VUDUZEZ_MATCH_STEPS"); v != nullptr && *v != '\0') {
    char* end = nullptr;
    const unsigned long long n = std::strtoull(v, &end, 10);
    if (end != v && *end == '\0' && n > 0) return n;
  }
  return 1'000'000;
}

}  // namespace vuduzez
