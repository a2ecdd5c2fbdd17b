// The Windows benches' window and message pump, as a game has them.
#ifndef LURN_BENCH_WINE_WINDOW_H
#define LURN_BENCH_WINE_WINDOW_H

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

inline void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

#endif
