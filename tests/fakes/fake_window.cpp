// Fakes of the window-system and kernel calls. On Windows these functions
// are imported from DLLs, so the fakes take the place of the import slots
// that the library's calls go through.
#include "fake_platform.h"

namespace {

uintptr_t Value(const void *pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
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
  *rect = fake.clientRect;
  return TRUE;
}

BOOL WINAPI FakeClientToScreen(HWND window, LPPOINT point) {
  fake.Record("ClientToScreen", NULL,
              {Value(window), uintptr_t(point->x), uintptr_t(point->y)});
  point->x += fake.clientOrigin.x;
  point->y += fake.clientOrigin.y;
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

} // namespace

#if defined(_WIN32)
#if defined(_WIN64) // one calling convention: undecorated names
#define LURN_IMPORT_NAME(name, argumentBytes) "__imp_" #name
#else
#define LURN_IMPORT_NAME(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#endif
#define LURN_FAKE_IMPORT(name, argumentBytes)                                  \
  extern "C" void *fakeImport##name __asm__(                                   \
      LURN_IMPORT_NAME(name, argumentBytes));                                  \
  void *fakeImport##name = reinterpret_cast<void *>(&Fake##name);
LURN_FAKE_IMPORT(MessageBoxA, 16)
LURN_FAKE_IMPORT(SetRect, 20)
LURN_FAKE_IMPORT(GetClientRect, 8)
LURN_FAKE_IMPORT(ClientToScreen, 8)
LURN_FAKE_IMPORT(CloseHandle, 4)
LURN_FAKE_IMPORT(IsWindow, 4)
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
BOOL WINAPI CloseHandle(HANDLE handle) { return FakeCloseHandle(handle); }
BOOL WINAPI IsWindow(HWND window) { return FakeIsWindow(window); }
BOOL WINAPI SetWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id,
                              DWORD_PTR data) {
  fake.Record("SetWindowSubclass", NULL, {Value(window), id});
  if (!FakeIsWindow(window))
    return FALSE;
  fake.subclasses.push_back(FakePlatform::Subclass{window, proc, id, data});
  return TRUE;
}
BOOL WINAPI RemoveWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id) {
  fake.Record("RemoveWindowSubclass", NULL, {Value(window), id});
  for (size_t i = 0; i < fake.subclasses.size(); ++i)
    if (fake.subclasses[i].window == window &&
        fake.subclasses[i].proc == proc && fake.subclasses[i].id == id) {
      fake.subclasses.erase(fake.subclasses.begin() + long(i));
      return TRUE;
    }
  return FALSE;
}
LRESULT WINAPI DefSubclassProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
BOOL WINAPI IsWindowUnicode(HWND window) { return FakeIsWindow(window); }
#endif
