// The library's frame in a page: clear, lock, a little drawing, unlock,
// present (conversion into the canvas's RGBA and one putImageData), timed
// without the wait for the next frame, and its clear and present alone; and
// the anchor inside wasm, a copy of the output's bytes. Prints one line per
// figure:
//   FRAME <median ms> <p90 ms> <frames> <clear median> <present median>
//   COPY <median ms> <bytes>
// web_bench.html?args=FRAMES (300 by default); the page sets the canvas.
#include <emscripten.h>
#include <lurn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <vector>

EM_JS(double, WaitedMs, (), { return lurnHost.waited; });

static LurnDirectDraw display;

static double Median(std::vector<double> &times, double at) {
  std::sort(times.begin(), times.end());
  return times.empty() ? 0 : times[size_t(double(times.size() - 1) * at)];
}

int main(int argc, char **argv) {
  int frames = argc > 1 ? atoi(argv[1]) : 300;
  HWND window = CanvasWindow("#screen");
  if (!display.Open(window, 640, 480, 16, LurnDirectDraw::ReleaseSecondary))
    return 1;
  std::vector<double> times, clears, presents;
  for (int frame = 0; frame < frames + 30; ++frame) {
    double start = emscripten_get_now(), waited = WaitedMs();
    display.ClearSecondaryBuffer();
    double cleared = emscripten_get_now();
    if (display.LockSecondaryBuffer()) {
      unsigned short *pixels = (unsigned short *)display.secondaryBits;
      for (int y = 0; y < 480; ++y)
        pixels[y * display.pitchPixels + frame % 640] = 0xFFFF;
      display.UnlockSecondaryBuffer();
    }
    double presenting = emscripten_get_now(), waitedBefore = WaitedMs();
    display.UpdatePrimaryBuffer();
    double end = emscripten_get_now();
    double spent = end - start - (WaitedMs() - waited);
    if (frame >= 30) { // after the warm-up
      times.push_back(spent);
      clears.push_back(cleared - start);
      presents.push_back(end - presenting - (WaitedMs() - waitedBefore));
    }
  }
  double frameMedian = Median(times, 0.5), frame90 = Median(times, 0.9);
  printf("FRAME %.3f %.3f %d %.3f %.3f\n", frameMedian, frame90, frames,
         Median(clears, 0.5), Median(presents, 0.5));
  // The anchor: the output's bytes copied once inside wasm.
  std::vector<unsigned char> from(640 * 480 * 4, 1), to(from.size());
  times.clear();
  for (int i = 0; i < 200; ++i) {
    double start = emscripten_get_now();
    memcpy(to.data(), from.data(), from.size());
    times.push_back(emscripten_get_now() - start + to[i] * 0.0);
  }
  printf("COPY %.3f %zu\n", Median(times, 0.5), from.size());
  display.Close();
  return 0;
}
