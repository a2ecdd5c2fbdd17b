// Natively the Windows window system exists only as the unit tests' fake
// (fake_window.cpp): these are the declarations of the part of it that the
// library's window code calls, with Windows' names and values, over the
// stand-in's <windows.h>. Only the unit tests have this folder on their
// include path; the Windows build gets the system's <commctrl.h>.
#ifndef LURN_FAKE_COMMCTRL_H
#define LURN_FAKE_COMMCTRL_H

#include <windows.h>

typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t DWORD_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void *HMONITOR;
typedef void *HCURSOR;
#define CALLBACK

typedef LRESULT(CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef LRESULT(CALLBACK *SUBCLASSPROC)(HWND, UINT, WPARAM, LPARAM, UINT_PTR,
                                        DWORD_PTR);

struct MONITORINFO {
  DWORD cbSize;
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags;
};
typedef MONITORINFO *LPMONITORINFO;

struct WINDOWPLACEMENT {
  UINT length;
  UINT flags;
  UINT showCmd;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};

#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define WS_CAPTION 0x00C00000L
#define WS_POPUP ((LONG)0x80000000)
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define GWLP_WNDPROC (-4)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define HWND_TOP ((HWND)0)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_RESTORE 9
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
#define WM_SIZE 0x0005
#define WM_KILLFOCUS 0x0008
#define WM_SETCURSOR 0x0020
#define HTCLIENT 1
#define HTCAPTION 2
#define LOWORD(l) ((WORD)((uintptr_t)(l)&0xFFFF))
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_USER 0x0400
#define VK_RETURN 0x0D
#define MONITOR_DEFAULTTONEAREST 2

LONG_PTR WINAPI GetWindowLongPtrW(HWND window, int index);
LONG_PTR WINAPI SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
BOOL WINAPI SetWindowPos(HWND window, HWND after, int x, int y, int width,
                         int height, UINT flags);
BOOL WINAPI GetWindowPlacement(HWND window, WINDOWPLACEMENT *placement);
BOOL WINAPI SetWindowPlacement(HWND window, const WINDOWPLACEMENT *placement);
BOOL WINAPI IsIconic(HWND window);
HMONITOR WINAPI MonitorFromWindow(HWND window, DWORD flags);
BOOL WINAPI GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info);
BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu,
                               DWORD exStyle);
BOOL WINAPI SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id,
                              DWORD_PTR data);
BOOL WINAPI RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure,
                                 UINT_PTR id);
LRESULT WINAPI DefSubclassProc(HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam);
HCURSOR WINAPI SetCursor(HCURSOR cursor);
BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam);
UINT WINAPI RegisterWindowMessageW(const wchar_t *name);

#endif
