// Sequences of client calls and platform answers, run against the fakes
// with a model of what must hold after every step. The random test draws
// them from seeds; the fuzzer decodes them from its input bytes.
#ifndef LURN_CALL_SEQUENCE_H
#define LURN_CALL_SEQUENCE_H

#include <stdint.h>

#include <random>
#include <string>
#include <vector>

struct ScriptedAnswer {
  uint8_t method; // index into the platform calls that can be scripted
  uint8_t code;   // index into the answers
  uint8_t times;  // a burst of this many
  uint8_t skip;   // calls that succeed first
};

struct Step {
  uint8_t call;    // index into the client calls
  uint8_t args[5]; // selectors for the call's arguments
  std::vector<ScriptedAnswer> answers;
  uint8_t lock;    // 0: the surface's memory, else an odd address or pitch
  uint8_t format;  // the display's pixel format from now on
  uint8_t deliver; // 0: nothing, else a device state to deliver
};

// A step drawn at random, or decoded from bytes (false when they ran out).
Step RandomStep(std::mt19937 &random);
bool DecodeStep(const uint8_t *&data, size_t &size, Step &step);

std::string Describe(const Step &step);

// Runs the steps from a fresh platform and fresh records filled with `fill`
// bytes: 0, the debug heap's 0xCD, or kGarbageFill, a local's stack garbage,
// which only Open may meet first (both records are opened before the
// steps). Returns "" when every check held, else what went wrong, naming the
// step (its index in `failedAt`).
const uint8_t kGarbageFill = 0xCC;
std::string RunSteps(const std::vector<Step> &steps, uint8_t fill,
                     size_t *failedAt);

// The shortest sequence found that still fails, from a failing one.
std::vector<Step> Shrink(std::vector<Step> steps, uint8_t fill);

#endif
