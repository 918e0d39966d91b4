// Velto.exe's entry point. The platform's main calls it and ends the process
// with its result; everything the program does is in RunVellumtide.
#include <windows.h>

#include "app/velto_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int) {
  return RunVellumtide(instance, previous);
}
