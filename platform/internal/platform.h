// What the platform's modules offer one another, and nothing the program
// sees. Each function is defined by the module named beside it.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace vt::platform {

// --- kernel ----------------------------------------------------------------

// The system root: VELLUMTIDE_ROOT when set, else
// $XDG_CONFIG_HOME/vellumtide, else ~/.config/vellumtide. Created with mode
// 0700 when missing. Read afresh on every call, so a test may move it.
std::string SystemRoot();
// Windows-1252 <-> UTF-8, for every text that crosses to the OS.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
// The folder of the running executable (UTF-8, no trailing slash).
std::string ExecutableDirectory();
// A file in folder whose name equals name without regard to case (UTF-8
// both); the exact match first. The result is the path to it, folder
// included; among several matches the smallest name wins.
std::optional<std::string> FindFileNoCase(const std::string& folder,
                                          const std::string& name);
// Flushes the standard streams and ends the process at once, without static
// destructors, as the target system ends a process with all its threads.
[[noreturn]] void ExitProcessNow(int code);
// Called by main before WinMain: picks the driver, starts the signal
// watcher (SIGTERM, SIGINT, SIGHUP call user's OnTerminationRequest on a
// platform thread).
void Startup();

// --- user ------------------------------------------------------------------

// Posts WM_CLOSE to every top-level window of this process, as logging off
// would. Safe to call from any thread. With no window yet, the first one
// made gets it; a process that makes none within the grace period (five
// seconds) ends with 143.
void OnTerminationRequest();
// Shortens the grace period (tests).
void SetTerminationGrace(std::chrono::milliseconds grace);
// Whether a termination request waits for a first window (tests).
bool TerminationPending();
// Brings up the display driver: X11 when a display can be opened (or
// VELLUMTIDE_DRIVER=x11), the null driver otherwise or with
// VELLUMTIDE_DRIVER=null. Idempotent; user calls it on first use too.
void StartDriver();

}  // namespace vt::platform

namespace vt::platform {

// --- testing ---------------------------------------------------------------

// vt::testing::Reset (user) calls these so that each module forgets its
// records and scripts: shell, comdlg and help (shell module), winsock.
void ResetShellTestState();
void ResetSocketTestState();

}  // namespace vt::platform
