// The handles the whole program shares. Start-up (WinMain) fills them; the
// window procedures and the listener read them. Defined in app_globals.cpp,
// which every program module's tests link, so a test can set them up without
// running WinMain.
#pragma once

#include <windows.h>

extern HINSTANCE appInstance;   // the program's instance, for resources
extern HWND mainWindow;         // hidden main window, class VeltoClass
extern HWND configWindow;       // configuration window (dialog 101)
extern HICON appIcon;           // resource 110
extern HMENU appMenu;           // menu resource 105
extern HMENU popupMenu;         // its first popup, stored when first opened
extern HACCEL appAccelerators;  // resource 111
