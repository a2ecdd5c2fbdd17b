// The stand-in's clock for the library's pacing: a steady clock in
// nanoseconds, an absolute sleep on it, and the refresh rate SDL gives for
// the window's display. SDL's window surfaces offer no vertical-blank wait,
// so there is no phase to lock to: the pacing keeps a grid of its own.
#include <errno.h>
#include <time.h>

#include "desktop.h"
#include "present/pacing.h"

namespace {

const long long kNanoseconds = 1000000000LL;

class StandinClock : public PacingClock {
public:
  explicit StandinClock(void *window)
      : windowId_(WindowIdFromHandle(static_cast<HWND>(window))) {}

  long long Now() override {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * kNanoseconds + now.tv_nsec;
  }

  long long TicksPerSecond() override { return kNanoseconds; }

  void SleepUntil(long long when) override {
    timespec until = {time_t(when / kNanoseconds), long(when % kNanoseconds)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) ==
           EINTR) {
    }
  }

  // The rate of the window's display; 60 Hz when it does not say.
  Refresh ReadRefresh() override {
    SDL_Window *window = LiveWindow(windowId_);
    SDL_DisplayMode mode;
    int index = window != NULL ? SDL_GetWindowDisplayIndex(window) : 0;
    int hertz = 60;
    if (index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0 &&
        mode.refresh_rate > 0)
      hertz = mode.refresh_rate;
    return Refresh{PeriodOfWholeHertz(kNanoseconds, hertz), false, 0};
  }

private:
  Uint32 windowId_;
};

} // namespace

PacingClock *NewPacingClock(void *window) { return new StandinClock(window); }
