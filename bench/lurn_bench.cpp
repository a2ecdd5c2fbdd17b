// lurn's speed on the stand-in, headless. Prints each benchmark, then the
// ratios that matter against their targets; with --check, exits 1 when a
// target is missed.
//
//   library frame / the same frame made directly   <= 1.02
//   present 640x480x16 -> 1280x960x32 / memcpy     <= 4
//   SDL_BlitScaled of that frame / present         >= 10
//   present 640x480x16 -> 640x480x32 / memcpy      <= 3
//   keyboard + 256 KeyDown + mouse per frame       <  5 us
#include <lurn.h>

#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <ddraw.h>

namespace {

const int kWidth = 640, kHeight = 480;

// SDL with one window of the given size, the display open on it windowed.
struct Scene {
  Scene(int windowWidth, int windowHeight) {
    SDL_Init(SDL_INIT_VIDEO);
    window = SDL_CreateWindow("bench", 0, 0, windowWidth, windowHeight, 0);
    memset(&display, 0, sizeof display);
    opened =
        window != NULL && display.Open(window, kWidth, kHeight, 16,
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

// Library and direct frames interleaved, so that both see the same machine;
// reports the library's frame time and the ratio as a counter.
void BM_FrameOverhead(benchmark::State &state) {
  Scene scene(kWidth, kHeight);
  if (!scene.opened) {
    state.SkipWithError("display did not open");
    return;
  }
  LurnDirectDraw &display = scene.display;
  double library = 0, direct = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    LibraryFrame(display);
    auto middle = std::chrono::steady_clock::now();
    DirectFrame(display.primarySurface, display.secondarySurface, scene.window);
    auto end = std::chrono::steady_clock::now();
    library += Seconds(start, middle);
    direct += Seconds(middle, end);
    state.SetIterationTime(Seconds(start, middle));
  }
  state.counters["library/direct"] = library / direct;
}
BENCHMARK(BM_FrameOverhead)->UseManualTime()->MinTime(2.0);

// The stand-in's windowed present alone, into a window of the given size.
void BM_Present(benchmark::State &state) {
  Scene scene(int(state.range(0)), int(state.range(1)));
  if (!scene.opened) {
    state.SkipWithError("display did not open");
    return;
  }
  for (auto _ : state)
    scene.display.UpdatePrimaryBuffer();
}
BENCHMARK(BM_Present)->Args({1280, 960})->Args({640, 480});

void BM_Memcpy(benchmark::State &state) {
  size_t bytes = size_t(state.range(0)) * state.range(1) * 4;
  std::vector<char> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Memcpy)->Args({1280, 960})->Args({640, 480});

void BM_SDLBlitScaled(benchmark::State &state) {
  SDL_Surface *from = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 16,
                                                     SDL_PIXELFORMAT_RGB565);
  SDL_Surface *to =
      SDL_CreateRGBSurfaceWithFormat(0, 1280, 960, 32, SDL_PIXELFORMAT_RGB888);
  for (auto _ : state)
    SDL_BlitScaled(from, NULL, to, NULL);
  SDL_FreeSurface(from);
  SDL_FreeSurface(to);
}
BENCHMARK(BM_SDLBlitScaled);

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
    for (auto _ : state) {
      input.GetStateKeyboard();
      int held = 0;
      for (int key = 0; key < 256; ++key)
        held += input.KeyDown(static_cast<unsigned char>(key));
      benchmark::DoNotOptimize(held);
      benchmark::DoNotOptimize(input.GetStateMouse());
    }
  }
  input.Close();
  SDL_DestroyWindow(window);
  SDL_Quit();
}
BENCHMARK(BM_InputFrame);

// Keeps each run's time per iteration (ns) and counters by name.
class Collector : public benchmark::ConsoleReporter {
public:
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
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  std::map<std::string, double> &ns = collector.nanoseconds;
  struct Target {
    const char *what;
    double value, limit;
    bool atMost;
  } targets[] = {
      {"library frame / direct frame",
       collector.counters["BM_FrameOverhead/min_time:2.000/manual_time "
                          "library/direct"],
       1.02, true},
      {"present 2x into 1280x960x32 / memcpy of its output",
       ns["BM_Present/1280/960"] / ns["BM_Memcpy/1280/960"], 4, true},
      {"SDL_BlitScaled / present 2x",
       ns["BM_SDLBlitScaled"] / ns["BM_Present/1280/960"], 10, false},
      {"present 1x into 640x480x32 / memcpy of its output",
       ns["BM_Present/640/480"] / ns["BM_Memcpy/640/480"], 3, true},
      {"input frame, microseconds", ns["BM_InputFrame"] / 1e3, 5, true},
  };
  bool met = true;
  printf("\n");
  for (const Target &target : targets) {
    bool run = target.value > 0 && target.value < 1e300;
    bool ok = target.atMost ? target.value <= target.limit
                            : target.value >= target.limit;
    met = met && (!run || ok);
    printf("%-55s %8.3f  (target %s %g)  %s\n", target.what, target.value,
           target.atMost ? "<=" : ">=", target.limit,
           !run ? "not run"
           : ok ? "met"
                : "MISSED");
  }
  benchmark::Shutdown();
  return check && !met ? 1 : 0;
}
