// Velto.exe's life: start-up, the one message loop, shut-down. WinMain
// (winmain.cpp) only calls RunVellumtide; the steps are separate procedures
// so that tests can run the loop's handling of one message, or the whole
// program on their own thread.
#pragma once

#include <windows.h>

// How start-up ended: go on to run, end at once (another copy runs, or the
// program's windows, menu or accelerators could not be set up), or end
// through shut-down because the activity monitor could not be turned on.
enum class StartupResult { Running, EndAtOnce, EndWithoutMonitor };

// Where shut-down begins: with the activity monitor still on, or after it
// failed to come on.
enum class ShutdownFrom { MonitorOn, MonitorOff };

// Start-up up to and including the activity monitor.
StartupResult StartUp(HINSTANCE instance, HINSTANCE previous);
// Starts the finger listener's thread.
void StartFingerListener();
// One message of the loop: the configuration window's accelerators first,
// character translation when they did not take it, and dispatch always.
void ProcessLoopMessage(MSG* msg);
// Runs the loop until the quit message arrives.
void RunMessageLoop();
// Turns the activity monitor off (when it is on), destroys the menu and
// removes the notification-area icon.
void ShutDown(ShutdownFrom from);
// The whole program; the result of WinMain.
int RunVellumtide(HINSTANCE instance, HINSTANCE previous);
