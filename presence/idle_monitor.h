// The idle monitor: the hidden main window that the hook library reports
// activity to, its 3-second tick, and the switch that installs the hooks.
#pragma once

#include <windows.h>

// The screen-saver time-out in seconds, read once at start-up; 0 when it
// could not be read.
extern UINT screenSaverTimeout;

// The hooks as installed by SetActivityMonitor, and whether each is marked
// installed. A hook that is removed after its partner failed stays marked,
// so a second attempt in the same run is refused.
extern HHOOK mouseHook;
extern HHOOK keyboardHook;
extern int mouseHookInstalled;
extern int keyboardHookInstalled;

// How the hooks are installed; SetWindowsHookExA unless a test puts in a
// stand-in to make one of them fail.
using HookInstaller = HHOOK (*)(int hookType, HOOKPROC procedure,
                                HINSTANCE module, DWORD threadId);
extern HookInstaller installHook;

// The window procedure of class VeltoClass.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam);

// Turns the activity monitor on (1) or off (0). Returns 1 when it did so,
// 0 when it failed or had nothing to do.
int SetActivityMonitor(int on);
