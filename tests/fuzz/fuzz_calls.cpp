// libFuzzer: the input bytes are a sequence of client calls and platform
// answers, run against the fakes with the same checks as the random test.
#include <stdio.h>
#include <stdlib.h>

#include "../reliability/call_sequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const uint8_t fills[] = {0, 0xCD, kGarbageFill, 0xCD};
  uint8_t raw = size > 0 ? fills[data[0] & 3] : 0;
  std::vector<Step> steps;
  Step step;
  while (steps.size() < 200 && DecodeStep(data, size, step))
    steps.push_back(step);
  std::string problem = RunSteps(steps, raw, NULL);
  if (!problem.empty()) {
    fprintf(stderr, "%s\n", problem.c_str());
    for (const Step &each : Shrink(steps, raw))
      fprintf(stderr, "  %s\n", Describe(each).c_str());
    abort();
  }
  return 0;
}
