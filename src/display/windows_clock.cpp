// The Windows clock for the library's pacing: the performance counter, a
// wait of a millisecond's precision or better, and the refresh of the
// window's own monitor, with its phase where the compositor gives it.
#include <windows.h>

#include <dwmapi.h>
#include <string.h>

#include "../present/pacing.h"
#include "../window/window_look.h"
#include "windows_monitor.h"

namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

typedef HANDLE(WINAPI *CreateTimerFunction)(LPSECURITY_ATTRIBUTES, LPCWSTR,
                                            DWORD, DWORD);
typedef UINT(WINAPI *TimePeriodFunction)(UINT);
typedef HRESULT(WINAPI *TimingInfoFunction)(HWND, DWM_TIMING_INFO *);

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// A system library from the system folder only, never the program's: where
// the system knows the search flag (it has AddDllDirectory), by it; else by
// the folder's full path.
HMODULE LoadSystemLibrary(const char *name) {
  if (GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddDllDirectory"))
    return LoadLibraryExA(name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + strlen(name) >= MAX_PATH)
    return NULL;
  path[length] = '\\';
  strcpy(path + length + 1, name);
  return LoadLibraryA(path);
}

class WindowsClock : public PacingClock {
public:
  explicit WindowsClock(void *window) : window_(static_cast<HWND>(window)) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    frequency_ = frequency.QuadPart;
    // A high-resolution waitable timer (Windows 10 1803 on) wakes within
    // half a millisecond without raising the system's timer resolution.
    CreateTimerFunction createTimer = Procedure<CreateTimerFunction>(
        GetModuleHandleA("kernel32.dll"), "CreateWaitableTimerExW");
    if (createTimer != NULL)
      timer_ = createTimer(NULL, NULL, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                           TIMER_ALL_ACCESS);
    dwmapi_ = LoadSystemLibrary("dwmapi.dll");
    timingInfo_ =
        Procedure<TimingInfoFunction>(dwmapi_, "DwmGetCompositionTimingInfo");
  }

  ~WindowsClock() override {
    if (timer_ != NULL)
      CloseHandle(timer_);
    if (periodRaised_)
      Procedure<TimePeriodFunction>(winmm_, "timeEndPeriod")(1);
    if (winmm_ != NULL)
      FreeLibrary(winmm_);
    if (dwmapi_ != NULL)
      FreeLibrary(dwmapi_);
  }

  long long Now() override {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
  }

  long long TicksPerSecond() override { return frequency_; }

  void SleepUntil(long long when) override {
    // Waits in the system, never spinning: a spin that yields hands the
    // processor to whatever else runs, and wakes later than the wait would.
    // Waking late by the timer's precision costs nothing at a refresh's
    // scale; the statistics book a refresh lost so to the wait.
    long long left = when - Now();
    if (left <= 0)
      return;
    if (timer_ != NULL) {
      LARGE_INTEGER due; // relative, in 100 ns units, rounded up
      due.QuadPart = -((left * 10000000 + frequency_ - 1) / frequency_);
      if (SetWaitableTimer(timer_, &due, 0, NULL, NULL, FALSE) &&
          WaitForSingleObject(timer_, INFINITE) == WAIT_OBJECT_0)
        return;
    }
    // Sleep has the system tick's 15.6 ms unless the timer resolution is
    // raised: to 1 ms while this display paces.
    RaisePeriod();
    while ((left = when - Now()) > 0)
      Sleep(DWORD((left * 1000 + frequency_ - 1) / frequency_));
  }

  // The rate of the window's monitor. The compositor's timing is the whole
  // desktop's, which follows the primary monitor: on that one, its rate (a
  // fraction) and last vertical blank, where the rates agree.
  Refresh ReadRefresh() override {
    bool primary = false;
    int hertz = MonitorHertz(primary);
    Refresh refresh = {PeriodOfWholeHertz(frequency_, hertz), false, 0};
    DWM_TIMING_INFO timing;
    memset(&timing, 0, sizeof timing);
    timing.cbSize = sizeof timing;
    if (!primary || timingInfo_ == NULL || timingInfo_(NULL, &timing) != S_OK ||
        timing.rateRefresh.uiDenominator == 0 ||
        timing.rateRefresh.uiNumerator == 0)
      return refresh;
    double rate = double(timing.rateRefresh.uiNumerator) /
                  timing.rateRefresh.uiDenominator;
    if (rate < hertz - 1.5 || rate > hertz + 1.5)
      return refresh; // the compositor's timing is another monitor's
    refresh.period = (frequency_ * timing.rateRefresh.uiDenominator +
                      timing.rateRefresh.uiNumerator / 2) /
                     timing.rateRefresh.uiNumerator;
    if (timing.qpcVBlank > 0) {
      refresh.hasPhase = true;
      refresh.phase = (long long)timing.qpcVBlank;
    }
    return refresh;
  }

  // A display change, or a move that may have taken the window to another
  // monitor, since the last answer.
  bool DisplayChanged() override {
    unsigned long changes = DisplayChanges();
    bool changed = changes != displayChanges_;
    displayChanges_ = changes;
    return changed;
  }

private:
  // The rate of the window's monitor, and whether that is the primary.
  int MonitorHertz(bool &primary) {
    MONITORINFOEXA monitor;
    DEVMODEA mode;
    primary = !ReadWindowMonitor(window_, monitor, mode) ||
              (monitor.dwFlags & MONITORINFOF_PRIMARY) != 0;
    if (mode.dmDisplayFrequency > 1)
      return int(mode.dmDisplayFrequency);
    return 60; // "the hardware's default"
  }

  void RaisePeriod() {
    if (periodRaised_ || winmmTried_)
      return;
    winmmTried_ = true;
    winmm_ = LoadSystemLibrary("winmm.dll");
    TimePeriodFunction begin =
        Procedure<TimePeriodFunction>(winmm_, "timeBeginPeriod");
    periodRaised_ = begin != NULL && begin(1) == 0 &&
                    Procedure<TimePeriodFunction>(winmm_, "timeEndPeriod");
  }

  HWND window_;
  long long frequency_ = 1;
  HANDLE timer_ = NULL;
  HMODULE dwmapi_ = NULL, winmm_ = NULL;
  TimingInfoFunction timingInfo_ = NULL;
  bool winmmTried_ = false, periodRaised_ = false;
  unsigned long displayChanges_ = DisplayChanges();
};

} // namespace

PacingClock *NewWindowsClock(void *window) { return new WindowsClock(window); }
