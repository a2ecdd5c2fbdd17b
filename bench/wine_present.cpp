// The DLL's converted present against the platform's own blit, side by side
// in one run: a 640x480 16-bit picture presented with KeepDesktop into a
// 1280x960 client area on a 32-bit desktop, and a 1280x960 system-memory
// surface already in the desktop's format blitted 1:1 onto the primary
// through a clipper, which every present pays anyway. Rounds of each
// alternate, so that a load coming and going on the machine weighs on both;
// the median of the rounds' ratios is the answer. With --check, exits 1
// when the present costs more than 1.3 times the blit.
#include <ddraw.h>
#include <lurn.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

const int kRounds = 15, kFrames = 20;
const int kWidth = 1280, kHeight = 960;

double Now() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void Pump() {
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    DispatchMessageA(&message);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The platform's blit alone: its own DirectDraw object on the same window.
struct PlainBlit {
  IDirectDraw *directDraw = NULL;
  IDirectDrawSurface *primary = NULL, *picture = NULL;
  IDirectDrawClipper *clipper = NULL;

  bool Open(HWND window) {
    if (DirectDrawCreate(NULL, &directDraw, NULL) != DD_OK ||
        directDraw->SetCooperativeLevel(window, DDSCL_NORMAL) != DD_OK)
      return false;
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (directDraw->CreateSurface(&desc, &primary, NULL) != DD_OK)
      return false;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = kWidth;
    desc.dwHeight = kHeight;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    return directDraw->CreateSurface(&desc, &picture, NULL) == DD_OK &&
           directDraw->CreateClipper(0, &clipper, NULL) == DD_OK &&
           clipper->SetHWnd(0, window) == DD_OK &&
           primary->SetClipper(clipper) == DD_OK;
  }
  void Blit(HWND window) {
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT to = {origin.x, origin.y, origin.x + kWidth, origin.y + kHeight};
    primary->Blt(&to, picture, NULL, DDBLT_WAIT, NULL);
  }
  void Close() {
    if (clipper)
      clipper->Release();
    if (picture)
      picture->Release();
    if (primary)
      primary->Release();
    if (directDraw)
      directDraw->Release();
  }
};

} // namespace

int main(int argc, char **argv) {
  bool check = argc > 1 && strcmp(argv[1], "--check") == 0;
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "lurn bench";
  RegisterClassA(&windowClass);
  RECT frame = {0, 0, kWidth, kHeight};
  AdjustWindowRect(&frame, WS_POPUP, FALSE);
  HWND window =
      CreateWindowA("lurn bench", "lurn bench", WS_POPUP | WS_VISIBLE, 0, 0,
                    frame.right - frame.left, frame.bottom - frame.top, NULL,
                    NULL, instance, NULL);
  static LurnDirectDraw display;
  PlainBlit plain;
  if (!display.Open(window, 640, 480, 16,
                    LurnDirectDraw::ReleaseSecondary |
                        LurnDirectDraw::KeepDesktop) ||
      !plain.Open(window)) {
    printf("could not open the display\n");
    return 1;
  }
  std::vector<double> presents, blits, ratios;
  for (int round = 0; round < kRounds; ++round) {
    Pump();
    double start = Now();
    for (int i = 0; i < kFrames; ++i)
      display.UpdatePrimaryBuffer();
    presents.push_back((Now() - start) / kFrames);
    Pump();
    start = Now();
    for (int i = 0; i < kFrames; ++i)
      plain.Blit(window);
    blits.push_back((Now() - start) / kFrames);
    ratios.push_back(presents.back() / blits.back());
  }
  plain.Close();
  display.Close();
  double present = Median(presents), blit = Median(blits);
  double ratio = Median(ratios);
  printf("converted present 640x480 16-bit into 1280x960: %.3f ms\n", present);
  printf("the platform's blit of 1280x960 32-bit, 1:1:      %.3f ms\n", blit);
  printf("ratio %.2f (target at most 1.30)%s\n", ratio,
         check && ratio > 1.3 ? ": MISSED" : "");
  return check && ratio > 1.3 ? 1 : 0;
}
