// A WinMain program for the entry-point tests. Its first argument picks
// what it does:
//   show ...    prints the command line it was given, byte by byte in hex
//               and as text, and returns 7 (the text has no line end, so
//               it arrives only if the process flushes on its way out)
//   thread N    ends the process from another thread with ExitProcess(N)
//               while the main thread still waits
//   signals     waits until standard input closes, then says "survived"
//   user        prints what GetUserNameA gives, in hex, and its size
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

DWORD WINAPI EndFromThread(LPVOID parameter) {
  ExitProcess(static_cast<UINT>(reinterpret_cast<UINT_PTR>(parameter)));
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine,
                   int showCommand) {
  if (instance == nullptr || instance != GetModuleHandleA(nullptr) ||
      previous != nullptr || showCommand != SW_SHOWDEFAULT) {
    return 99;
  }
  if (std::strncmp(commandLine, "show", 4) == 0) {
    for (const char* p = commandLine; *p; ++p) {
      std::printf("%02X", static_cast<unsigned char>(*p));
    }
    std::printf("\n[%s]", commandLine);
    return 7;
  }
  if (std::strncmp(commandLine, "thread ", 7) == 0) {
    const UINT code = static_cast<UINT>(std::atoi(commandLine + 7));
    HANDLE thread =
        CreateThread(nullptr, 0, EndFromThread,
                     reinterpret_cast<LPVOID>(UINT_PTR{code}), 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    return 98;  // never reached: the thread ends the process
  }
  if (std::strcmp(commandLine, "user") == 0) {
    char name[UNLEN + 1];
    DWORD size = sizeof name;
    if (!GetUserNameA(name, &size)) return 1;
    for (const char* p = name; *p; ++p) {
      std::printf("%02X", static_cast<unsigned char>(*p));
    }
    std::printf(" %u\n", static_cast<unsigned>(size));
    return 0;
  }
  if (std::strcmp(commandLine, "signals") == 0) {
    std::puts("waiting");
    std::fflush(stdout);
    char buffer[64];
    while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
    }
    std::printf("survived");
    return 0;
  }
  return 97;
}
