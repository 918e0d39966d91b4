// The profile's home in the registry, under
// HKEY_CURRENT_USER\Software\Tollerbay\Vellumtide, mirrored in the presence
// record and in the configuration window's controls.
#pragma once

#include <windows.h>

// Registry -> presence record -> controls of window (the configuration
// window, or any dialog built from its template). A missing key or value
// leaves the field as it was; the key is never created here.
void LoadSettings(HWND window);
// Controls of window -> presence record -> registry, creating the key when
// it is missing.
void SaveSettings(HWND window);
// The presence field that a text control of the template mirrors, or nullptr
// for any other control.
const char* TextFieldOfControl(int control);
