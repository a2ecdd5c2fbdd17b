#include "pacing.h"

#include <algorithm>

#include "../errors/diagnostic.h"

long long PeriodOfWholeHertz(long long ticksPerSecond, int hertz) {
  if (hertz <= 1)
    hertz = 60;
  if ((hertz + 1) % 24 == 0 || (hertz + 1) % 30 == 0)
    return (ticksPerSecond * 1001 + (hertz + 1) * 500) / ((hertz + 1) * 1000);
  return (ticksPerSecond + hertz / 2) / hertz;
}

Pacer::Pacer(PacingClock *clock, const Settings &settings)
    : clock_(clock), vsync_(settings.vsync), stats_(settings.stats),
      second_(clock->TicksPerSecond()), readAt_(-1), origin_(0), period_(0),
      ready_(0), shown_(0), slot_(0), released_(0), any_(false),
      secondStarted_(0), missed_(0), late_(0), wokeLate_(0), waited_(0) {}

Pacer::~Pacer() { delete clock_; }

long long Pacer::TickAfter(long long when) const {
  long long since = when - origin_;
  long long refreshes = since / period_;
  if (since < 0 && since % period_ != 0)
    --refreshes; // rounded down, before the origin too
  return origin_ + (refreshes + 1) * period_;
}

void Pacer::Ready() {
  ready_ = clock_->Now();
  if (readAt_ >= 0 && ready_ - readAt_ < second_ && !clock_->DisplayChanged())
    return;
  // Read once a second, and at once where the platform tells of a change:
  // the window may have moved to another monitor, or the monitor changed
  // its rate.
  readAt_ = ready_;
  PacingClock::Refresh refresh = clock_->ReadRefresh();
  if (refresh.period <= 0)
    refresh.period = PeriodOfWholeHertz(second_, 60);
  if (refresh.hasPhase)
    origin_ = refresh.phase;
  else if (refresh.period != period_)
    origin_ = any_ ? shown_ : ready_;
  period_ = refresh.period;
}

void Pacer::Presented(Kind kind, bool platformWaited) {
  long long now = clock_->Now(), shown = now, slot = -1, released = now;
  bool paced = vsync_ == kVsyncAll || (vsync_ == kVsyncFlips && kind == kFlip);
  bool late = false;
  if (paced && kind == kFlip && platformWaited) {
    origin_ = now; // the platform's own vertical blank: the grid's phase
    slot = now;
  } else if (paced) {
    // Never two presents within half a refresh of the last one's return
    // (later than its refresh when its wait woke late), however the grid
    // moved since.
    long long earliest =
        any_ ? std::max(ready_, released_ + period_ / 2) : ready_;
    long long next = TickAfter(earliest);
    // The refresh the frame was due at: the first a half refresh after the
    // last present.
    long long due = TickAfter(shown_ + period_ / 2);
    late = any_ && ready_ >= due;
    if (late) {
      // Shown at once, or half a refresh after the last present gave the
      // client its turn back (a wait that woke late); the next is paced
      // from here.
      long long at = std::max(now, released_ + period_ / 2);
      if (at > now) {
        clock_->SleepUntil(at);
        released = clock_->Now();
        waited_ += released - now;
      }
      origin_ = shown = slot = at;
    } else if (next > now) {
      clock_->SleepUntil(next);
      released = clock_->Now();
      waited_ += released - now;
      shown = slot = next;
    }
    // Otherwise the present itself ran past the refresh: it showed as it
    // ended, and the next one counts from there.
  }
  if (slot < 0)
    slot = TickAfter(now); // the refresh where a flip would have shown it
  if (stats_)
    Count(slot, now - ready_, late);
  shown_ = shown;
  slot_ = slot;
  released_ = released;
  any_ = true;
}

void Pacer::Count(long long slot, long long cost, bool late) {
  if (!any_) {
    secondStarted_ = slot; // each second counts the presents after it
    waited_ = 0;
    return;
  }
  long long skipped = (slot - slot_ + period_ / 2) / period_ - 1;
  if (late) // it missed the refresh it was due at, however soon it came
    skipped = std::max(skipped, 1LL);
  if (skipped > 0) {
    // The refreshes that passed before the last wait gave the client its
    // turn back were lost by the wait; the rest by the frame.
    long long byWake =
        std::min(skipped, std::max(0LL, (released_ - slot_) / period_));
    missed_ += long(skipped);
    wokeLate_ += long(byWake);
    late_ += long(skipped - byWake);
  }
  costs_.push_back(double(cost) * 1000.0 / double(second_));
  if (slot - secondStarted_ < second_)
    return;
  std::vector<double> costs = costs_;
  std::sort(costs.begin(), costs.end());
  size_t n = costs.size();
  SayDiagnostic("lurn: %.1f presents/s; present median %.2f ms, p99 %.2f ms, "
                "max %.2f ms; refreshes missed %ld, by late frames %ld, by "
                "late wakes %ld; waited %.0f ms",
                double(n) * double(second_) / double(slot - secondStarted_),
                costs[n / 2], costs[(n * 99 + 99) / 100 - 1], costs[n - 1],
                missed_, late_, wokeLate_,
                double(waited_) * 1000.0 / double(second_));
  costs_.clear();
  missed_ = late_ = wokeLate_ = 0;
  waited_ = 0;
  secondStarted_ = slot;
}
