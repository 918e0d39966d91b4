// The configuration window (dialog 101): the one window the user works in.
// It is a modeless dialog created hidden at start-up and shown from the
// notification-area icon; it edits the profile, carries the away lock, and
// receives the icon's messages, the popup menu's commands and the keyboard
// accelerators of the main loop.
#pragma once

#include <windows.h>

// The dialog procedure of the configuration window.
INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT msg, WPARAM wParam,
                                  LPARAM lParam);
// The dialog procedure of the About window (dialog 104).
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT msg, WPARAM wParam,
                                 LPARAM lParam);

// Flips the away lock: popup menu mark, check box, presence and display.
void ToggleAwayLock();
// Takes the lock from the check box and saves the window's entries;
// false when they could not all be stored.
bool ApplySettings(HWND window);
// The open-file dialog for a plan or away file. Returns 1 with the chosen
// full path in result (which holds 256 bytes), or 0 when the user cancels or
// the dialog fails, leaving result as it was.
int BrowseForTextFile(HWND owner, const char* title,
                      const char* initialDirectory, const char* initialName,
                      char* result);
// Opens Velto.hlp at its index.
void ShowHelpIndex();
