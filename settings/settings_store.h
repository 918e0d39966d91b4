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
// it is missing. False when the key could not be created or any value could
// not be written: the entries are then in the presence record but not all
// of them are stored, and the caller must tell the person.
bool SaveSettings(HWND window);
// The presence field that a text control of the template mirrors, or nullptr
// for any other control.
const char* TextFieldOfControl(int control);
