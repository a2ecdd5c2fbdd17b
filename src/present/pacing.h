// Presents paced as flips are on real hardware: a present shows at the first
// refresh after it is ready, and refreshes fall on a fixed grid while
// frames come in time. A late frame shows at once, and the grid moves to
// it: a game whose frames take a little more than a refresh (a Sleep in
// its loop, a busy machine) keeps its own rate rather than falling to
// every other refresh, and one late by more (a pause, a load) waits no
// longer than it was late. Never two presents within half a refresh, so
// nothing catches up in a burst. One rule for both builds; each build gives
// the clock and the refresh behind it. Also the figures LURN_STATS shows
// once a second.
#ifndef LURN_PACING_H
#define LURN_PACING_H

#include <vector>

#include "../settings/settings.h"

// What a build gives the pacing. Times are ticks of the clock's own.
class PacingClock {
public:
  virtual ~PacingClock() {}
  virtual long long Now() = 0;
  virtual long long TicksPerSecond() = 0;
  // Returns at `when`, or as soon after as the system lets it.
  virtual void SleepUntil(long long when) = 0;
  // The display's refresh period in ticks and, where the platform tells it,
  // a moment a refresh began (`hasPhase`).
  struct Refresh {
    long long period;
    bool hasPhase;
    long long phase;
  };
  virtual Refresh ReadRefresh() = 0;
  // Whether the display changed, or the window may have gone to another
  // monitor, since the last call: the refresh is read again at once.
  virtual bool DisplayChanged() { return false; }
};

// This build's clock for a display on `window`. Each build's platform file
// defines it (the unit tests' fakes too).
PacingClock *NewPacingClock(void *window);
#if defined(_WIN32)
// The DLL's: the performance counter and the window's monitor.
PacingClock *NewWindowsClock(void *window);
#endif

// The period of a rate the system gives in whole hertz: Windows reports
// 59.94 Hz as 59 and 143.86 as 143, so a rate one below a multiple of 24
// or 30 is taken as the NTSC rate above it.
long long PeriodOfWholeHertz(long long ticksPerSecond, int hertz);

class Pacer {
public:
  // The pacer owns `clock`.
  Pacer(PacingClock *clock, const Settings &settings);
  ~Pacer();
  Pacer(const Pacer &) = delete;
  Pacer &operator=(const Pacer &) = delete;

  // The client has a frame ready: UpdatePrimaryBuffer begins.
  void Ready();
  // The frame was handed to the platform: waits for the refresh it shows
  // at, if presents of this kind are paced. A flip that the platform held
  // back until the vertical blank (`platformWaited`) showed as it returned
  // and is not waited for again.
  enum Kind { kWindowed, kFlip };
  void Presented(Kind kind, bool platformWaited);

private:
  long long TickAfter(long long when) const;
  // For the statistics: a present that showed at the refresh `slot` and
  // took `cost` ticks; `late`, a frame shown at once after the refresh it
  // was due at.
  void Count(long long slot, long long cost, bool late);

  PacingClock *clock_;
  VsyncMode vsync_;
  bool stats_;
  long long second_;          // ticks in a second
  long long readAt_;          // when the refresh was last read; -1 never
  long long origin_;          // a refresh: the grid's origin
  long long period_;          // the grid's step
  long long ready_;           // when the frame in hand was ready
  long long shown_;           // when the last present showed
  long long slot_;            // the refresh it showed at, or would have
  long long released_;        // when it gave the client its turn back
  bool any_;                  // whether any present has shown yet
  long long secondStarted_;   // the statistics' current second
  std::vector<double> costs_; // ms each present took, without the wait
  // Refreshes missed: in all, by frames not ready in time, and by waits
  // that woke past the refresh they waited for.
  long missed_, late_, wokeLate_;
  long long waited_; // for refreshes
};

#endif
