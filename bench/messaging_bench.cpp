// How fast messages move: post and get on one thread, a cross-thread
// SendMessageA round trip, and a flood of posts from another thread.
//
//   messaging_bench --benchmark_repetitions=5
//   --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>
#include <windows.h>

#include <atomic>
#include <thread>

namespace {

LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
  if (message == WM_USER) return static_cast<LRESULT>(wParam) + 1;
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND NewWindow() {
  static bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = QuietProc;
    wc.lpszClassName = "VtBenchWindow";
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExA(0, "VtBenchWindow", "bench", WS_OVERLAPPEDWINDOW, 0, 0,
                         10, 10, nullptr, nullptr, nullptr, nullptr);
}

// A thread with a window of its own, pumping until told to quit.
class Worker {
 public:
  Worker() {
    thread_ = std::thread([this] {
      window_ = NewWindow();
      threadId_ = GetCurrentThreadId();
      ready_ = true;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    while (!ready_) std::this_thread::yield();
  }
  ~Worker() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }

 private:
  std::thread thread_;
  std::atomic<bool> ready_{false};
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
};

void PostAndGetOnOneThread(benchmark::State& state) {
  HWND window = NewWindow();
  MSG msg;
  for (auto _ : state) {
    PostMessageA(window, WM_USER, 1, 2);
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    benchmark::DoNotOptimize(msg.wParam);
  }
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(window);
}
BENCHMARK(PostAndGetOnOneThread);

void CrossThreadSendRoundTrip(benchmark::State& state) {
  Worker worker;
  WPARAM n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SendMessageA(worker.window(), WM_USER, ++n, 0));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CrossThreadSendRoundTrip)->UseRealTime();

// Another thread posts a burst of messages that this thread takes as they
// come.
void FloodFromAnotherThread(benchmark::State& state) {
  HWND window = NewWindow();
  const int burst = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::thread poster([&] {
      for (int i = 0; i < burst; ++i) PostMessageA(window, WM_USER, i, 0);
    });
    MSG msg;
    for (int taken = 0; taken < burst; ++taken)
      GetMessageA(&msg, nullptr, 0, 0);
    poster.join();
  }
  state.SetItemsProcessed(state.iterations() * burst);
  DestroyWindow(window);
}
BENCHMARK(FloodFromAnotherThread)->Arg(10000)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
