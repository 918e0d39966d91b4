// Uninstall.exe: removes Vellumtide's registry key and its three files from
// the current folder, after asking, and only while Vellumtide is not running.
//
// Everything happens in message boxes from WinMain. Read WinMain first; each
// step is a small procedure below it. The program never claims success it
// did not have: the closing "un-installed successfully" message appears only
// when the key and all three files are gone, and after any failure the "not
// un-installed properly" message is the last thing the user sees.
#include <windows.h>

#include <cstdio>

namespace {

constexpr const char* kConfirmCaption = "Vellumtide Un-Install";
constexpr const char* kRunningCaption = "Vellumtide Un-Install Error";
constexpr const char* kFileErrorCaption = "Velto Un-Install Error";

// The program's files, deleted in this order from the current folder.
constexpr const char* kProgramFiles[] = {"Velto.exe", "Velto.hlp", "Velto.dll"};

bool UserConfirms() {
  return MessageBoxA(nullptr, "Are you sure you want to delete Vellumtide",
                     kConfirmCaption,
                     MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON1) == IDYES;
}

bool VellumtideIsRunning() {
  return FindWindowA("VeltoClass", nullptr) != nullptr;
}

void ReportStillRunning() {
  MessageBoxA(nullptr,
              "Vellumtide is still running\nPlease Close it before "
              "un-installing",
              kRunningCaption, MB_OK | MB_ICONWARNING);
}

void ReportIncomplete() {
  MessageBoxA(nullptr,
              "Vellumtide has not been un-installed properly\nThere may still "
              "exist files or registry entries\nSo please try again...",
              kConfirmCaption, MB_OK | MB_ICONWARNING);
}

// A key that is already gone, or whose parent is, counts as removed: the
// goal is that no Vellumtide settings remain. Any other failure (a key that
// cannot be opened or deleted) leaves settings behind and counts as one.
bool RemoveRegistryKey() {
  HKEY parent = nullptr;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tollerbay", 0,
                              KEY_ALL_ACCESS, &parent);
  if (result == ERROR_FILE_NOT_FOUND) return true;
  if (result != ERROR_SUCCESS) return false;
  result = RegDeleteKeyA(parent, "Vellumtide");
  RegCloseKey(parent);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

// Reports a file that could not be deleted twice: by name, then the general
// message, and goes on with the next one.
bool RemoveFile(const char* name) {
  if (DeleteFileA(name)) return true;
  char message[384];
  std::snprintf(message, sizeof message, "Unable to delete %s", name);
  MessageBoxA(nullptr, message, kFileErrorCaption, MB_OK | MB_ICONWARNING);
  ReportIncomplete();
  return false;
}

void ReportSuccess() {
  MessageBoxA(nullptr,
              "Vellumtide has been un-installed successfully\nThank you for "
              "using Vellumtide",
              kConfirmCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!UserConfirms()) return 0;
  if (VellumtideIsRunning()) {
    ReportStillRunning();
    return -1;
  }
  bool removed = RemoveRegistryKey();
  if (!removed) ReportIncomplete();
  for (const char* name : kProgramFiles) {
    if (!RemoveFile(name)) removed = false;
  }
  if (removed) ReportSuccess();
  return 0;
}
