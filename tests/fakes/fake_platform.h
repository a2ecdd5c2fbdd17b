// Scripted fakes of the platform for unit tests: they stand where DirectDraw,
// DirectInput and the window system stand, record every call with its
// arguments, answer what a test scripts (0 otherwise) and count references.
// Objects are kept until Reset, so a test can check that each reference was
// released exactly once.
#ifndef LURN_FAKE_PLATFORM_H
#define LURN_FAKE_PLATFORM_H

// Natively the fakes' own declarations of the window system's subclass
// chain, placement and monitors (tests/fakes/include).
#include "present/pacing.h"
#include <com_defaults.h>
#include <commctrl.h>

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct FakeCall {
  std::string name;              // "IDirectDraw::CreateSurface", "MessageBoxA"
  const void *object;            // the interface called, or null
  std::vector<uintptr_t> values; // the plain arguments, in order
  std::vector<unsigned char> record; // a copy of the record passed, if any
  HRESULT result = 0;                // what the fake answered
  std::string text;                  // message box text and caption
  std::string caption;

  template <class Record> const Record &As() const {
    return *reinterpret_cast<const Record *>(record.data());
  }
};

struct FakeObject {
  explicit FakeObject(const std::string &kind) : kind(kind) {}
  virtual ~FakeObject() {}
  std::string kind;
  const void *iface = NULL; // the interface pointer the library holds
  long references = 1;
  int overReleases = 0; // Release calls on an object already at 0
};

struct LockAnswer {
  void *address;
  LONG pitch;
};

class FakeSurface;

// A window of the fake window system. Its procedure is really called, and
// the subclass chain is kept as the system keeps it: a dispatcher takes the
// window procedure's place once and calls the subclasses, the last one set
// first, each passing on with DefSubclassProc.
struct FakeWindow {
  LONG_PTR style = 0, exStyle = 0;
  RECT rect = {0, 0, 0, 0};   // on the screen (the icon's when minimised)
  RECT normal = {0, 0, 0, 0}; // where it is when neither minimised nor
                              // maximised
  UINT show = SW_SHOWNORMAL;  // SW_SHOWNORMAL, _SHOWMINIMIZED, _SHOWMAXIMIZED
  WNDPROC procedure = NULL;
  struct Subclass {
    SUBCLASSPROC procedure;
    UINT_PTR id;
    DWORD_PTR data;
    bool removed; // removed while a call ran: erased once none does
  };
  std::vector<Subclass> subclasses; // the first set first
  bool chained = false;             // the dispatcher replaced `beneath`
  WNDPROC beneath = NULL;
  int running = 0;      // subclass procedures being called
  size_t below = 0;     // in one: how many subclasses lie below it
  int dpiAwareness = 0; // DPI_AWARENESS, as GetWindowDpiAwarenessContext says
  // Made by another thread: the system refuses to subclass it from this
  // one (and Wine crashes trying).
  bool otherThread = false;
  bool ansi = false; // WM_CHAR brings the code page's bytes, one each
};

class FakePlatform {
public:
  void Reset();

  // The next `times` calls of `method` (after `skip` others), on `object` or
  // on any object when it is null, answer `result`.
  void Answer(const std::string &method, HRESULT result, int times = 1,
              int skip = 0, const void *object = NULL);
  HRESULT Next(const std::string &method, const void *object);

  FakeCall &Record(const std::string &name, const void *object,
                   std::vector<uintptr_t> values = {});
  size_t Count(const std::string &name) const;
  const FakeCall *Find(const std::string &name, size_t nth = 0) const;
  std::vector<std::string> Names() const; // the call names, in order

  template <class T> T *Track(T *object) {
    objects.push_back(std::unique_ptr<FakeObject>(object));
    return object;
  }
  long LiveReferences() const;
  int OverReleases() const;
  FakeObject *ObjectOf(const void *iface) const;

  std::vector<FakeCall> calls;
  std::vector<std::unique_ptr<FakeObject>> objects;

  // What the display answers: GetPixelFormat's record and the primary's size.
  DDPIXELFORMAT displayFormat;
  DWORD displayWidth = 640, displayHeight = 480;
  // Windows: surfaces give their later interfaces (IDirectDrawSurface3 and
  // 4), through which the library gives them memory of its own.
  bool laterSurfaces = false;
  // Answers for the next locks, before each surface's own memory and pitch.
  std::deque<LockAnswer> lockAnswers;
  // The window system.
  RECT clientRect;
  POINT clientOrigin;
  POINT cursor; // on the screen; GetCursorPos fails when scripted to
  std::set<HANDLE> fakeHandles; // CloseHandle of anything else goes through
  std::set<HWND> deadWindows;   // IsWindow answers FALSE for these and null
  std::map<HWND, FakeWindow> windows; // made by FakeCreateWindow
  // The monitors, the primary first (SetMonitors): a window is on the one
  // it overlaps most, else the primary. Rectangles in real pixels; a call
  // made in a DPI-unaware thread context gets them scaled by 96 / dpi.
  struct Monitor {
    RECT rect; // its work area too
    int hertz; // EnumDisplaySettings' dmDisplayFrequency
    UINT dpi;  // 96 at 100 %
  };
  std::vector<Monitor> monitors;
  // The calling thread's DPI awareness (DPI_AWARENESS: 0 unaware, 1 system,
  // 2 per monitor), which SetThreadDpiAwarenessContext changes.
  int threadAwareness = 0;
  // What DwmGetCompositionTimingInfo gives (its answer is scripted).
  UINT dwmRate[2] = {0, 0}; // numerator, denominator
  unsigned long long dwmVBlank = 0;
  // Procedures GetProcAddress does not find, as on an older system.
  std::set<std::string> absent;
  UINT codePage = 1252; // GetACP's answer (Windows only)
  struct Posted {
    HWND window;
    UINT message;
  };
  std::deque<Posted> posted; // PostMessageW's, for FakeDeliverPosted
  // Device states delivered by GetDeviceState, one per read; when empty a
  // read delivers zeros.
  std::deque<std::vector<unsigned char>> keyboardStates;
  std::deque<std::vector<unsigned char>> mouseStates;
  // Buffered events delivered by GetDeviceData, oldest first, as many as
  // each call asks for (a call without records drops them); and how many
  // each kind has delivered in all.
  std::deque<DIDEVICEOBJECTDATA> keyboardEvents, mouseEvents;
  size_t keyboardEventsDelivered = 0, mouseEventsDelivered = 0;
  // What the last successful reads delivered.
  std::vector<unsigned char> lastKeyboardState, lastMouseState;
  // The scripted answers given, in order, and the failures the fakes gave
  // of their own (a surface too large for their memory).
  std::vector<HRESULT> answered;

private:
  struct Scripted {
    std::string method;
    const void *object;
    HRESULT result;
    int skip;
  };
  std::deque<Scripted> script_;
};

extern FakePlatform fake;

// A window of the fake window system at `rect`, whose procedure is
// `procedure`; at `reused` when that is a destroyed window's handle.
HWND FakeCreateWindow(WNDPROC procedure, LONG_PTR style, const RECT &rect,
                      HWND reused = NULL);
// The message through the window's procedure, as SendMessage on its thread.
LRESULT FakeSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// ShowWindow: SW_MINIMIZE, SW_RESTORE (back to the normal place) and the
// other commands of a placement.
void FakeShow(HWND window, UINT command);
// The window's thread takes the messages posted to windows, in order.
void FakeDeliverPosted();
// DestroyWindow: WM_NCDESTROY goes through the procedure, last.
void FakeDestroy(HWND window);
// The pacing's clock in nanoseconds: it moves when a test moves it, or to
// the end of a sleep (`wakeLate` after it, once).
class FakeClock : public PacingClock {
public:
  long long now = 1000000000, wakeLate = 0;
  Refresh refresh = {16666667, false, 0};
  long long Now() override { return now; }
  long long TicksPerSecond() override { return 1000000000; }
  void SleepUntil(long long when) override {
    now = (when > now ? when : now) + wakeLate;
    wakeLate = 0;
  }
  Refresh ReadRefresh() override { return refresh; }
  bool changed = false; // the display changed: told once
  bool DisplayChanged() override {
    bool was = changed;
    changed = false;
    return was;
  }
};

// The monitor a window is on (the client area's place for a handle the fake
// window system did not make).
const FakePlatform::Monitor &FakeMonitorOf(HWND window);

// The display format as GetPixelFormat reports it.
void SetDisplayFormat(DWORD bits, DWORD red, DWORD green, DWORD blue);

#endif
