// The pacing's rule on a clock that moves only when told, and the line
// LURN_STATS shows of it.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "present/pacing.h"
#include "test_support.h"

namespace {

Settings Pacing(VsyncMode vsync, bool stats = false) {
  Settings settings = Settings();
  settings.vsync = vsync, settings.stats = stats;
  return settings;
}

// A frame: the client's work before the present, the present's own time,
// and whether its flip is held back until the hardware's vertical blank.
struct Frame {
  long long work, cost;
  bool heldFlip;
};
const long long kBlank = 123456789; // a vertical blank of the platform's

// The times `count` presents returned at.
std::vector<long long> RunFrames(Pacer &pacer, FakeClock &clock, int count,
                                 const std::function<Frame(int)> &frame,
                                 Pacer::Kind kind = Pacer::kFlip) {
  std::vector<long long> returned;
  for (int i = 0; i < count; ++i) {
    Frame f = frame(i);
    clock.now += f.work;
    pacer.Ready();
    clock.now += f.cost;
    long long period = clock.refresh.period;
    if (f.heldFlip)
      clock.now += period - (clock.now - kBlank) % period;
    pacer.Presented(kind, f.heldFlip);
    returned.push_back(clock.now);
  }
  return returned;
}

long long Shortest(std::vector<long long> times) {
  std::adjacent_difference(times.begin(), times.end(), times.begin());
  return *std::min_element(times.begin() + 1, times.end());
}

// Where the grid's phase comes from (a held flip is not waited for again).
enum Phase { kOwnGrid, kPlatformPhase, kHeldFlips };

TEST(Pacing, TenThousandPresentsKeepTheRefreshRateOnItsGrid) {
  const struct {
    double hertz;
    Phase phase;
  } kCases[] = {{59.94, kOwnGrid},     {60, kOwnGrid},  {75, kOwnGrid},
                {144, kOwnGrid},       {240, kOwnGrid}, {59.94, kPlatformPhase},
                {144, kPlatformPhase}, {60, kHeldFlips}};
  for (const auto &c : kCases) {
    FakeClock *clock = new FakeClock; // the pacer's
    long long period = llround(1e9 / c.hertz);
    clock->refresh = {period, c.phase == kPlatformPhase, kBlank};
    Pacer pacer(clock, Pacing(kVsyncFlips));
    unsigned seed = 1;
    std::vector<long long> times = RunFrames(pacer, *clock, 10000, [&](int) {
      seed = seed * 1103515245u + 12345u; // work of 0 to 0.7 refreshes
      return Frame{period * 7 / 10 * (seed >> 16) / 65536, period / 10,
                   c.phase == kHeldFlips};
    });
    double mean = double(times.back() - times.front()) / (times.size() - 1);
    std::string label =
        std::to_string(c.hertz) + " Hz, phase " + std::to_string(int(c.phase));
    EXPECT_NEAR(1e9 / c.hertz, mean, 1e9 / c.hertz * 0.001) << label;
    EXPECT_EQ(period, Shortest(times)) << label;
    if (c.phase != kOwnGrid) {
      EXPECT_EQ(0, (times.back() - kBlank) % period)
          << label << ": off the platform's vertical blank";
    }
  }
}

// Frames take a fifth of a refresh and their presents a tenth, but frame 50
// is odd: when its present returns after the one before (`gap`), and
// whether the grid moved to it (the next present a refresh after it).
TEST(Pacing, ALateFrameShowsAtOnceAndNothingBursts) {
  const long long P = 16666667;
  const struct {
    const char *what;
    Frame odd;          // frame 50's
    long long wakeLate; // frame 50's wait returns this late
    long long gap;      // from present 49 to present 50
    bool gridMoved;
    long long nextWork = P / 5; // frame 51's
  } kCases[] = {
      {"work past a refresh",
       {P * 13 / 10, P / 10, false},
       0,
       P * 13 / 10 + P / 10,
       true},
      {"work nearly a refresh past",
       {P * 18 / 10, P / 10, false},
       0,
       P * 18 / 10 + P / 10,
       true},
      {"work more than a refresh past",
       {P * 21 / 10, P / 10, false},
       0,
       P * 21 / 10 + P / 10,
       true},
      {"a present taking two refreshes",
       {P / 5, P * 199 / 100, false},
       0,
       P / 5 + P * 199 / 100,
       false},
      {"a wake-up late by most of a refresh",
       {P / 5, P / 10, false},
       P * 9 / 10,
       P + P * 9 / 10,
       false},
      {"a wake-up late by most of a refresh, then a quick frame",
       {P / 5, P / 10, false},
       P * 9 / 10,
       P + P * 9 / 10,
       false,
       P / 20},
      {"a pause of ten refreshes",
       {P * 10, P / 10, false},
       0,
       P * 10 + P / 10,
       true},
  };
  for (const auto &c : kCases) {
    FakeClock *clock = new FakeClock;
    Pacer pacer(clock, Pacing(kVsyncFlips));
    std::vector<long long> times = RunFrames(pacer, *clock, 100, [&](int i) {
      if (i == 50)
        clock->wakeLate = c.wakeLate;
      if (i == 51)
        return Frame{c.nextWork, P / 10, false};
      return i == 50 ? c.odd : Frame{P / 5, P / 10, false};
    });
    EXPECT_EQ(P, times[49] - times[48]) << c.what << ": on time, on the grid";
    EXPECT_EQ(c.gap, times[50] - times[49]) << c.what;
    if (c.gridMoved) {
      EXPECT_EQ(P, times[51] - times[50]) << c.what << ": paced from there";
    }
    EXPECT_GE(Shortest(times), P / 2) << c.what << ": presents in a burst";
    for (size_t i = 60; i < times.size(); ++i)
      ASSERT_EQ(P, times[i] - times[i - 1])
          << c.what << ": out of step at present " << i;
  }
}

// A game that sleeps in its loop, its frames a tenth of a refresh too long:
// each shows as it comes, at its own rate rather than every other refresh,
// and each is a refresh missed by a late frame.
TEST(Pacing, FramesEachALittleLateKeepTheirOwnRateAndCountLate) {
  const long long P = 16666667;
  FakeClock *clock = new FakeClock;
  Pacer pacer(clock, Pacing(kVsyncFlips, true));
  StderrCapture capture;
  std::vector<long long> times = RunFrames(pacer, *clock, 150, [&](int) {
    return Frame{P, P / 10, false};
  });
  for (size_t i = 2; i < times.size(); ++i)
    ASSERT_EQ(P * 11 / 10, times[i] - times[i - 1]) << "present " << i;
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_FALSE(lines.empty());
  double rate = 0;
  long missed = -1, late = -1, wokeLate = -1;
  ASSERT_EQ(1, sscanf(lines[0].c_str(), "lurn: %lf", &rate)) << lines[0];
  const char *counts = strstr(lines[0].c_str(), "refreshes missed");
  ASSERT_NE(nullptr, counts) << lines[0];
  ASSERT_EQ(3, sscanf(counts,
                      "refreshes missed %ld, by late frames %ld, by late "
                      "wakes %ld",
                      &missed, &late, &wokeLate))
      << lines[0];
  EXPECT_NEAR(1e9 / (P * 11 / 10), rate, 0.1) << lines[0];
  EXPECT_EQ(missed, late) << lines[0];
  EXPECT_EQ(0, wokeLate) << lines[0];
  EXPECT_GE(late, 54) << lines[0];
}

TEST(Pacing, FlipsWaitUnlessOffAndWindowedPresentsOnlyUnderAll) {
  const VsyncMode kModes[] = {kVsyncOff, kVsyncFlips, kVsyncAll};
  for (VsyncMode vsync : kModes)
    for (Pacer::Kind kind : {Pacer::kFlip, Pacer::kWindowed}) {
      FakeClock *clock = new FakeClock;
      Pacer pacer(clock, Pacing(vsync));
      std::vector<long long> times = RunFrames(
          pacer, *clock, 10,
          [](int) {
            return Frame{0, 1000, false};
          },
          kind);
      bool waits = vsync == kVsyncAll || (vsync && kind == Pacer::kFlip);
      EXPECT_EQ(waits, Shortest(times) == clock->refresh.period)
          << "LURN_VSYNC " << int(vsync) << ", kind " << int(kind)
          << ": shortest interval " << Shortest(times) << " ns";
    }
}

// A window moved from a 60 Hz monitor to a 144 Hz one: the platform tells,
// and the next present already keeps the new rate, not a second later.
TEST(Pacing, ADisplayChangeReadsTheRefreshAgainAtOnce) {
  FakeClock *clock = new FakeClock;
  Pacer pacer(clock, Pacing(kVsyncFlips));
  auto frame = [](int) { return Frame{1000000, 1000000, false}; };
  RunFrames(pacer, *clock, 10, frame);
  clock->refresh.period = 6944444;
  clock->changed = true;
  std::vector<long long> times = RunFrames(pacer, *clock, 10, frame);
  times.erase(times.begin());
  EXPECT_EQ(6944444, Shortest(times));
  EXPECT_EQ(6944444 * 8, times.back() - times.front());
}

// The figure a LURN_STATS line gives beside `label`: after it, or before it
// when the label starts with a space; NAN when the line has no such label.
double Figure(const std::string &line, const std::string &label) {
  size_t at = line.find(label);
  if (at == std::string::npos)
    return NAN;
  if (label[0] == ' ') {
    size_t start = line.rfind(' ', at - 1);
    return atof(line.c_str() + (start == std::string::npos ? 0 : start + 1));
  }
  return atof(line.c_str() + at + label.size());
}

TEST(Pacing, StatisticsLineEachSecondCountsPresentsTimesAndMisses) {
  const long long P = 16666667;
  FakeClock *clock = new FakeClock;
  Pacer pacer(clock, Pacing(kVsyncFlips, true));
  StderrCapture capture;
  LogFile log("pacing_test.log");
  // Frame 30 is late by its own work; the wait after frame 79 wakes past
  // the next refresh, which frame 80 then misses through no fault of its.
  RunFrames(pacer, *clock, 121, [&](int i) {
    if (i == 79)
      clock->wakeLate = P * 12 / 10;
    return Frame{i == 30 ? P * 13 / 10 : P / 5, i % 10 ? 1000000 : 5000000,
                 false};
  });
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_EQ(2u, lines.size()) << "one line a second";
  // A late frame shows at once, so a second holds a few tenths of a present
  // fewer than its refreshes, and its miss is booked to its cause.
  const struct {
    double presents;
    long lateFrames, lateWakes;
    double waited;
  } seconds[] = {{59.4, 1, 0, 708}, {59.3, 0, 1, 728}};
  for (int second = 0; second < 2; ++second) {
    const std::string &line = lines[second];
    SCOPED_TRACE(line);
    EXPECT_DOUBLE_EQ(seconds[second].presents, Figure(line, " presents/s"));
    EXPECT_DOUBLE_EQ(1, Figure(line, "missed "));
    EXPECT_DOUBLE_EQ(seconds[second].lateFrames,
                     Figure(line, "by late frames "));
    EXPECT_DOUBLE_EQ(seconds[second].lateWakes, Figure(line, "by late wakes "));
    // Most presents take 1 ms, each tenth 5 ms.
    EXPECT_DOUBLE_EQ(1, Figure(line, "median "));
    EXPECT_DOUBLE_EQ(5, Figure(line, "p99 "));
    EXPECT_DOUBLE_EQ(5, Figure(line, "max "));
    EXPECT_DOUBLE_EQ(seconds[second].waited, Figure(line, "waited "));
  }
  EXPECT_EQ(lines[0] + "\n" + lines[1] + "\n", log.Text())
      << "LURN_LOG's file against standard error";
}

// Windows reports a monitor's rate in whole hertz, 59.94 Hz as 59: each
// reported rate's period is that of the monitor's true rate (none: 60 Hz).
TEST(Pacing, WholeHertzRatesGiveTheMonitorsTruePeriod) {
  const struct {
    int reported;
    double trueHertz;
  } rates[] = {{59, 60 / 1.001}, {143, 144 / 1.001},
               {23, 24 / 1.001}, {119, 120 / 1.001},
               {60, 60},         {75, 75},
               {144, 144},       {0, 60}};
  for (const auto &rate : rates) {
    long long period = PeriodOfWholeHertz(1000000000, rate.reported);
    EXPECT_NEAR(1e9 / rate.trueHertz, double(period), 2.0)
        << rate.reported << " Hz reported";
  }
}

} // namespace
