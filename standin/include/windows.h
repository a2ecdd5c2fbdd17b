// The stand-in platform's window-system and COM declarations: the subset of
// <windows.h> that lurn and its native clients use, with the same names.
// Natively a window handle is the client's SDL_Window*; in a web page, the
// canvas's, from CanvasWindow.
#ifndef LURN_STANDIN_WINDOWS_H
#define LURN_STANDIN_WINDOWS_H

#include <stdint.h>
#include <string.h>

typedef int32_t HRESULT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int BOOL;
typedef int WINBOOL;
typedef void *HWND;
typedef void *HINSTANCE;
typedef void *HANDLE;
typedef void *HDC;
typedef void *LPVOID;
typedef const char *LPCSTR;
typedef DWORD *LPDWORD;
typedef LONG *LPLONG;

#define WINAPI
#define STDMETHODCALLTYPE
#define TRUE 1
#define FALSE 0
#define INFINITE 0xFFFFFFFF

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_FAIL ((HRESULT)0x80004005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_HANDLE ((HRESULT)0x80070006)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef const GUID &REFIID;
typedef const GUID &REFGUID;
inline bool operator==(const GUID &a, const GUID &b) {
  return memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator!=(const GUID &a, const GUID &b) { return !(a == b); }

extern const IID IID_IUnknown;

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid,
                                                   void **object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown *LPUNKNOWN;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
typedef RECT *LPRECT;
struct POINT {
  LONG x;
  LONG y;
};
typedef POINT *LPPOINT;

#define MB_OK 0x00000000
#define MB_ICONERROR 0x00000010
#define IDOK 1

// A modal SDL message box owned by `window`; its caption and text also go
// to standard error, which is all there is without a display.
int WINAPI MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type);
BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL WINAPI GetClientRect(HWND window, LPRECT rect);
BOOL WINAPI ClientToScreen(HWND window, LPPOINT point);
BOOL WINAPI ScreenToClient(HWND window, LPPOINT point);
// The pointer on the screen. While a program holds a mode of its own, the
// screen is that mode, as on Windows: the pointer in the mode's pixels,
// through where the stand-in shows the mode in its window, kept on it.
BOOL WINAPI GetCursorPos(LPPOINT point);
BOOL WINAPI CloseHandle(HANDLE handle);
// Whether `window` is a live SDL_Window* that the client made.
BOOL WINAPI IsWindow(HWND window);

// Window messages and the system's subclass chain (comctl32's): natively
// the stand-in sends a subclassed window WM_CHAR, one UTF-16 unit each, for
// SDL's text input, and WM_KEYDOWN (WM_SYSKEYDOWN with Alt) for each of
// SDL's key-downs, auto-repeats included: wParam is SDL's key code, lParam
// as Windows gives it (the scan code is DirectInput's key code).
typedef uintptr_t UINT_PTR;
typedef uintptr_t DWORD_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t LONG_PTR;
#define CALLBACK
#define GWLP_WNDPROC (-4)
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
typedef LRESULT(CALLBACK *SUBCLASSPROC)(HWND window, UINT message,
                                        WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR data);
BOOL WINAPI SetWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id,
                              DWORD_PTR data);
BOOL WINAPI RemoveWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id);
LRESULT WINAPI DefSubclassProc(HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam);
// The stand-in's windows have no procedure of their own: 0 for every index.
LONG_PTR WINAPI GetWindowLongPtrW(HWND window, int index);
// SDL's windows take UTF-16 text, as a Unicode window does.
BOOL WINAPI IsWindowUnicode(HWND window);
// The calling thread, and the thread whose messages a window takes: the
// stand-in's windows take them on whichever thread pumps SDL's events, so
// any thread is a live window's own (0 for no window).
DWORD WINAPI GetCurrentThreadId(void);
DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD process);
// The stand-in makes no windows of the window system's own: NULL, FALSE.
#define HWND_MESSAGE ((HWND)-3)
typedef void *HMENU;
HWND WINAPI CreateWindowExW(DWORD exStyle, const wchar_t *className,
                            const wchar_t *name, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, void *parameter);
BOOL WINAPI DestroyWindow(HWND window);

#ifdef __EMSCRIPTEN__
// In a web page the window is a <canvas>, found by a CSS selector such as
// "#screen"; null when the page has none. It takes the focus on a click or
// a Tab, and its size is its CSS size in device pixels.
HWND WINAPI CanvasWindow(const char *selector);
// Waits at least `milliseconds`, in whole frames of the page, which has its
// turn meanwhile (events, drawing); 0 waits for the next frame.
void WINAPI Sleep(DWORD milliseconds);
#endif

#endif
