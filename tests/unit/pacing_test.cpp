// The pacing's rule on a clock that moves only when told: presents keep the
// refresh's rate on its grid, a late one waits for the next refresh and
// nothing catches up in a burst, and LURN_STATS's line says so.
#include <math.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "present/pacing.h"

namespace {

Settings Pacing(VsyncMode vsync, bool stats = false) {
  Settings settings = Settings();
  settings.vsync = vsync;
  settings.stats = stats;
  return settings;
}

// A frame: the client's work before the present, the present's own time.
struct Frame {
  long long work, cost;
};

// The times `count` presents returned at. The pacer owns `clock`.
std::vector<long long>
RunFrames(Pacer &pacer, FakeClock &clock, int count,
          const std::function<Frame(int)> &frame,
          Pacer::Kind kind = Pacer::kFlip,
          const std::function<bool(FakeClock &)> &flip = nullptr) {
  std::vector<long long> returned;
  for (int i = 0; i < count; ++i) {
    Frame f = frame(i);
    clock.now += f.work;
    pacer.Ready();
    clock.now += f.cost;
    bool waited = flip ? flip(clock) : false;
    pacer.Presented(kind, waited);
    returned.push_back(clock.now);
  }
  return returned;
}

long long Shortest(const std::vector<long long> &times) {
  long long shortest = times[1] - times[0];
  for (size_t i = 2; i < times.size(); ++i)
    shortest = std::min(shortest, times[i] - times[i - 1]);
  return shortest;
}

struct RateCase {
  double hertz;
  bool phase; // the platform gives the vertical blank's time
};

TEST(Pacing, TenThousandPresentsKeepTheRefreshRateOnItsGrid) {
  const RateCase kCases[] = {{59.94, false}, {60, false},  {75, false},
                             {144, false},   {240, false}, {59.94, true},
                             {144, true}};
  for (const RateCase &c : kCases) {
    FakeClock *clock = new FakeClock;
    long long period = llround(1e9 / c.hertz), phase = 123456789;
    clock->refresh = {period, c.phase, phase};
    Pacer pacer(clock, Pacing(kVsyncFlips));
    unsigned seed = 1;
    std::vector<long long> times = RunFrames(pacer, *clock, 10000, [&](int) {
      seed = seed * 1103515245u + 12345u; // work of 0 to 0.7 refreshes
      return Frame{period * 7 / 10 * (seed >> 16) / 65536, period / 10};
    });
    double mean = double(times.back() - times.front()) / (times.size() - 1);
    std::string label = std::to_string(c.hertz) + " Hz" +
                        (c.phase ? " with the platform's phase" : "");
    EXPECT_NEAR(1e9 / c.hertz, mean, 1e9 / c.hertz * 0.001) << label;
    EXPECT_EQ(period, Shortest(times)) << label;
    if (c.phase) {
      EXPECT_EQ(0, (times.back() - phase) % period)
          << label << ": off the platform's vertical blank";
    }
  }
}

struct LateCase {
  const char *what;
  Frame odd;          // frame 50's
  long long wakeLate; // frame 50's wait returns this late
};

TEST(Pacing, ALateFrameWaitsForTheNextRefreshAndNothingBursts) {
  const long long P = 16666667;
  const LateCase kCases[] = {
      {"work past a refresh", {P * 13 / 10, P / 10}, 0},
      {"a present taking two refreshes", {P / 5, P * 199 / 100}, 0},
      {"a wake-up late by most of a refresh", {P / 5, P / 10}, P * 9 / 10},
      {"a pause of ten refreshes", {P * 10, P / 10}, 0},
  };
  for (const LateCase &c : kCases) {
    FakeClock *clock = new FakeClock;
    Pacer pacer(clock, Pacing(kVsyncFlips));
    std::vector<long long> times = RunFrames(pacer, *clock, 100, [&](int i) {
      if (i == 50)
        clock->wakeLate = c.wakeLate;
      return i == 50 ? c.odd : Frame{P / 5, P / 10};
    });
    EXPECT_GE(Shortest(times), P / 2) << c.what << ": presents in a burst";
    // Back in step: one present each refresh, on the grid.
    for (size_t i = 60; i < times.size(); ++i)
      ASSERT_EQ(P, times[i] - times[i - 1]) << c.what << ", present " << i;
  }
}

TEST(Pacing, AFlipThatWaitedForTheBlankIsNotWaitedForAgain) {
  const long long P = 16666667, blank = 7000001; // the hardware's phase
  FakeClock *clock = new FakeClock;
  Pacer pacer(clock, Pacing(kVsyncFlips));
  // The flip returns at the hardware's next vertical blank.
  auto flip = [&](FakeClock &c) {
    c.now += P - (c.now - blank) % P;
    return true;
  };
  std::vector<long long> times = RunFrames(
      pacer, *clock, 600,
      [&](int) {
        return Frame{P / 4, 0};
      },
      Pacer::kFlip, flip);
  double mean = double(times.back() - times.front()) / (times.size() - 1);
  EXPECT_NEAR(double(P), mean, P * 0.001);
  for (size_t i = 0; i < times.size(); ++i)
    ASSERT_EQ(0, (times[i] - blank) % P)
        << "present " << i << " waited again after its flip";
}

TEST(Pacing, WhichPresentsWait) {
  struct Case {
    VsyncMode vsync;
    Pacer::Kind kind;
    bool waits;
  } const kCases[] = {
      {kVsyncOff, Pacer::kFlip, false},  {kVsyncOff, Pacer::kWindowed, false},
      {kVsyncFlips, Pacer::kFlip, true}, {kVsyncFlips, Pacer::kWindowed, false},
      {kVsyncAll, Pacer::kFlip, true},   {kVsyncAll, Pacer::kWindowed, true},
  };
  for (const Case &c : kCases) {
    FakeClock *clock = new FakeClock;
    Pacer pacer(clock, Pacing(c.vsync));
    std::vector<long long> times = RunFrames(
        pacer, *clock, 10,
        [](int) {
          return Frame{0, 1000};
        },
        c.kind);
    EXPECT_EQ(c.waits, Shortest(times) == clock->refresh.period)
        << "LURN_VSYNC " << int(c.vsync) << ", kind " << int(c.kind)
        << ": shortest interval " << Shortest(times) << " ns";
  }
}

TEST(Pacing, StatisticsLineEachSecondCountsPresentsTimesAndMisses) {
  const long long P = 16666667;
  FakeClock *clock = new FakeClock;
  Pacer pacer(clock, Pacing(kVsyncFlips, true));
  fakeReports.clear();
  RunFrames(pacer, *clock, 121, [&](int i) {
    return Frame{i == 30 ? P * 13 / 10 : P / 5, i % 10 ? 1000000 : 5000000};
  });
  ASSERT_EQ(2u, fakeReports.size());
  EXPECT_EQ("lurn: 59.0 presents/s; present median 1.00 ms, p99 5.00 ms, max "
            "5.00 ms; refreshes missed 1, by late frames 1; waited 706 ms\n",
            fakeReports[0]);
  EXPECT_EQ("lurn: 60.0 presents/s; present median 1.00 ms, p99 5.00 ms, max "
            "5.00 ms; refreshes missed 0, by late frames 0; waited 716 ms\n",
            fakeReports[1]);
}

TEST(Pacing, WholeHertzRatesOfTheNtscFamilyAreTakenAsFractions) {
  const struct {
    int hertz;
    long long period; // ns
  } kCases[] = {{59, 16683333}, {60, 16666667}, {143, 6951389},
                {75, 13333333}, {1, 16666667},  {0, 16666667}};
  for (const auto &c : kCases)
    EXPECT_EQ(c.period, PeriodOfWholeHertz(1000000000, c.hertz))
        << c.hertz << " Hz";
}

} // namespace
