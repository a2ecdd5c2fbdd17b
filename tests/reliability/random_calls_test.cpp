// Random call sequences against a platform that answers anything: after
// every step the records and the platform's reference counts must agree
// with what the library is meant to hold. LURN_SEEDS and LURN_STEPS set the
// length (scripts/soak.sh runs a long one); a failure prints its seed and
// the shortest sequence that still shows it.
#include <stdlib.h>

#include <gtest/gtest.h>

#include "../hex.h"
#include "call_sequence.h"

namespace {

long Setting(const char *name, long otherwise) {
  const char *value = getenv(name);
  return value != NULL ? atol(value) : otherwise;
}

TEST(RandomCalls, NoSequenceBreaksTheModel) {
  long seeds = Setting("LURN_SEEDS", 400);
  long length = Setting("LURN_STEPS", 500);
  long first = Setting("LURN_FIRST_SEED", 1);
  for (long seed = first; seed < first + seeds; ++seed) {
    std::mt19937 random(static_cast<unsigned>(seed));
    std::vector<Step> steps;
    for (long i = 0; i < length; ++i)
      steps.push_back(RandomStep(random));
    // Some clients never zero their records: raw heap memory, or locals.
    const uint8_t fills[] = {0, 0xCD, 0, kGarbageFill};
    uint8_t raw = fills[seed % 4];
    size_t failedAt = 0;
    std::string problem = RunSteps(steps, raw, &failedAt);
    if (problem.empty())
      continue;
    std::vector<Step> shortest = Shrink(steps, raw);
    std::string trace;
    for (const Step &step : shortest)
      trace += "\n  " + Describe(step);
    ADD_FAILURE() << "seed " << seed << " (records of " << Hex(raw) << ")"
                  << ", step " << failedAt << ": " << problem
                  << "\nshortest sequence (" << shortest.size()
                  << " steps):" << trace
                  << "\nthen: " << RunSteps(shortest, raw, NULL);
    return;
  }
  printf("%ld seeds of %ld steps: %ld steps without a fault\n", seeds, length,
         seeds * length);
}

} // namespace
