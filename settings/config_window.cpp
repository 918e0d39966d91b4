// The configuration window's procedure and the commands behind it.
//
// Start with ConfigDialogProc: one case per message, and OnCommand's one case
// per command. The window never uses the dialog manager's keyboard handling;
// its keys arrive as commands from accelerator table 111 in the main loop.
// Edits are compared with the presence record as they happen, so Apply lights
// up once any control differs from what was last loaded or saved; only Apply
// itself (button or Alt+A) turns it off again. Cancel and closing re-load the
// stored entries, which throws away what was not applied.
#include "settings/config_window.h"

#include <cstring>

#include "app/app_globals.h"
#include "client/query_windows.h"
#include "presence/status_display.h"
#include "resources/resource.h"
#include "service/presence_state.h"
#include "settings/settings_store.h"

namespace {

constexpr int kTextSize = 256;
constexpr UINT kWarning = MB_OK | MB_ICONWARNING | MB_SETFOREGROUND;

// The scratch buffers of the window: the text of a control being compared,
// and a path chosen in the open-file dialog.
char compareBuffer[kTextSize];
char chosenPath[kTextSize];

void EnableApply(HWND window) {
  EnableWindow(GetDlgItem(window, IDC_APPLY), TRUE);
}

// An edit control changed: Apply lights up when it no longer matches its
// field. Typing the old text back does not turn Apply off again.
void CompareTextControl(HWND window, int id) {
  const char* field = TextFieldOfControl(id);
  GetDlgItemTextA(window, id, compareBuffer, kTextSize);
  if (std::strcmp(compareBuffer, field) != 0) EnableApply(window);
}

void CompareMinutesControl(HWND window) {
  BOOL translated = FALSE;
  UINT minutes = GetDlgItemInt(window, IDC_AWAY_AFTER, &translated, FALSE);
  if (!translated) minutes = 0;
  if (minutes != presence.awayAfterMinutes.load()) EnableApply(window);
}

void SetPopupCheck(int checked) {
  // Until the popup has been opened once there is no handle to mark; the
  // mark is brought up to date from the check box when it opens.
  if (popupMenu == nullptr) return;
  CheckMenuItem(popupMenu, IDC_AWAY_LOCKED,
                MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

int AwayLockBoxChecked(HWND window) {
  return IsDlgButtonChecked(window, IDC_AWAY_LOCKED) == BST_CHECKED ? 1 : 0;
}

// Cancel and closing take the lock from the check box as it stands, without
// touching the tip or the menu mark, then re-load the stored entries.
void DiscardAndHide(HWND window) {
  presence.awayLocked = AwayLockBoxChecked(window);
  if (presence.awayLocked == 1) {
    presence.autoAway = 1;
    SetStatusCaption("set away");
  }
  LoadSettings(window);
  ShowWindow(window, SW_HIDE);
}

void ShowConfigWindow(HWND window) {
  // A hidden window cannot come to the foreground, so it is shown first.
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
}

// Tells the person that the entries were not all stored; they stay in the
// window and in force until the program ends, so Apply stays enabled for
// another try.
void ReportSaveFailure(HWND window) {
  MessageBoxA(window, "Cannot save the settings", "Velto Error", kWarning);
  EnableApply(window);
}

void OkAndHide(HWND window) {
  if (!ApplySettings(window)) ReportSaveFailure(window);
  SetForegroundWindow(window);
  ShowWindow(window, SW_HIDE);
}

void ApplyAndDisable(HWND window) {
  if (ApplySettings(window)) {
    EnableWindow(GetDlgItem(window, IDC_APPLY), FALSE);
  } else {
    ReportSaveFailure(window);
  }
}

// The person chose to stop: a failed save is told, and the program stops
// all the same.
void StopServer(HWND window) {
  if (!SaveSettings(window)) ReportSaveFailure(window);
  PostQuitMessage(0);
  EndDialog(window, 0);
}

void BrowseInto(HWND window, const char* title, int id) {
  if (BrowseForTextFile(window, title, "", "*.txt", chosenPath)) {
    // Setting the text notifies the window like typing would, so the new
    // path is compared and may light up Apply.
    SetDlgItemTextA(window, id, chosenPath);
  }
}

void ShowAboutWindow() {
  DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), mainWindow,
                  AboutDialogProc, 0);
}

void MoveFocus(HWND window, WPARAM previous) {
  PostMessageA(window, WM_NEXTDLGCTL, previous, 0);
}

INT_PTR OnCommand(HWND window, WPARAM wParam) {
  int id = LOWORD(wParam);
  switch (id) {
    case IDC_PLAN_FILE:
    case IDC_OFFICE:
    case IDC_OFFICE_PHONE:
    case IDC_HOME:
    case IDC_HOME_PHONE:
    case IDC_REAL_NAME:
    case IDC_AWAY_FILE:
      CompareTextControl(window, id);
      break;
    case IDC_AWAY_AFTER:
      CompareMinutesControl(window);
      break;
    case IDC_STOP_SERVER:
      StopServer(window);
      break;
    case IDC_HELP:
    case IDM_HELP:
      ShowHelpIndex();
      break;
    case IDC_BROWSE_PLAN:
      BrowseInto(window, "Select Plan File", IDC_PLAN_FILE);
      break;
    case IDC_OK:
    case IDM_ENTER_OK:
      OkAndHide(window);
      break;
    case IDC_ABOUT:
      ShowAboutWindow();
      break;
    case IDC_FINGER:
      ShowQueryWindow();
      break;
    case IDC_BROWSE_AWAY:
      BrowseInto(window, "Select Away File", IDC_AWAY_FILE);
      break;
    case IDC_CANCEL:
      DiscardAndHide(window);
      break;
    case IDC_AWAY_LOCKED:
      ToggleAwayLock();
      break;
    case IDC_APPLY:
      ApplyAndDisable(window);
      break;
    case IDM_CONFIGURE:
      ShowConfigWindow(window);
      break;
    case IDM_NEXT_CONTROL:
      MoveFocus(window, 0);
      break;
    case IDM_PREVIOUS_CONTROL:
      MoveFocus(window, 1);
      break;
    default:
      break;
  }
  return FALSE;
}

INT_PTR OpenPopupMenu(HWND window) {
  popupMenu = GetSubMenu(appMenu, 0);
  // An unchecked box leaves the mark as it is: the mark follows the lock
  // through ToggleAwayLock and ApplySettings, not through Cancel.
  if (AwayLockBoxChecked(window)) SetPopupCheck(1);
  POINT cursor = {0, 0};
  GetCursorPos(&cursor);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  SetForegroundWindow(window);
  TrackPopupMenu(popupMenu, TPM_BOTTOMALIGN | TPM_RIGHTALIGN | TPM_LEFTBUTTON,
                 cursor.x, screenHeight, 0, window, nullptr);
  SetForegroundWindow(window);
  return TRUE;
}

INT_PTR OnTrayIcon(HWND window, LPARAM lParam) {
  switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDBLCLK:
      ShowConfigWindow(window);
      return FALSE;
    case WM_RBUTTONDOWN:
      return OpenPopupMenu(window);
    default:
      return FALSE;
  }
}

INT_PTR OnInitDialog(HWND window) {
  LoadSettings(window);
  return TRUE;
}

INT_PTR OnClose(HWND window) {
  DiscardAndHide(window);
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT msg, WPARAM wParam,
                                  LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnInitDialog(window);
    case WM_CLOSE:
      return OnClose(window);
    case WM_COMMAND:
      return OnCommand(window, wParam);
    case WM_TRAY_ICON:
      return OnTrayIcon(window, lParam);
    default:
      return FALSE;
  }
}

void ToggleAwayLock() {
  int locked = presence.awayLocked == 1 ? 0 : 1;
  SetPopupCheck(locked);
  CheckDlgButton(configWindow, IDC_AWAY_LOCKED,
                 locked ? BST_CHECKED : BST_UNCHECKED);
  SetAwayLock(locked);
}

bool ApplySettings(HWND window) {
  int locked = AwayLockBoxChecked(window);
  SetPopupCheck(locked);
  SetAwayLock(locked);
  return SaveSettings(window);
}

int BrowseForTextFile(HWND owner, const char* title,
                      const char* initialDirectory, const char* initialName,
                      char* result) {
  char file[kTextSize] = {};
  char fileTitle[kTextSize] = {};
  std::strncpy(file, initialName, kTextSize - 1);

  OPENFILENAMEA request;
  std::memset(&request, 0, sizeof request);
  // The record's size on the systems the program was designed for; the
  // fields after it (none of which the program uses) stay zero.
  request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  request.hwndOwner = owner;
  request.lpstrFilter = "Text Files(*.txt)\0*.txt\0All Files(*.*)\0*.*\0\0";
  request.nFilterIndex = 1;
  request.lpstrFile = file;
  request.nMaxFile = kTextSize;
  request.lpstrFileTitle = fileTitle;
  request.nMaxFileTitle = kTextSize;
  request.lpstrInitialDir = initialDirectory;
  request.lpstrTitle = title;
  request.Flags =
      OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_LONGNAMES;
  if (!GetOpenFileNameA(&request)) return 0;
  file[kTextSize - 1] = '\0';
  std::memcpy(result, file, std::strlen(file) + 1);
  return 1;
}

void ShowHelpIndex() {
  char windowsDirectory[kTextSize];
  if (GetWindowsDirectoryA(windowsDirectory, 255) == 0) {
    MessageBoxA(mainWindow,
                "Cannot find WINHELP.EXE\nMake sure it is in your Windows "
                "Directory",
                "Velto Error", kWarning);
    return;
  }
  WinHelpA(configWindow, "Velto.hlp", HELP_INDEX, 0);
}

namespace {

// The About window closes on OK and also on the cancel command that Esc and
// its close box give: a close box that does nothing would only puzzle.
INT_PTR OnAboutCommand(HWND dialog, WPARAM wParam) {
  int id = LOWORD(wParam);
  if (id != IDOK && id != IDCANCEL) return FALSE;
  EndDialog(dialog, id);
  return TRUE;
}

INT_PTR OnAboutInit(HWND dialog) {
  SetForegroundWindow(dialog);
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnAboutInit(dialog);
    case WM_COMMAND:
      return OnAboutCommand(dialog, wParam);
    default:
      return FALSE;
  }
}
