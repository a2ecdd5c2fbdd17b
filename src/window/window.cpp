// The core of the window records: the list, the library's one subclass on
// each window, put on and taken off by one rule, and the window procedure,
// which hands each message to the attachments that listen.
#include "window.h"

#include "../errors/diagnostic.h"
#include "../settings/settings.h"
#include "typed_keys.h"
#if defined(LURN_WINDOW_SYSTEM)
#include "window_look.h"
#endif

namespace {

std::vector<std::unique_ptr<WindowRecord>> records;
UINT_PTR lastHook; // under the lock; IDs are never reused

// Under the lock: whether `record` is still one of the list.
bool Known(const WindowRecord *record) {
  for (const std::unique_ptr<WindowRecord> &known : records)
    if (known.get() == record)
      return true;
  return false;
}

bool Unused(const WindowRecord &record) {
  bool windowSystem = false;
#if defined(LURN_WINDOW_SYSTEM)
  windowSystem =
      record.altEnter != NULL || record.cursor != NULL || record.look != NULL;
#endif
  return record.keyboards == NULL && !windowSystem;
}

bool Listening(const WindowRecord &record) {
  bool windowSystem = false;
#if defined(LURN_WINDOW_SYSTEM)
  windowSystem = record.altEnter != NULL || record.cursor != NULL;
#endif
  return KeyboardsListen(record) || windowSystem;
}

// The record and its attachments go together.
void Erase(WindowRecord *record) {
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i].get() == record) {
      records[i] = std::move(records.back());
      records.pop_back();
      return;
    }
}

LRESULT CALLBACK Probe(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                       UINT_PTR, DWORD_PTR) {
  return DefSubclassProc(window, message, wParam, lParam);
}

// The window procedure the system's subclass chain puts on a window, learnt
// from a private message-only window; 0 where there is none to learn from
// (the stand-in's windows have no procedure: 0 is then their chain's).
LONG_PTR LearnChainProcedure() {
  HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               NULL, NULL, NULL);
  if (probe == NULL)
    return 0;
  LONG_PTR procedure = 0;
  if (SetWindowSubclass(probe, Probe, 1, 0)) {
    procedure = GetWindowLongPtrW(probe, GWLP_WNDPROC);
    RemoveWindowSubclass(probe, Probe, 1);
  }
  DestroyWindow(probe);
  return procedure;
}

// The system's chain procedure, learnt at the first call, which makes no
// lock of the library's wait on the private window's creation.
LONG_PTR ChainProcedure() {
  static const LONG_PTR chain = LearnChainProcedure();
  return chain;
}

// Whether the subclass may come off now: only while the window's procedure
// is the system's chain (`chain`). A hook the program set above the chain
// by the window procedure would otherwise be cut out as the emptied chain
// puts back the procedure it replaced, whether the chain was the library's
// or was there before.
bool ChainClear(HWND window, LONG_PTR chain) {
  return GetWindowLongPtrW(window, GWLP_WNDPROC) == chain;
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  // The subclass is taken off before its record goes.
  WindowRecord *record = reinterpret_cast<WindowRecord *>(data);
  bool settle = false;
#if defined(LURN_WINDOW_SYSTEM)
  bool hideCursor = false;
  HearDisplayChange(message);
  if (message == AltEnterMessage()) {
    MakePostedMoves(window);
    return 0;
  }
#endif
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    if (message == WM_NCDESTROY) {
      record->gone = true;
      settle = true;
    } else if (!Listening(*record)) {
      settle = true; // left on the window: off once the chain is clear
    }
#if defined(LURN_WINDOW_SYSTEM)
    // Before the keyboards: Alt+Enter's key messages, its held Return's
    // repeats and characters among them, are the library's.
    else if (AltEnterHears(*record, message, wParam, lParam)) {
      return 0;
    }
#endif
    else {
      KeyboardsHear(*record, message, wParam, lParam);
#if defined(LURN_WINDOW_SYSTEM)
      hideCursor = CursorHidden(*record, message, lParam);
#endif
    }
  }
#if defined(LURN_WINDOW_SYSTEM)
  if (hideCursor) {
    SetCursor(NULL);
    return TRUE;
  }
#endif
  if (settle)
    SettleWindow(record); // `record` may be gone after this
  return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

WindowRecord::WindowRecord()
    : window(NULL), gone(false), hookId(0), hooked(false), settling(false),
      refusalSaid(false) {}

WindowRecord::~WindowRecord() {}

bool OnWindowThread(HWND window) {
  return GetWindowThreadProcessId(window, NULL) == GetCurrentThreadId();
}

std::mutex &WindowsLock() {
  static std::mutex lock;
  return lock;
}

const std::vector<std::unique_ptr<WindowRecord>> &WindowRecords() {
  return records;
}

WindowRecord *LiveRecord(HWND window) {
  for (const std::unique_ptr<WindowRecord> &record : records)
    if (record->window == window && !record->gone)
      return record.get();
  return NULL;
}

WindowRecord *HoldWindow(HWND window) {
  if (!IsWindow(window))
    return NULL;
  WindowRecord *record = LiveRecord(window);
  if (record == NULL) {
    records.emplace_back(new WindowRecord());
    record = records.back().get();
    record->window = window;
    record->hookId = ++lastHook;
  }
  return record;
}

bool MayHook(WindowRecord &record, bool &sayRefusal) {
  if (record.gone)
    return false;
  if (OnWindowThread(record.window))
    return true;
  sayRefusal = !record.refusalSaid;
  record.refusalSaid = true;
  return false;
}

void SayHookRefused(const WindowRecord *record, bool sayRefusal,
                    const char *method) {
  if (sayRefusal)
    SayDiagnostic("lurn: %s: window %p belongs to another thread, which "
                  "alone may hook it; call %s on the window's thread",
                  method, static_cast<void *>(record->window), method);
}

void SettleWindow(WindowRecord *record) {
  const LONG_PTR chain = ChainProcedure(); // learnt with no lock held
  for (;;) {
    HWND window;
    UINT_PTR id;
    bool hook;
    {
      std::lock_guard<std::mutex> hold(WindowsLock());
      if (!Known(record) || record->settling)
        return; // gone, or the thread settling it sees to it
      window = record->window;
      id = record->hookId;
      bool wanted = Listening(*record) && !record->gone;
      if (record->hooked && !IsWindow(window))
        record->hooked = false; // the subclass went with the window
      hook = wanted && !record->hooked && OnWindowThread(window);
      bool unhook = !wanted && record->hooked && OnWindowThread(window) &&
                    (record->gone || ChainClear(window, chain));
      if (!hook && !unhook) {
        if (!record->hooked && Unused(*record))
          Erase(record);
        return;
      }
      record->settling = true;
    }
    // The system's chain is changed outside the lock: the chain's own lock
    // may be held by a thread calling the window's procedure, which takes
    // this one.
    bool done = hook ? SetWindowSubclass(window, WindowProcedure, id,
                                         reinterpret_cast<DWORD_PTR>(record))
                     : RemoveWindowSubclass(window, WindowProcedure, id);
    std::lock_guard<std::mutex> hold(WindowsLock());
    record->settling = false;
    if (!done) {
      if (!hook && !IsWindow(window))
        record->hooked = false;
      return; // tried again by the next call that settles it
    }
    record->hooked = hook;
  }
}
