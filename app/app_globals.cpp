// Storage for the handles declared in app_globals.h.
#include "app/app_globals.h"

HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;
HWND configWindow = nullptr;
HICON appIcon = nullptr;
HMENU appMenu = nullptr;
HMENU popupMenu = nullptr;
HACCEL appAccelerators = nullptr;
