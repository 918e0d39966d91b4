// The connection log at its bound of 32,767 lines: what it costs in time
// and memory once it is full and every new line pushes the oldest out.
//
// BM_InsertAtTopDeleteOldest does to the configuration window's list box
// what the listener does per logged connection: insert a line at the top,
// delete the last. BM_ListenerFillsTheLog runs the real listener thread on
// loopback (the pause set to 0) and makes 32,767 + 2,000 connections from
// 127.0.0.1, so the log fills up through the listener's own code and then
// stays at its bound; it reports the time per connection while the log is
// nearly empty and once it is full, and the process's resident memory at
// those points.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "app/app_globals.h"
#include "resources/resource.h"
#include "service/finger_listener.h"
#include "vttest.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLogBound = 32767;
constexpr char kLine[] = "localhost (127.0.0.1): 12:34,12/11";

INT_PTR CALLBACK QuietDialogProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == WM_INITDIALOG ? TRUE : FALSE;
}

HWND MakeConfigWindow() {
  return CreateDialogParamA(GetModuleHandleA(nullptr),
                            MAKEINTRESOURCEA(IDD_CONFIG), nullptr,
                            QuietDialogProc, 0);
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

void BM_InsertAtTopDeleteOldest(benchmark::State& state) {
  HWND window = MakeConfigWindow();
  HWND log = GetDlgItem(window, IDC_CONNECTION_LOG);
  long before = ResidentKb();
  for (int i = 0; i < kLogBound; ++i) {
    SendMessageA(log, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(kLine));
  }
  long full = ResidentKb();
  // The benchmark runs this function more than once; later runs reuse what
  // the first freed, so only the first tells what a full log takes.
  static const long firstFullKb = full - before;
  for (auto _ : state) {
    SendMessageA(log, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(kLine));
    SendMessageA(log, LB_DELETESTRING, kLogBound, 0);
  }
  state.counters["lines"] =
      static_cast<double>(SendMessageA(log, LB_GETCOUNT, 0, 0));
  state.counters["kb_for_full_log"] = static_cast<double>(firstFullKb);
  state.counters["kb_growth_at_bound"] =
      static_cast<double>(ResidentKb() - full);
  DestroyWindow(window);
}
BENCHMARK(BM_InsertAtTopDeleteOldest);

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// One exchange; the client resets at the end, so that tens of thousands of
// connections leave no sockets waiting out their time on either side.
bool Exchange(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  bool ok =
      connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, "nobody\r\n", 8, MSG_NOSIGNAL) == 8;
  char buffer[256];
  ssize_t n;
  while (ok && (n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
  }
  linger reset{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  close(fd);
  return ok;
}

void BM_ListenerFillsTheLog(benchmark::State& state) {
  for (auto _ : state) {
    vt::testing::ScopedSystemRoot root;
    int port = FreePort();
    root.WriteServices("finger " + std::to_string(port) + "/tcp\n");
    configWindow = MakeConfigWindow();
    HWND log = GetDlgItem(configWindow, IDC_CONNECTION_LOG);
    SetFingerListenerPause(0);
    CreateThread(nullptr, 0, FingerListenerThread, nullptr, 0, nullptr);

    std::atomic<bool> done{false};
    std::atomic<bool> failed{false};
    double emptyNs = 0, fullNs = 0;
    long residentEmpty = 0, residentFull = 0, residentAfter = 0;
    std::thread client([&] {
      // Until the listener listens.
      Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
      while (!Exchange(port) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      residentEmpty = ResidentKb();
      auto run = [&](int count) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < count; ++i) {
          if (!Exchange(port)) failed = true;
        }
        return std::chrono::duration<double, std::nano>(Clock::now() - start)
                   .count() /
               count;
      };
      emptyNs = run(1000);
      run(kLogBound - 1001);
      residentFull = ResidentKb();
      fullNs = run(2000);
      residentAfter = ResidentKb();
      done = true;
    });
    vt::testing::PumpUntil([&] { return done.load(); }, 600000);
    client.join();
    state.counters["ns_per_connection_log_empty"] = emptyNs;
    state.counters["ns_per_connection_log_full"] = fullNs;
    state.counters["lines"] =
        static_cast<double>(SendMessageA(log, LB_GETCOUNT, 0, 0));
    state.counters["kb_resident_log_empty"] =
        static_cast<double>(residentEmpty);
    state.counters["kb_resident_log_full"] = static_cast<double>(residentFull);
    state.counters["kb_growth_at_bound"] =
        static_cast<double>(residentAfter - residentFull);
    if (failed) state.SkipWithError("a connection failed");
  }
}
BENCHMARK(BM_ListenerFillsTheLog)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

// The listener thread stays in accept for good, as in the daemon, so the
// process ends at once after the report instead of running destructors
// under it.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::fflush(stdout);
  _exit(0);
}
