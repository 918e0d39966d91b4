// 100,000 desktop-wide mouse events through Velto.dll to the hidden main
// window: what each event costs the driver's input thread (the library's
// hook procedure) and the main thread (the activity notices it handles),
// and the longest the main thread's queue grows.
//
// A timing hook, installed last so that it runs first, times the rest of
// the chain on the input thread: the library's MouseProc and nothing else.
// The run is made twice, once without the library (only the timing hook's
// own cost) and once with it. On the main thread the run without the
// library costs nothing but the loop, so the difference of the thread's CPU
// time is what the notices cost it; the time spent dispatching them is
// reported as well. The events are injected from a thread of their own, so
// the main thread only runs its message loop, as the daemon's does.
#include <benchmark/benchmark.h>
#include <time.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "app/app_globals.h"
#include "presence/idle_monitor.h"
#include "resources/resource.h"
#include "vttest.h"

namespace {

constexpr int kEvents = 100000;

HHOOK timingHook = nullptr;
// Written only on the input thread, read after the run.
std::atomic<double> chainNs{0};

double ClockNs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

double WallNs() { return ClockNs(CLOCK_MONOTONIC); }

LRESULT CALLBACK TimingHook(int code, WPARAM wParam, LPARAM lParam) {
  const double start = WallNs();
  const LRESULT result = CallNextHookEx(timingHook, code, wParam, lParam);
  chainNs.store(chainNs.load(std::memory_order_relaxed) + WallNs() - start,
                std::memory_order_relaxed);
  return result;
}

struct Run {
  double wallNs = 0;
  double chainNs = 0;
  double mainCpuNs = 0;
  double dispatchNs = 0;
  std::size_t longestQueue = 0;
  int notices = 0;
};

// Injects the events from a thread of their own while this thread, which
// owns the main window, runs its message loop.
Run InjectEvents() {
  Run run;
  timingHook = SetWindowsHookExA(WH_MOUSE, TimingHook, nullptr, 0);
  chainNs.store(0);
  const DWORD mainThread = GetCurrentThreadId();
  std::thread injector([&] {
    const double wallStart = WallNs();
    for (int i = 0; i < kEvents; ++i) {
      vt::testing::DesktopMouseMove(i % 1024, (i / 1024) % 768);
      const std::size_t length = vt::testing::QueueLength(mainThread);
      if (length > run.longestQueue) run.longestQueue = length;
    }
    run.wallNs = WallNs() - wallStart;
    PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
  });
  const double mainStart = ClockNs(CLOCK_THREAD_CPUTIME_ID);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_COMMAND && LOWORD(msg.wParam) == CMD_ACTIVITY) {
      ++run.notices;
      const double start = WallNs();
      DispatchMessageA(&msg);
      run.dispatchNs += WallNs() - start;
      continue;
    }
    DispatchMessageA(&msg);
  }
  run.mainCpuNs = ClockNs(CLOCK_THREAD_CPUTIME_ID) - mainStart;
  injector.join();
  UnhookWindowsHookEx(timingHook);
  run.chainNs = chainNs.load();
  return run;
}

void BM_DesktopMouseEventsThroughTheHookLibrary(benchmark::State& state) {
  vt::testing::ScopedSystemRoot root;
  WNDCLASSA windowClass;
  std::memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.lpszClassName = "VeltoClass";
  RegisterClassA(&windowClass);
  mainWindow =
      CreateWindowExA(0, "VeltoClass", "Vellumtide", WS_OVERLAPPEDWINDOW,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  configWindow = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
  screenSaverTimeout = 600;

  for (auto _ : state) {
    const Run quiet = InjectEvents();
    // The library is found beside the benchmark, in the output folder.
    if (SetActivityMonitor(1) != 1) {
      state.SkipWithError("Velto.dll could not be loaded");
      break;
    }
    const Run hooked = InjectEvents();
    SetActivityMonitor(0);

    state.counters["input_ns_per_event"] =
        (hooked.chainNs - quiet.chainNs) / kEvents;
    state.counters["main_ns_per_event"] =
        (hooked.mainCpuNs - quiet.mainCpuNs) / kEvents;
    state.counters["main_dispatch_ns_per_notice"] =
        hooked.notices > 0 ? hooked.dispatchNs / hooked.notices : 0;
    state.counters["notices"] = hooked.notices;
    state.counters["wall_ns_per_event"] = hooked.wallNs / kEvents;
    state.counters["longest_queue"] = static_cast<double>(hooked.longestQueue);
  }

  DestroyWindow(configWindow);
  DestroyWindow(mainWindow);
  UnregisterClassA("VeltoClass", nullptr);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  mainWindow = nullptr;
  configWindow = nullptr;
}

BENCHMARK(BM_DesktopMouseEventsThroughTheHookLibrary)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
