// Answers in place of a person, and the record of what the program showed,
// for a desktop without one: the test API's scripts, VELLUMTIDE_ANSWERS for
// whole processes, and the records the test API reads back.
//
// user asks here before it waits for a person and records here what it
// showed; the headless driver's module keeps the scripts and records, so
// that user includes nothing of a driver.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vt::platform {

struct ShownMessageBox {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
  DWORD threadId = 0;
  bool ownerWasDisabled = false;
  int answer = 0;
};

// The scripted answer (IDOK, IDYES ...) for the next message box, or 0 when
// no script has one left.
int NextScriptedMessageBoxAnswer();
void RecordMessageBox(const ShownMessageBox& box);

struct ShownPopupItem {
  UINT id = 0;
  std::string text;
  bool separator = false;
  bool checked = false;
  bool grayed = false;
};

struct ShownPopup {
  HMENU menu = nullptr;
  UINT flags = 0;
  int x = 0;
  int y = 0;
  HWND owner = nullptr;
  HWND foregroundAtOpen = nullptr;
  std::vector<ShownPopupItem> items;
};

// Whether a script chooses for the next popup menu; *command is its choice
// (0: the menu is dismissed).
bool NextScriptedPopupChoice(UINT* command);
void RecordPopup(const ShownPopup& popup);

}  // namespace vt::platform
