// lurn's speed on the stand-in, on whatever video driver SDL is given
// (offscreen by default, x11 on an Xvfb). Prints each benchmark, then the
// ratios that matter against their targets; with --check, exits 1 when a
// target is missed.
//
// The windowed present is timed for each kernel set the processor runs,
// interleaved with a memcpy of the present's output bytes, so that all of
// them see the same machine; ratios are of medians.
//
//   library frame / the same frame made directly          <= 1.02
//   present 640x480 -> 640x480 / memcpy of its output     <= 1.0
//   present 640x480 -> 1280x960 / memcpy of its output    <= 0.6
//   present 640x480 -> 800x600 / memcpy of its output     <= 1.7
//   present 320x200 -> 1280x800 / memcpy of its output    <= 0.7
//   SDL_BlitScaled 640x480 -> 1280x960 / present 2x       >= 50
//   plain C++ present / AVX2 present, 2x                  <= 2.5
//   whole frame (clear, lock, unlock, present 640x480
//     into 1280x960) / memcpy of the window's pixels      <= 0.8
//   keyboard + 256 KeyDown + mouse, presses and text      <= 5 us
//   the same with 1,000 events since the last frame       <= 2 x 5 us
// The present and input targets hold headless only: on x11 the X server's
// copy of each frame comes on top, and each input read asks the server.
#include <dinput.h> // key codes, from the stand-in
#include <lurn.h>

#include <stdlib.h>
#include <string.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <ddraw.h>

#include "present/present.h"

namespace {

const int kWidth = 640, kHeight = 480;

// SDL with one window of the given size, the display open on it windowed.
struct Scene {
  Scene(int windowWidth, int windowHeight, int width = kWidth,
        int height = kHeight) {
    SDL_Init(SDL_INIT_VIDEO);
    window = SDL_CreateWindow("bench", 0, 0, windowWidth, windowHeight, 0);
    memset(&display, 0, sizeof display);
    opened = window != NULL &&
             display.Open(window, static_cast<unsigned short>(width),
                          static_cast<unsigned short>(height), 16,
                          LurnDirectDraw::ReleaseSecondary) == 1;
  }
  ~Scene() {
    display.Close();
    SDL_DestroyWindow(window);
    SDL_Quit();
  }
  SDL_Window *window;
  LurnDirectDraw display;
  bool opened;
};

void LibraryFrame(LurnDirectDraw &display) {
  display.ClearSecondaryBuffer();
  display.LockSecondaryBuffer();
  benchmark::DoNotOptimize(display.secondaryBits);
  display.UnlockSecondaryBuffer();
  display.UpdatePrimaryBuffer();
}

// The same platform calls a client would make without the library.
void DirectFrame(IDirectDrawSurface *primary, IDirectDrawSurface *drawing,
                 SDL_Window *window) {
  DDBLTFX fx;
  memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  drawing->Blt(NULL, NULL, NULL, DDBLT_COLORFILL, &fx);
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  drawing->Lock(NULL, &desc, DDLOCK_WAIT, NULL);
  benchmark::DoNotOptimize(desc.lpSurface);
  drawing->Unlock(NULL);
  RECT source, client;
  SetRect(&source, 0, 0, kWidth, kHeight);
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  RECT target = {origin.x, origin.y, client.right + origin.x,
                 client.bottom + origin.y};
  primary->Blt(&target, drawing, &source, DDBLT_ALPHAEDGEBLEND, NULL);
}

double Seconds(std::chrono::steady_clock::time_point from,
               std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

double Median(std::vector<double> times) {
  if (times.empty())
    return 0;
  std::nth_element(times.begin(), times.begin() + times.size() / 2,
                   times.end());
  return times[times.size() / 2];
}

// Library and direct frames interleaved, so that both see the same machine;
// reports the library's frame time and the ratio of the medians as a
// counter (medians: a shared machine stalls some frames).
void BM_FrameOverhead(benchmark::State &state) {
  Scene scene(kWidth, kHeight);
  if (!scene.opened) {
    state.SkipWithError("display did not open");
    return;
  }
  LurnDirectDraw &display = scene.display;
  std::vector<double> library, direct;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    LibraryFrame(display);
    auto middle = std::chrono::steady_clock::now();
    DirectFrame(display.primarySurface, display.secondarySurface, scene.window);
    auto end = std::chrono::steady_clock::now();
    library.push_back(Seconds(start, middle));
    direct.push_back(Seconds(middle, end));
    state.SetIterationTime(Seconds(start, middle));
  }
  state.counters["library/direct"] = Median(library) / Median(direct);
}
BENCHMARK(BM_FrameOverhead)->UseManualTime()->MinTime(2.0);

void BM_InputFrame(benchmark::State &state) {
  SDL_Init(SDL_INIT_VIDEO);
  SDL_Window *window = SDL_CreateWindow("bench", 0, 0, 320, 240, 0);
  LurnDirectInput input;
  memset(&input, 0, sizeof input);
  if (!input.Open(window, NULL) || !input.OpenKeyboard(window) ||
      !input.OpenMouse(window)) {
    state.SkipWithError("input did not open");
  } else {
    input.SyncAcquireKeyboard();
    input.SyncAcquireMouse();
    // The events that come between two frames: none, or 1,000 (of every
    // ten: a click, a tap with its character, motion), queued before the
    // frame is timed. The taps fit the keyboard's buffer.
    const int events = int(state.range(0));
    const Uint32 windowId = SDL_GetWindowID(window);
    SDL_Event event;
    char text[256];                    // a frame's typing, read whole
    input.ReadText(text, sizeof text); // text is kept from the first read on
    std::vector<double> frames;
    for (auto _ : state) {
      for (int i = 0; i < events; ++i) {
        memset(&event, 0, sizeof event);
        switch (i % 10) {
        case 0:
        case 1:
          event.type = i % 10 ? SDL_MOUSEBUTTONUP : SDL_MOUSEBUTTONDOWN;
          event.button.button = SDL_BUTTON_LEFT;
          event.button.windowID = windowId;
          break;
        case 2:
        case 3:
          event.type = i % 10 == 2 ? SDL_KEYDOWN : SDL_KEYUP;
          event.key.keysym.scancode = SDL_SCANCODE_A;
          event.key.windowID = windowId;
          break;
        case 4:
          event.type = SDL_TEXTINPUT;
          event.text.text[0] = 'a';
          event.text.windowID = windowId;
          break;
        default:
          event.type = SDL_MOUSEMOTION;
          event.motion.xrel = 1;
          event.motion.windowID = windowId;
        }
        SDL_PushEvent(&event);
      }
      auto start = std::chrono::steady_clock::now();
      input.GetStateKeyboard();
      int held = 0;
      for (int key = 0; key < 256; ++key)
        held += input.KeyDown(static_cast<unsigned char>(key));
      for (int key = 0; key < 8; ++key)
        held += input.KeyPresses(static_cast<unsigned char>(DIK_A + key));
      benchmark::DoNotOptimize(input.GetStateMouse());
      for (int button = 0; button < 4; ++button)
        held += input.ButtonPresses(button);
      int typed = input.ReadText(text, sizeof text);
      benchmark::DoNotOptimize(held);
      auto end = std::chrono::steady_clock::now();
      state.SetIterationTime(Seconds(start, end));
      frames.push_back(Seconds(start, end));
      // A frame that lost its events would be timed for nothing.
      if (input.KeyPresses(DIK_A) != events / 10 ||
          input.ButtonPresses(0) != events / 10 || typed != events / 10) {
        state.SkipWithError("the frame's events were not all counted");
        break;
      }
      SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // The median: on a shared machine the mean takes the frames another
    // process cut into.
    state.counters["median_us"] = Median(frames) * 1e6;
  }
  input.Close();
  SDL_DestroyWindow(window);
  SDL_Quit();
}
BENCHMARK(BM_InputFrame)->Arg(0)->Arg(1000)->UseManualTime();

template <class Work> double Time(Work work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return Seconds(start, std::chrono::steady_clock::now()) * 1e6;
}

struct PresentCase {
  int width, height, windowWidth, windowHeight;
  double memcpy;                    // microseconds, median
  std::map<std::string, double> us; // by kernel set, median
  double blitScaled;                // SDL_BlitScaled of the 2x frame
  double frame;       // the 2x case's clear, lock, unlock and present
  std::string format; // of the window surface
};

// One present case: every kernel set and a memcpy of the window's pixel
// bytes, in turns (the order rotating) until about `seconds` have passed;
// the 2x case also times SDL_BlitScaled every 8th turn.
PresentCase MeasurePresent(int width, int height, int windowWidth,
                           int windowHeight,
                           const std::vector<std::string> &kernels,
                           double seconds) {
  PresentCase result = {width, height, windowWidth, windowHeight, 0,
                        {},    0,      0,           "none"};
  Scene scene(windowWidth, windowHeight, width, height);
  SDL_Surface *surface =
      scene.opened ? SDL_GetWindowSurface(scene.window) : NULL;
  if (surface == NULL)
    return result;
  result.format = SDL_GetPixelFormatName(surface->format->format);
  result.format.erase(0, result.format.find_last_of('_') + 1);
  LurnDirectDraw &display = scene.display;
  // A random picture: no kernel may profit from a plain one.
  std::mt19937 random(7);
  display.LockSecondaryBuffer();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      static_cast<unsigned short *>(
          display.secondaryBits)[y * display.pitchPixels + x] =
          static_cast<unsigned short>(random());
  std::vector<unsigned char> picture(
      static_cast<unsigned char *>(display.secondaryBits),
      static_cast<unsigned char *>(display.secondaryBits) +
          size_t(display.pitchPixels) * 2 * height);
  display.UnlockSecondaryBuffer();
  size_t bytes = size_t(surface->pitch) * surface->h;
  std::vector<char> from(bytes, 1), to(bytes);
  bool anchor = width * 2 == windowWidth && height * 2 == windowHeight;
  SDL_Surface *blitFrom = SDL_CreateRGBSurfaceWithFormat(
      0, width, height, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface *blitTo = SDL_CreateRGBSurfaceWithFormat(
      0, windowWidth, windowHeight, 32, SDL_PIXELFORMAT_RGB888);
  const std::string chosen = PresentKernels();
  std::vector<std::string> order = kernels;
  order.push_back("memcpy");
  if (anchor)
    order.push_back("frame");
  std::map<std::string, std::vector<double>> times;
  std::vector<double> blits;
  auto start = std::chrono::steady_clock::now();
  for (int turn = -10;
       turn < 20 || Seconds(start, std::chrono::steady_clock::now()) < seconds;
       ++turn) {
    std::rotate(order.begin(), order.begin() + 1, order.end());
    for (const std::string &what : order) {
      double us;
      if (what == "memcpy") {
        us = Time([&] { memcpy(to.data(), from.data(), bytes); });
        benchmark::DoNotOptimize(to.data());
      } else if (what == "frame") {
        // A whole frame of a client that clears and draws (here nothing)
        // each frame; then the random picture again for the others.
        UsePresentKernels(chosen.c_str());
        us = Time([&] {
          display.ClearSecondaryBuffer();
          display.LockSecondaryBuffer();
          display.UnlockSecondaryBuffer();
          display.UpdatePrimaryBuffer();
        });
        display.LockSecondaryBuffer();
        memcpy(display.secondaryBits, picture.data(), picture.size());
        display.UnlockSecondaryBuffer();
      } else {
        UsePresentKernels(what.c_str());
        us = Time([&] { display.UpdatePrimaryBuffer(); });
      }
      if (turn >= 0)
        times[what].push_back(us);
    }
    if (anchor && turn >= 0 && turn % 8 == 0)
      blits.push_back(
          Time([&] { SDL_BlitScaled(blitFrom, NULL, blitTo, NULL); }));
  }
  UsePresentKernels(chosen.c_str());
  SDL_FreeSurface(blitFrom);
  SDL_FreeSurface(blitTo);
  result.memcpy = Median(times["memcpy"]);
  for (const std::string &kernel : kernels)
    result.us[kernel] = Median(times[kernel]);
  result.blitScaled = Median(blits);
  result.frame = anchor ? Median(times["frame"]) : 0;
  return result;
}

// The processor's model, cores, clock and the flags that choose the
// kernels.
std::string Processor() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line, model = "unknown", clock = "?", flags;
  while (std::getline(cpuinfo, line)) {
    if (model == "unknown" && line.rfind("model name", 0) == 0)
      model = line.substr(line.find(':') + 2);
    if (clock == "?" && line.rfind("cpu MHz", 0) == 0)
      clock = line.substr(line.find(':') + 2);
    if (flags.empty() && line.rfind("flags", 0) == 0) {
      line += ' ';
      for (const char *flag :
           {"sse2", "ssse3", "sse4_2", "avx", "avx2", "avx512f", "avx512bw"})
        if (line.find(std::string(" ") + flag + " ") != std::string::npos)
          flags += std::string(flags.empty() ? "" : " ") + flag;
    }
  }
  return model + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) +
         " cores at " + clock + " MHz (" + flags + ")";
}

// Keeps each run's time per iteration (ns) and counters by name.
class Collector : public benchmark::ConsoleReporter {
public:
  explicit Collector(OutputOptions options) : ConsoleReporter(options) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      nanoseconds[run.benchmark_name()] =
          run.GetAdjustedRealTime() *
          (run.time_unit == benchmark::kMicrosecond   ? 1e3
           : run.time_unit == benchmark::kMillisecond ? 1e6
           : run.time_unit == benchmark::kSecond      ? 1e9
                                                      : 1.0);
      for (const auto &counter : run.counters)
        counters[run.benchmark_name() + " " + counter.first] = counter.second;
    }
  }
  std::map<std::string, double> nanoseconds, counters;
};

} // namespace

int main(int argc, char **argv) {
  bool check = false;
  std::vector<char *> args;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--check") == 0)
      check = true;
    else
      args.push_back(argv[i]);
  }
  int count = int(args.size());
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  benchmark::Initialize(&count, args.data());
  // Colours only for a terminal.
  Collector collector(isatty(STDOUT_FILENO)
                          ? benchmark::ConsoleReporter::OO_Defaults
                          : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&collector);

  // The kernels the present runs (the best, or LURN_STANDIN_KERNEL's), then
  // every set the processor has.
  const std::string best = PresentKernels();
  std::vector<std::string> kernels;
  for (const char *name : {"c", "sse2", "avx2"})
    if (UsePresentKernels(name))
      kernels.push_back(name);
  UsePresentKernels(best.c_str());
  // SDL uses the driver named here or none (set above when unset).
  const std::string driver = getenv("SDL_VIDEODRIVER");
  printf("\nprocessor: %s\nvideo driver: %s; present kernels: %s (of",
         Processor().c_str(), driver.c_str(), best.c_str());
  for (const std::string &kernel : kernels)
    printf(" %s", kernel.c_str());
  printf(")\n\n");

  const int sizes[][4] = {
      {640, 480, 640, 480},
      {640, 480, 1280, 960},
      {640, 480, 800, 600},
      {320, 200, 1280, 800},
  };
  std::vector<PresentCase> cases;
  printf("%-24s %-8s %9s", "present (median, us)", "into", "memcpy");
  for (const std::string &kernel : kernels)
    printf(" %8s", kernel.c_str());
  for (const std::string &kernel : kernels)
    printf(" %6s/m", kernel.c_str());
  for (const std::string &kernel : kernels)
    printf(" %6s/b", kernel.c_str());
  printf("\n");
  for (const auto &size : sizes) {
    cases.push_back(
        MeasurePresent(size[0], size[1], size[2], size[3], kernels, 1.5));
    const PresentCase &c = cases.back();
    char what[40];
    snprintf(what, sizeof what, "%dx%d -> %dx%d", c.width, c.height,
             c.windowWidth, c.windowHeight);
    printf("%-24s %-8.8s %9.1f", what, c.format.c_str(), c.memcpy);
    for (const std::string &kernel : kernels)
      printf(" %8.1f", c.us.at(kernel));
    for (const std::string &kernel : kernels)
      printf(" %8.2f", c.us.at(kernel) / c.memcpy);
    for (const std::string &kernel : kernels)
      printf(" %8.2f", c.us.at(kernel) / c.us.at(best));
    printf("\n");
  }
  printf("(/m: present / memcpy of its output; /b: present / %s present, "
         "the one the present runs)\n",
         best.c_str());

  bool headless = driver == "offscreen" || driver == "dummy";
  auto ratio = [&](int index) {
    const PresentCase &c = cases[index];
    return c.memcpy > 0 ? c.us.at(best) / c.memcpy : 0;
  };
  const PresentCase &twice = cases[1];
  struct Target {
    const char *what;
    double value, limit;
    bool atMost, checked;
  } targets[] = {
      {"library frame / direct frame",
       collector.counters["BM_FrameOverhead/min_time:2.000/manual_time "
                          "library/direct"],
       1.02, true, true},
      {"present 640x480 -> 640x480 / memcpy of its output", ratio(0), 1.0, true,
       headless},
      {"present 640x480 -> 1280x960 / memcpy of its output", ratio(1), 0.6,
       true, headless},
      {"present 640x480 -> 800x600 / memcpy of its output", ratio(2), 1.7, true,
       headless},
      {"present 320x200 -> 1280x800 / memcpy of its output", ratio(3), 0.7,
       true, headless},
      {"SDL_BlitScaled / present 640x480 -> 1280x960",
       twice.blitScaled / twice.us.at(best), 50, false, headless},
      {"plain C++ present / avx2 present, 640x480 -> 1280x960",
       twice.us.count("avx2") ? twice.us.at("c") / twice.us.at("avx2") : 0, 2.5,
       true, headless},
      {"input frame, microseconds (median)",
       collector.counters["BM_InputFrame/0/manual_time median_us"], 5, true,
       headless},
      // Twice the quiet frame's bound, not twice its time: each event is
      // read and counted.
      {"input frame with 1,000 events, microseconds (median)",
       collector.counters["BM_InputFrame/1000/manual_time median_us"], 2 * 5,
       true, headless},
      {"whole frame (clear, lock, unlock, present 640x480 into 1280x960) / "
       "memcpy of the window's pixels",
       twice.memcpy > 0 ? twice.frame / twice.memcpy : 0, 0.8, true, headless},
  };
  bool met = true;
  printf("\n");
  for (const Target &target : targets) {
    bool run = target.value > 0 && target.value < 1e300;
    bool ok = target.atMost ? target.value <= target.limit
                            : target.value >= target.limit;
    if (target.checked)
      met = met && (!run || ok);
    printf("%-56s %8.3f  (target %s %g)  %s\n", target.what, target.value,
           target.atMost ? "<=" : ">=", target.limit,
           !run              ? "not run"
           : !target.checked ? "(a headless target)"
           : ok              ? "met"
                             : "MISSED");
  }
  benchmark::Shutdown();
  return check && !met ? 1 : 0;
}
