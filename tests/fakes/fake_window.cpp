// Fakes of the window-system and kernel calls. On Windows these functions
// are imported from DLLs, so the fakes take the place of the import slots
// that the library's calls go through.
#include "fake_platform.h"

#include <stdio.h>

#include <algorithm>
#if defined(_WIN32)
#include <dwmapi.h>
#endif

namespace {

uintptr_t Value(const void *pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

// Real pixels on a monitor of `dpi` as a call in the calling thread's DPI
// context sees them: an unaware thread sees 96 DPI, a system-aware one the
// primary's.
LONG InThreadContext(LONG pixels, UINT dpi) {
  UINT seen = fake.threadAwareness == 2   ? dpi
              : fake.threadAwareness == 1 ? fake.monitors[0].dpi
                                          : 96;
  return LONG((long long)pixels * seen / dpi);
}

RECT InThreadContext(const RECT &rect, UINT dpi) {
  return RECT{InThreadContext(rect.left, dpi), InThreadContext(rect.top, dpi),
              InThreadContext(rect.right, dpi),
              InThreadContext(rect.bottom, dpi)};
}

int WINAPI FakeMessageBoxA(HWND window, LPCSTR text, LPCSTR caption,
                           UINT type) {
  FakeCall &call = fake.Record("MessageBoxA", NULL, {Value(window), type});
  call.text = text ? text : "";
  call.caption = caption ? caption : "";
  return IDOK;
}

BOOL WINAPI FakeSetRect(LPRECT rect, int left, int top, int right, int bottom) {
  fake.Record("SetRect", NULL,
              {Value(rect), uintptr_t(left), uintptr_t(top), uintptr_t(right),
               uintptr_t(bottom)});
  rect->left = left;
  rect->top = top;
  rect->right = right;
  rect->bottom = bottom;
  return TRUE;
}

// A scripted failure (any answer but 0) is a window that is gone: FALSE,
// and the rectangle untouched.
BOOL WINAPI FakeGetClientRect(HWND window, LPRECT rect) {
  FakeCall &call = fake.Record("GetClientRect", NULL, {Value(window)});
  call.result = fake.Next("GetClientRect", NULL);
  if (call.result != S_OK)
    return FALSE;
  *rect = InThreadContext(fake.clientRect, FakeMonitorOf(window).dpi);
  return TRUE;
}

BOOL WINAPI FakeClientToScreen(HWND window, LPPOINT point) {
  fake.Record("ClientToScreen", NULL,
              {Value(window), uintptr_t(point->x), uintptr_t(point->y)});
  UINT dpi = FakeMonitorOf(window).dpi;
  point->x += InThreadContext(fake.clientOrigin.x, dpi);
  point->y += InThreadContext(fake.clientOrigin.y, dpi);
  return TRUE;
}

// Not recorded, as the window answers below: a frame may ask every time.
BOOL WINAPI FakeScreenToClient(HWND window, LPPOINT point) {
  if (window == NULL || fake.deadWindows.count(window) != 0)
    return FALSE;
  UINT dpi = FakeMonitorOf(window).dpi;
  point->x -= InThreadContext(fake.clientOrigin.x, dpi);
  point->y -= InThreadContext(fake.clientOrigin.y, dpi);
  return TRUE;
}

BOOL WINAPI FakeGetCursorPos(LPPOINT point) {
  if (fake.Next("GetCursorPos", NULL) != S_OK)
    return FALSE;
  UINT dpi = FakeMonitorOf(NULL).dpi; // the client area's monitor
  *point = POINT{InThreadContext(fake.cursor.x, dpi),
                 InThreadContext(fake.cursor.y, dpi)};
  return TRUE;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
  if (fake.fakeHandles.count(handle) != 0) {
    fake.Record("CloseHandle", NULL, {Value(handle)});
    fake.fakeHandles.erase(handle);
    return TRUE;
  }
#if defined(_WIN32)
  // Handles of the test runtime itself go to the real call.
  typedef BOOL(WINAPI * CloseHandleFunction)(HANDLE);
  static CloseHandleFunction real =
      reinterpret_cast<CloseHandleFunction>(reinterpret_cast<void *>(
          GetProcAddress(GetModuleHandleA("kernel32.dll"), "CloseHandle")));
  return real(handle);
#else
  fake.Record("CloseHandle", NULL, {Value(handle)});
  return FALSE;
#endif
}

// Not recorded: the library asks it wherever a window is needed, which
// would only pad every call list.
BOOL WINAPI FakeIsWindow(HWND window) {
  return window != NULL && fake.deadWindows.count(window) == 0;
}

// -- the window system's windows ----------------------------------------

FakeWindow *Find(HWND window) {
  std::map<HWND, FakeWindow>::iterator found = fake.windows.find(window);
  return found == fake.windows.end() ? NULL : &found->second;
}

FakeWindow *Live(HWND window) {
  return fake.deadWindows.count(window) != 0 ? NULL : Find(window);
}

LRESULT CallChain(HWND window, size_t from, UINT message, WPARAM wParam,
                  LPARAM lParam);

void Compact(FakeWindow &window);

// An empty chain found at the end of a message goes, as the system's does.
// Called with none (its chain went while a hook sat above it, and that
// hook's owner put it back), it can only swallow the message.
LRESULT CALLBACK ChainProcedure(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  FakeWindow *found = Find(window);
  if (found == NULL || !found->chained)
    return 0;
  LRESULT result =
      CallChain(window, found->subclasses.size(), message, wParam, lParam);
  found = Find(window);
  if (found != NULL)
    Compact(*found);
  return result;
}

// Erases the removed subclasses once no call runs; an empty chain goes and
// sets the window procedure it replaced back, even over a hook set above it
// (Wine's does).
void Compact(FakeWindow &window) {
  if (window.running != 0)
    return;
  std::vector<FakeWindow::Subclass> &chain = window.subclasses;
  for (size_t i = chain.size(); i-- > 0;)
    if (chain[i].removed)
      chain.erase(chain.begin() + long(i));
  if (chain.empty() && window.chained) {
    window.procedure = window.beneath;
    window.chained = false;
  }
}

// Calls the highest subclass below `from`, or the procedure beneath.
LRESULT CallChain(HWND window, size_t from, UINT message, WPARAM wParam,
                  LPARAM lParam) {
  FakeWindow *found = Find(window);
  if (found == NULL)
    return 0;
  size_t i = from;
  while (i > 0 && found->subclasses[i - 1].removed)
    --i;
  if (i == 0)
    return found->beneath != NULL
               ? found->beneath(window, message, wParam, lParam)
               : 0;
  FakeWindow::Subclass subclass = found->subclasses[i - 1];
  size_t below = found->below;
  found->below = i - 1;
  ++found->running;
  LRESULT result = subclass.procedure(window, message, wParam, lParam,
                                      subclass.id, subclass.data);
  found = Find(window);
  if (found != NULL) {
    --found->running;
    found->below = below;
    Compact(*found);
  }
  return result;
}

LPARAM SizeOf(const RECT &rect) {
  return LPARAM(((rect.bottom - rect.top) & 0xFFFF) << 16 |
                ((rect.right - rect.left) & 0xFFFF));
}

bool SameSize(const RECT &a, const RECT &b) {
  return a.right - a.left == b.right - b.left &&
         a.bottom - a.top == b.bottom - b.top;
}

// The window shown as `command` says, at its normal place when neither
// minimised nor maximised; WM_SIZE when that changed its size or state.
void Place(HWND window, UINT command) {
  FakeWindow *found = Live(window);
  if (found == NULL)
    return;
  UINT show = SW_SHOWNORMAL;
  RECT rect = found->normal;
  WPARAM kind = SIZE_RESTORED;
  if (command == SW_SHOWMINIMIZED || command == SW_MINIMIZE ||
      command == SW_SHOWMINNOACTIVE) {
    show = SW_SHOWMINIMIZED;
    rect = RECT{-32000, -32000, -31840, -31972};
    kind = SIZE_MINIMIZED;
  } else if (command == SW_SHOWMAXIMIZED) {
    show = SW_SHOWMAXIMIZED;
    rect = FakeMonitorOf(window).rect;
    kind = SIZE_MAXIMIZED;
  }
  bool changed = show != found->show || !SameSize(rect, found->rect);
  found->show = show;
  found->rect = rect;
  found->style &= ~LONG_PTR(WS_MINIMIZE | WS_MAXIMIZE);
  if (show == SW_SHOWMINIMIZED)
    found->style |= WS_MINIMIZE;
  if (show == SW_SHOWMAXIMIZED)
    found->style |= WS_MAXIMIZE;
  if (changed)
    FakeSend(window, WM_SIZE, kind, SizeOf(rect));
}

LONG_PTR WINAPI FakeGetWindowLongPtrW(HWND window, int index) {
  FakeWindow *found = Live(window);
  if (found == NULL)
    return 0;
  switch (index) {
  case GWL_STYLE:
    return found->style;
  case GWL_EXSTYLE:
    return found->exStyle;
  case GWLP_WNDPROC:
    return reinterpret_cast<LONG_PTR>(found->procedure);
  }
  return 0;
}

LONG_PTR WINAPI FakeSetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  FakeWindow *found = Live(window);
  fake.Record("SetWindowLongPtrW", NULL,
              {Value(window), uintptr_t(index), uintptr_t(value)});
  LONG_PTR old = FakeGetWindowLongPtrW(window, index);
  if (found == NULL)
    return 0;
  if (index == GWL_STYLE)
    found->style = value;
  else if (index == GWL_EXSTYLE)
    found->exStyle = value;
  else if (index == GWLP_WNDPROC)
    found->procedure = reinterpret_cast<WNDPROC>(value);
  return old;
}

// A minimised window's normal place stays: SetWindowPos moves its icon.
BOOL WINAPI FakeSetWindowPos(HWND window, HWND after, int x, int y, int width,
                             int height, UINT flags) {
  fake.Record("SetWindowPos", NULL,
              {Value(window), Value(after), uintptr_t(x), uintptr_t(y),
               uintptr_t(width), uintptr_t(height), flags});
  FakeWindow *found = Live(window);
  if (found == NULL)
    return FALSE;
  if (found->show == SW_SHOWMINIMIZED)
    return TRUE;
  RECT rect = found->rect;
  if (!(flags & SWP_NOMOVE))
    rect = RECT{x, y, x + rect.right - rect.left, y + rect.bottom - rect.top};
  if (!(flags & SWP_NOSIZE)) {
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
  }
  bool resized = !SameSize(rect, found->rect);
  found->rect = rect;
  if (found->show == SW_SHOWNORMAL)
    found->normal = rect;
  if (resized)
    FakeSend(window, WM_SIZE, SIZE_RESTORED, SizeOf(rect));
  return TRUE;
}

BOOL WINAPI FakeGetWindowPlacement(HWND window, WINDOWPLACEMENT *placement) {
  FakeWindow *found = Live(window);
  if (found == NULL)
    return FALSE;
  memset(placement, 0, sizeof *placement);
  placement->length = sizeof *placement;
  placement->showCmd = found->show;
  placement->rcNormalPosition = found->normal;
  return TRUE;
}

BOOL WINAPI FakeSetWindowPlacement(HWND window,
                                   const WINDOWPLACEMENT *placement) {
  fake.Record("SetWindowPlacement", NULL, {Value(window), placement->showCmd});
  FakeWindow *found = Live(window);
  if (found == NULL)
    return FALSE;
  found->normal = placement->rcNormalPosition;
  Place(window, placement->showCmd);
  return TRUE;
}

BOOL WINAPI FakeIsIconic(HWND window) {
  FakeWindow *found = Live(window);
  return found != NULL && found->show == SW_SHOWMINIMIZED;
}

// Monitor handles are their places in the list, from 0x4D0.
const uintptr_t kFirstMonitor = 0x4D0;

HMONITOR WINAPI FakeMonitorFromWindow(HWND window, DWORD) {
  return reinterpret_cast<HMONITOR>(
      kFirstMonitor + size_t(&FakeMonitorOf(window) - &fake.monitors[0]));
}

// The monitor behind a handle and its number; null for another handle.
const FakePlatform::Monitor *MonitorOf(HMONITOR handle, size_t &number) {
  number = reinterpret_cast<uintptr_t>(handle) - kFirstMonitor;
  return number < fake.monitors.size() ? &fake.monitors[number] : NULL;
}

BOOL WINAPI FakeGetMonitorInfoW(HMONITOR handle, LPMONITORINFO info) {
  size_t number = 0;
  const FakePlatform::Monitor *monitor = MonitorOf(handle, number);
  if (monitor == NULL)
    return FALSE;
  info->rcMonitor = InThreadContext(monitor->rect, monitor->dpi);
  info->rcWork = info->rcMonitor;
  info->dwFlags = number == 0 ? 1 : 0; // MONITORINFOF_PRIMARY
  return TRUE;
}

#if defined(_WIN32)
BOOL WINAPI FakeGetMonitorInfoA(HMONITOR handle, LPMONITORINFO info) {
  size_t number = 0;
  if (MonitorOf(handle, number) == NULL || !FakeGetMonitorInfoW(handle, info))
    return FALSE;
  if (info->cbSize >= sizeof(MONITORINFOEXA))
    snprintf(reinterpret_cast<MONITORINFOEXA *>(info)->szDevice, CCHDEVICENAME,
             "\\\\.\\DISPLAY%u", unsigned(number + 1));
  return TRUE;
}

// A monitor's mode in real pixels, at its rate: the primary's for no name.
BOOL WINAPI FakeEnumDisplaySettingsA(LPCSTR device, DWORD, DEVMODEA *mode) {
  unsigned number = 1;
  if (device != NULL && sscanf(device, "\\\\.\\DISPLAY%u", &number) != 1)
    return FALSE;
  if (number < 1 || number > fake.monitors.size())
    return FALSE;
  const FakePlatform::Monitor &monitor = fake.monitors[number - 1];
  mode->dmPelsWidth = DWORD(monitor.rect.right - monitor.rect.left);
  mode->dmPelsHeight = DWORD(monitor.rect.bottom - monitor.rect.top);
  mode->dmDisplayFrequency = DWORD(monitor.hertz);
  return TRUE;
}

BOOL WINAPI FakeGetWindowRect(HWND window, LPRECT rect) {
  FakeWindow *found = Live(window);
  if (found == NULL)
    return FALSE;
  *rect = InThreadContext(found->rect, FakeMonitorOf(window).dpi);
  return TRUE;
}

// What the system gives for names the fakes do not take, found as the
// loader finds it.
struct AnsiName {
  USHORT length, maximum;
  const char *text;
};
extern "C" LONG NTAPI LdrGetProcedureAddress(HMODULE, const AnsiName *, ULONG,
                                             void **);
FARPROC RealProcedure(HMODULE module, LPCSTR name) {
  void *address = NULL;
  bool ordinal = (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
  AnsiName text = {0, 0, name};
  if (!ordinal)
    text.length = text.maximum = USHORT(strlen(name));
  if (LdrGetProcedureAddress(module, ordinal ? NULL : &text,
                             ordinal ? ULONG(reinterpret_cast<uintptr_t>(name))
                                     : 0,
                             &address) != 0)
    return NULL;
  FARPROC found;
  memcpy(&found, &address, sizeof found);
  return found;
}

// The virtual screen is every monitor together.
int WINAPI FakeGetSystemMetrics(int index) {
  RECT all = InThreadContext(fake.monitors[0].rect, fake.monitors[0].dpi);
  for (const FakePlatform::Monitor &monitor : fake.monitors) {
    RECT seen = InThreadContext(monitor.rect, monitor.dpi);
    all = RECT{std::min(all.left, seen.left), std::min(all.top, seen.top),
               std::max(all.right, seen.right),
               std::max(all.bottom, seen.bottom)};
  }
  switch (index) {
  case SM_XVIRTUALSCREEN:
    return all.left;
  case SM_YVIRTUALSCREEN:
    return all.top;
  case SM_CXVIRTUALSCREEN:
    return all.right - all.left;
  case SM_CYVIRTUALSCREEN:
    return all.bottom - all.top;
  }
  return 0; // no other metric is asked
}

// -- procedures found at run time ---------------------------------------

DPI_AWARENESS_CONTEXT ContextOf(int awareness) {
  return reinterpret_cast<DPI_AWARENESS_CONTEXT>(intptr_t(-1 - awareness));
}

int WindowAwareness(HWND window) {
  FakeWindow *found = Find(window);
  return found != NULL ? found->dpiAwareness : 0;
}

DPI_AWARENESS_CONTEXT WINAPI FakeGetWindowDpiAwarenessContext(HWND window) {
  return FakeIsWindow(window) ? ContextOf(WindowAwareness(window)) : NULL;
}

DPI_AWARENESS_CONTEXT WINAPI FakeGetThreadDpiAwarenessContext() {
  return ContextOf(fake.threadAwareness);
}

DPI_AWARENESS WINAPI
FakeGetAwarenessFromDpiAwarenessContext(DPI_AWARENESS_CONTEXT context) {
  return DPI_AWARENESS(-1 - reinterpret_cast<intptr_t>(context));
}

DPI_AWARENESS_CONTEXT WINAPI
FakeSetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT context) {
  fake.Record("SetThreadDpiAwarenessContext", NULL,
              {uintptr_t(FakeGetAwarenessFromDpiAwarenessContext(context))});
  DPI_AWARENESS_CONTEXT previous = ContextOf(fake.threadAwareness);
  fake.threadAwareness = FakeGetAwarenessFromDpiAwarenessContext(context);
  return previous;
}

BOOL WINAPI FakeAreDpiAwarenessContextsEqual(DPI_AWARENESS_CONTEXT a,
                                             DPI_AWARENESS_CONTEXT b) {
  return a == b;
}

UINT WINAPI FakeGetDpiForWindow(HWND window) {
  int awareness = WindowAwareness(window);
  return awareness == 2   ? FakeMonitorOf(window).dpi
         : awareness == 1 ? fake.monitors[0].dpi
                          : 96;
}

HRESULT WINAPI FakeDwmGetCompositionTimingInfo(HWND window,
                                               DWM_TIMING_INFO *timing) {
  FakeCall &call =
      fake.Record("DwmGetCompositionTimingInfo", NULL, {Value(window)});
  call.result = fake.Next(call.name, NULL);
  if (call.result != S_OK)
    return call.result;
  timing->rateRefresh.uiNumerator = fake.dwmRate[0];
  timing->rateRefresh.uiDenominator = fake.dwmRate[1];
  timing->qpcVBlank = fake.dwmVBlank;
  return S_OK;
}

UINT WINAPI FakeTimeBeginPeriod(UINT period) {
  fake.Record("timeBeginPeriod", NULL, {period});
  return 0;
}

UINT WINAPI FakeTimeEndPeriod(UINT period) {
  fake.Record("timeEndPeriod", NULL, {period});
  return 0;
}

template <class Function> FARPROC AsProcedure(Function function) {
  FARPROC procedure;
  memcpy(&procedure, &function, sizeof procedure);
  return procedure;
}

// The fakes of procedures the library looks up; any other name is the
// system's.
FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  if ((reinterpret_cast<uintptr_t>(name) >> 16) == 0)
    return RealProcedure(module, name);
  static const struct {
    const char *name;
    FARPROC procedure;
  } procedures[] = {
      {"GetWindowDpiAwarenessContext",
       AsProcedure(FakeGetWindowDpiAwarenessContext)},
      {"GetThreadDpiAwarenessContext",
       AsProcedure(FakeGetThreadDpiAwarenessContext)},
      {"SetThreadDpiAwarenessContext",
       AsProcedure(FakeSetThreadDpiAwarenessContext)},
      {"AreDpiAwarenessContextsEqual",
       AsProcedure(FakeAreDpiAwarenessContextsEqual)},
      {"GetAwarenessFromDpiAwarenessContext",
       AsProcedure(FakeGetAwarenessFromDpiAwarenessContext)},
      {"GetDpiForWindow", AsProcedure(FakeGetDpiForWindow)},
      {"DwmGetCompositionTimingInfo",
       AsProcedure(FakeDwmGetCompositionTimingInfo)},
      {"timeBeginPeriod", AsProcedure(FakeTimeBeginPeriod)},
      {"timeEndPeriod", AsProcedure(FakeTimeEndPeriod)},
      {"CreateWaitableTimerExW", NULL}, // the system's, unless absent
  };
  for (const auto &procedure : procedures)
    if (strcmp(procedure.name, name) == 0) {
      if (fake.absent.count(name) != 0)
        return NULL;
      return procedure.procedure != NULL ? procedure.procedure
                                         : RealProcedure(module, name);
    }
  return RealProcedure(module, name);
}
#endif

// A frame of 8 pixels, and a title bar of 23 above it.
BOOL WINAPI FakeAdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD) {
  if ((style & WS_CAPTION) == WS_CAPTION) {
    rect->left -= 8;
    rect->top -= 31;
    rect->right += 8;
    rect->bottom += 8;
  }
  return TRUE;
}

// The thread that made the window: this one, or another.
DWORD WINAPI FakeGetWindowThreadProcessId(HWND window, LPDWORD process) {
  if (process != NULL)
    *process = 1;
  FakeWindow *found = Live(window);
  return GetCurrentThreadId() + (found != NULL && found->otherThread ? 1 : 0);
}

BOOL WINAPI FakeSetWindowSubclass(HWND window, SUBCLASSPROC procedure,
                                  UINT_PTR id, DWORD_PTR data) {
  fake.Record("SetWindowSubclass", NULL, {Value(window), id, data});
  // A handle the tests use without making it (TestWindow) is a window of
  // no procedure of its own.
  FakeWindow *found = FakeIsWindow(window) ? &fake.windows[window] : NULL;
  if (found == NULL || procedure == NULL || found->otherThread)
    return FALSE;
  for (FakeWindow::Subclass &subclass : found->subclasses)
    if (subclass.procedure == procedure && subclass.id == id &&
        !subclass.removed) {
      subclass.data = data;
      return TRUE;
    }
  if (!found->chained) {
    found->beneath = found->procedure;
    found->procedure = ChainProcedure;
    found->chained = true;
  }
  found->subclasses.push_back(FakeWindow::Subclass{procedure, id, data, false});
  return TRUE;
}

BOOL WINAPI FakeRemoveWindowSubclass(HWND window, SUBCLASSPROC procedure,
                                     UINT_PTR id) {
  fake.Record("RemoveWindowSubclass", NULL, {Value(window), id});
  FakeWindow *found = Find(window);
  if (found == NULL || found->otherThread)
    return FALSE;
  for (FakeWindow::Subclass &subclass : found->subclasses)
    if (subclass.procedure == procedure && subclass.id == id &&
        !subclass.removed) {
      subclass.removed = true;
      Compact(*found);
      return TRUE;
    }
  return FALSE;
}

LRESULT WINAPI FakeDefSubclassProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
  FakeWindow *found = Find(window);
  if (found == NULL || found->running == 0)
    return 0;
  return CallChain(window, found->below, message, wParam, lParam);
}

BOOL WINAPI FakeIsWindowUnicode(HWND window) {
  FakeWindow *found = Live(window);
  return window != NULL && fake.deadWindows.count(window) == 0 &&
         (found == NULL || !found->ansi);
}

#if defined(_WIN32)
UINT WINAPI FakeGetACP() { return fake.codePage; }
#endif

BOOL WINAPI FakePostMessageW(HWND window, UINT message, WPARAM, LPARAM) {
  fake.Record("PostMessageW", NULL, {Value(window), message});
  if (Live(window) == NULL)
    return FALSE;
  fake.posted.push_back(FakePlatform::Posted{window, message});
  return TRUE;
}

UINT WINAPI FakeRegisterWindowMessageW(const wchar_t *) { return 0xC123; }

HCURSOR WINAPI FakeSetCursor(HCURSOR cursor) {
  fake.Record("SetCursor", NULL, {Value(cursor)});
  return NULL;
}

// A window of no procedure of its own, as the library's private one is.
HWND WINAPI FakeCreateWindowExW(DWORD, const wchar_t *, const wchar_t *, DWORD,
                                int, int, int, int, HWND, HMENU, HINSTANCE,
                                void *) {
  return FakeCreateWindow(NULL, 0, RECT{0, 0, 0, 0});
}

BOOL WINAPI FakeDestroyWindow(HWND window) {
  if (Live(window) == NULL)
    return FALSE;
  FakeDestroy(window);
  return TRUE;
}

} // namespace

const FakePlatform::Monitor &FakeMonitorOf(HWND window) {
  std::map<HWND, FakeWindow>::iterator found = fake.windows.find(window);
  RECT place = {fake.clientOrigin.x, fake.clientOrigin.y,
                fake.clientOrigin.x + fake.clientRect.right,
                fake.clientOrigin.y + fake.clientRect.bottom};
  if (found != fake.windows.end())
    place = found->second.rect;
  size_t best = 0;
  long long most = 0;
  for (size_t i = 0; i < fake.monitors.size(); ++i) {
    const RECT &on = fake.monitors[i].rect;
    long long across = std::min(place.right, on.right) -
                       std::max(place.left, on.left),
              down = std::min(place.bottom, on.bottom) -
                     std::max(place.top, on.top);
    if (across > 0 && down > 0 && across * down > most) {
      most = across * down;
      best = i;
    }
  }
  return fake.monitors[best];
}

HWND FakeCreateWindow(WNDPROC procedure, LONG_PTR style, const RECT &rect,
                      HWND reused) {
  static uintptr_t made = 0; // handles come again only when asked
  HWND window = reinterpret_cast<HWND>(0x70000 + 8 * ++made);
  if (reused != NULL && fake.deadWindows.erase(reused) != 0)
    window = reused;
  fake.windows.erase(window);
  FakeWindow &created = fake.windows[window];
  created.procedure = procedure;
  created.style = style;
  created.rect = rect;
  created.normal = rect;
  return window;
}

LRESULT FakeSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  FakeWindow *found = Find(window);
  if (found == NULL || found->procedure == NULL)
    return 0;
  return found->procedure(window, message, wParam, lParam);
}

void FakeShow(HWND window, UINT command) {
  Place(window, command == SW_RESTORE ? UINT(SW_SHOWNORMAL) : command);
}

void FakeDeliverPosted() {
  while (!fake.posted.empty()) {
    FakePlatform::Posted posted = fake.posted.front();
    fake.posted.pop_front();
    FakeSend(posted.window, posted.message, 0, 0);
  }
}

void FakeDestroy(HWND window) {
  if (Live(window) == NULL)
    return;
  FakeSend(window, WM_NCDESTROY, 0, 0);
  fake.deadWindows.insert(window);
}

#if defined(_WIN32)
#if defined(_WIN64) // one calling convention: undecorated names
#define LURN_IMPORT_NAME(name, argumentBytes) "__imp_" #name
#else
#define LURN_IMPORT_NAME(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#endif
#define LURN_FAKE_IMPORT_AS(name, argumentBytes, fake)                         \
  extern "C" void *fakeImport##name __asm__(                                   \
      LURN_IMPORT_NAME(name, argumentBytes));                                  \
  void *fakeImport##name = reinterpret_cast<void *>(&fake);
#define LURN_FAKE_IMPORT(name, argumentBytes)                                  \
  LURN_FAKE_IMPORT_AS(name, argumentBytes, Fake##name)
LURN_FAKE_IMPORT(MessageBoxA, 16)
LURN_FAKE_IMPORT(SetRect, 20)
LURN_FAKE_IMPORT(GetClientRect, 8)
LURN_FAKE_IMPORT(ClientToScreen, 8)
LURN_FAKE_IMPORT(ScreenToClient, 8)
LURN_FAKE_IMPORT(GetCursorPos, 4)
LURN_FAKE_IMPORT(CloseHandle, 4)
LURN_FAKE_IMPORT(IsWindow, 4)
#if defined(_WIN64)
LURN_FAKE_IMPORT(GetWindowLongPtrW, 8)
LURN_FAKE_IMPORT(SetWindowLongPtrW, 12)
#else // the 32-bit names of the same calls
LURN_FAKE_IMPORT_AS(GetWindowLongW, 8, FakeGetWindowLongPtrW)
LURN_FAKE_IMPORT_AS(SetWindowLongW, 12, FakeSetWindowLongPtrW)
#endif
LURN_FAKE_IMPORT(SetWindowPos, 28)
LURN_FAKE_IMPORT(GetWindowPlacement, 8)
LURN_FAKE_IMPORT(SetWindowPlacement, 8)
LURN_FAKE_IMPORT(IsIconic, 4)
LURN_FAKE_IMPORT(MonitorFromWindow, 8)
LURN_FAKE_IMPORT(GetMonitorInfoW, 8)
LURN_FAKE_IMPORT(GetMonitorInfoA, 8)
LURN_FAKE_IMPORT(EnumDisplaySettingsA, 12)
LURN_FAKE_IMPORT(GetWindowRect, 8)
LURN_FAKE_IMPORT(GetSystemMetrics, 4)
LURN_FAKE_IMPORT(GetProcAddress, 8)
LURN_FAKE_IMPORT(AdjustWindowRectEx, 16)
LURN_FAKE_IMPORT(SetWindowSubclass, 16)
LURN_FAKE_IMPORT(RemoveWindowSubclass, 12)
LURN_FAKE_IMPORT(DefSubclassProc, 16)
LURN_FAKE_IMPORT(IsWindowUnicode, 4)
LURN_FAKE_IMPORT(GetWindowThreadProcessId, 8)
LURN_FAKE_IMPORT(GetACP, 0)
LURN_FAKE_IMPORT(PostMessageW, 16)
LURN_FAKE_IMPORT(RegisterWindowMessageW, 4)
LURN_FAKE_IMPORT(SetCursor, 4)
LURN_FAKE_IMPORT(CreateWindowExW, 48)
LURN_FAKE_IMPORT(DestroyWindow, 4)
#else
int WINAPI MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type) {
  return FakeMessageBoxA(window, text, caption, type);
}
BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  return FakeSetRect(rect, left, top, right, bottom);
}
BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
  return FakeGetClientRect(window, rect);
}
BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) {
  return FakeClientToScreen(window, point);
}
BOOL WINAPI ScreenToClient(HWND window, LPPOINT point) {
  return FakeScreenToClient(window, point);
}
BOOL WINAPI GetCursorPos(LPPOINT point) { return FakeGetCursorPos(point); }
BOOL WINAPI CloseHandle(HANDLE handle) { return FakeCloseHandle(handle); }
BOOL WINAPI IsWindow(HWND window) { return FakeIsWindow(window); }
LONG_PTR WINAPI GetWindowLongPtrW(HWND window, int index) {
  return FakeGetWindowLongPtrW(window, index);
}
LONG_PTR WINAPI SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  return FakeSetWindowLongPtrW(window, index, value);
}
BOOL WINAPI SetWindowPos(HWND window, HWND after, int x, int y, int width,
                         int height, UINT flags) {
  return FakeSetWindowPos(window, after, x, y, width, height, flags);
}
BOOL WINAPI GetWindowPlacement(HWND window, WINDOWPLACEMENT *placement) {
  return FakeGetWindowPlacement(window, placement);
}
BOOL WINAPI SetWindowPlacement(HWND window, const WINDOWPLACEMENT *placement) {
  return FakeSetWindowPlacement(window, placement);
}
BOOL WINAPI IsIconic(HWND window) { return FakeIsIconic(window); }
HMONITOR WINAPI MonitorFromWindow(HWND window, DWORD flags) {
  return FakeMonitorFromWindow(window, flags);
}
BOOL WINAPI GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info) {
  return FakeGetMonitorInfoW(monitor, info);
}
BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu,
                               DWORD exStyle) {
  return FakeAdjustWindowRectEx(rect, style, menu, exStyle);
}
BOOL WINAPI SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id,
                              DWORD_PTR data) {
  return FakeSetWindowSubclass(window, procedure, id, data);
}
BOOL WINAPI RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure,
                                 UINT_PTR id) {
  return FakeRemoveWindowSubclass(window, procedure, id);
}
LRESULT WINAPI DefSubclassProc(HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
  return FakeDefSubclassProc(window, message, wParam, lParam);
}
BOOL WINAPI IsWindowUnicode(HWND window) { return FakeIsWindowUnicode(window); }
DWORD WINAPI GetCurrentThreadId() { return 1; } // the tests' one thread
BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam) {
  return FakePostMessageW(window, message, wParam, lParam);
}
UINT WINAPI RegisterWindowMessageW(const wchar_t *name) {
  return FakeRegisterWindowMessageW(name);
}
HCURSOR WINAPI SetCursor(HCURSOR cursor) { return FakeSetCursor(cursor); }
DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD process) {
  return FakeGetWindowThreadProcessId(window, process);
}
HWND WINAPI CreateWindowExW(DWORD exStyle, const wchar_t *className,
                            const wchar_t *name, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, void *parameter) {
  return FakeCreateWindowExW(exStyle, className, name, style, x, y, width,
                             height, parent, menu, instance, parameter);
}
BOOL WINAPI DestroyWindow(HWND window) { return FakeDestroyWindow(window); }
#endif
