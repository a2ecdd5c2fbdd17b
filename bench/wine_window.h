// The Windows benches' window, picture and message pump, as a game has
// them.
#ifndef LURN_BENCH_WINE_WINDOW_H
#define LURN_BENCH_WINE_WINDOW_H

#include <lurn.h>
#include <windows.h>

#include <string.h>

// A visible overlapped window of the given client area at the screen's
// corner.
inline HWND MakeWindow(const char *title, int width, int height) {
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "lurn bench";
  RegisterClassA(&windowClass); // fails harmlessly once registered
  RECT frame = {0, 0, width, height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  return CreateWindowA("lurn bench", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                       0, frame.right - frame.left, frame.bottom - frame.top,
                       NULL, NULL, instance, NULL);
}

// A top-down 32-bit picture's description, as GDI takes it.
inline BITMAPINFO TopDownPicture(int width, int height) {
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The display as the benches open it: a 16-bit picture keeping the desktop,
// in the window or covering its monitor. 1 when it opened.
inline int OpenKeepingDesktop(LurnDirectDraw &display, HWND window,
                              unsigned short width, unsigned short height,
                              bool fullScreen) {
  unsigned char flags =
      LurnDirectDraw::KeepDesktop | LurnDirectDraw::ReleaseSecondary;
  if (fullScreen)
    flags |= LurnDirectDraw::FullScreen;
  return display.Open(window, width, height, 16, flags);
}

inline void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

#endif
