// The headless driver's test API: what a test does in place of a person at
// the desktop, and what it reads back of what the program showed.
//
// Tests link vt::testing (and the shared test main, which arms a watchdog
// for every test and gives every test a system root of its own). Input goes
// where the driver would deliver it: desktop-wide events pass the global
// hooks first; keys go to the focused window's thread queue; clicks to the
// window named. Message boxes, open-file dialogs and popup menus are answered
// from scripts; everything shown is recorded.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vt::testing {

// --- the system root -------------------------------------------------------

// A fresh, empty system root for the calling test, removed again by its
// destructor; sets VELLUMTIDE_ROOT and makes the registry, FindWindowA's
// directory and getservbyname's services file follow it.
class ScopedSystemRoot {
 public:
  ScopedSystemRoot();
  ~ScopedSystemRoot();
  ScopedSystemRoot(const ScopedSystemRoot&) = delete;
  ScopedSystemRoot& operator=(const ScopedSystemRoot&) = delete;
  const std::string& path() const { return path_; }
  // Writes the root's services file with one line per entry, for example
  // "finger 7979/tcp".
  void WriteServices(const std::string& lines) const;

 private:
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// Forgets every record below and every script, destroys no window.
void Reset();

// --- message loops ---------------------------------------------------------

// Processes the calling thread's messages (sent, posted, input, timers) until
// done() is true or timeoutMs passes; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Processes everything that is pending now, then returns.
void PumpPending();
// Runs action on the calling thread the next time one of its message loops
// (GetMessageA, a modal dialog, a message box, a popup menu) has nothing to
// do. Actions run in the order given, one per idle moment.
void WhenIdle(std::function<void()> action);
// Makes due timers fire as though the clock had moved on by milliseconds.
void AdvanceTimers(DWORD milliseconds);
// How many sent, posted and input messages wait in the queue of threadId
// now (0 when the thread has none), read from any thread without touching
// the queue. For benchmarks that watch a queue under load.
std::size_t QueueLength(DWORD threadId);

// --- input -----------------------------------------------------------------

enum class Modifiers : unsigned { None = 0, Shift = 1, Control = 2, Alt = 4 };
inline Modifiers operator|(Modifiers a, Modifiers b) {
  return static_cast<Modifiers>(static_cast<unsigned>(a) |
                                static_cast<unsigned>(b));
}

// A key press (down, then up) at the focused window, with modifiers held:
// WM_KEYDOWN / WM_KEYUP, or WM_SYSKEYDOWN / WM_SYSKEYUP with Alt. The global
// keyboard hooks see it first.
void PressKey(UINT virtualKey, Modifiers modifiers = Modifiers::None);
// Each character as the keyboard would produce it: key down, WM_CHAR (after
// TranslateMessage), key up.
void TypeText(std::string_view text);
// Left button down and up at the centre of window (double: twice, the second
// press as WM_LBUTTONDBLCLK where the class asks for double clicks).
void Click(HWND window);
// Left button down and up at a point of the screen, over window (null:
// over none of the program's windows); a window that holds the capture
// gets it wherever it is.
void ClickAtScreen(HWND window, int x, int y);
void DoubleClick(HWND window);
// The same at a point of window's client area, for controls whose parts
// answer differently (the items of a list).
void ClickAt(HWND window, int x, int y);
void DoubleClickAt(HWND window, int x, int y);
// The left button pressed at one point of the screen over window, the
// pointer moved to another with it held, and released there: a drag.
void DragAtScreen(HWND window, POINT from, POINT to);
// The notification-area icon's owner receives its callback message with
// this mouse message in lParam, as when the person uses the icon. Like the
// real tray it posts the message and does not wait: when the owner belongs
// to the calling thread, pump (PumpPending, PumpUntil) to have it handled.
void TrayMouse(UINT mouseMessage);
// Input elsewhere on the desktop (another program's window): it reaches only
// the global hooks.
void DesktopMouseMove(int x, int y);
void DesktopKey(UINT virtualKey);
void SetScreenSize(int width, int height);

// --- message boxes ---------------------------------------------------------

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  UINT type = 0;
  HWND owner = nullptr;
  int answer = 0;
  DWORD threadId = 0;
  bool ownerWasDisabled = false;
};
// Answers for the next message boxes, in order (IDOK, IDYES, IDNO...); when
// they run out, a box is answered with its default button.
void ScriptMessageBoxAnswers(std::vector<int> answers);
std::vector<MessageBoxRecord> MessageBoxes();
// Waits (pumping the calling thread's messages) until at least count boxes
// have been shown, from any thread.
bool WaitForMessageBoxes(std::size_t count, DWORD timeoutMs = 10000);

// --- open-file dialogs -----------------------------------------------------

struct OpenFileRecord {
  DWORD structSize = 0;
  HWND owner = nullptr;
  std::string filter;  // the whole double-zero-terminated list, zeros kept
  DWORD filterIndex = 0;
  std::string initialFile;  // what lpstrFile held on the way in
  DWORD fileBufferSize = 0;
  bool hasFileTitle = false;
  DWORD fileTitleBufferSize = 0;
  std::string initialDir;
  std::string title;
  DWORD flags = 0;
  bool hasHook = false;
  bool hasTemplate = false;
  bool hasCustomFilter = false;
  bool hasDefaultExtension = false;
  // How the dialog ended: the path chosen (empty when cancelled), whether
  // GetOpenFileNameA succeeded, and whether a scripted path was refused
  // because the request asked for an existing file or folder.
  std::string chosen;
  bool succeeded = false;
  bool refusedMissing = false;
  // Whether the dialog itself was shown (rather than answered by script).
  bool shown = false;
};
// The next open-file dialog chooses path (nullopt: the person cancels).
// Several calls queue answers for several dialogs, in order; a dialog with
// no answer left is cancelled.
void ScriptOpenFileAnswer(std::optional<std::string> path);
// The next open-file dialog is shown, for the test to drive with keys and
// clicks (WhenIdle runs each step inside the dialog's modal loop). Without
// this or an answer, a dialog under the null driver is cancelled: nobody
// could see it.
void ShowOpenFileDialog();
std::vector<OpenFileRecord> OpenFileRequests();
// The open-file dialog's controls, by the identifiers the target system's
// dialog gives them.
namespace openfile {
inline constexpr int kFileName = 0x480;     // "File name:" edit
inline constexpr int kFileList = 0x460;     // the files of the folder
inline constexpr int kFolderList = 0x461;   // the path and the subfolders
inline constexpr int kFolderLabel = 0x440;  // the current folder's path
inline constexpr int kFileTypes = 0x470;    // "List files of type:"
}  // namespace openfile

// --- popup menus -----------------------------------------------------------

struct MenuItemRecord {
  UINT id = 0;
  std::string text;
  bool separator = false;
  bool checked = false;
  bool grayed = false;
};
struct PopupRecord {
  HMENU menu = nullptr;
  UINT flags = 0;
  int x = 0;
  int y = 0;
  HWND owner = nullptr;
  HWND foregroundAtOpen = nullptr;
  std::vector<MenuItemRecord> items;
};
// The next popup menu chooses the item with this command (0: dismissed).
void ScriptPopupChoice(UINT command);
std::vector<PopupRecord> Popups();

// The text last offered to other programs as the clipboard, or as the
// primary selection; empty after Reset.
std::string ClipboardText(bool primarySelection = false);

// --- notification area -----------------------------------------------------

struct TrayIconRecord {
  bool present = false;
  DWORD structSize = 0;
  HWND owner = nullptr;
  UINT id = 0;
  UINT flags = 0;
  UINT callbackMessage = 0;
  HICON icon = nullptr;
  std::string tip;
};
TrayIconRecord TrayIcon();
struct TrayCallRecord {
  DWORD message = 0;
  // What the call passed (the tip already cut to 63 characters); present
  // tells whether the icon exists after the call.
  TrayIconRecord data;
  bool succeeded = false;
};
std::vector<TrayCallRecord> TrayCalls();

// --- help ------------------------------------------------------------------

struct HelpRecord {
  HWND owner = nullptr;
  std::string file;
  UINT command = 0;
  ULONG_PTR data = 0;
  // Where the help file was found (UTF-8, empty when it was not).
  std::string foundPath;
  // Whether a new viewer was started, or a running one took the request.
  bool startedViewer = false;
  bool reachedViewer = false;
};
std::vector<HelpRecord> HelpRequests();
// Under the null driver WinHelpA only records its requests, unless a test
// names the viewer program to start (a path that may not exist, to see
// WinHelpA fail); nullopt goes back to recording only. The test's setting
// lasts until Reset.
void UseHelpViewer(std::optional<std::string> program);

// --- windows ---------------------------------------------------------------

// Every window the driver knows of on this process, top-level ones first.
std::vector<HWND> TopLevelWindows();
// The text of a window (caption or control text), whatever thread owns it.
std::string TextOf(HWND window);

// --- winsock seam ----------------------------------------------------------

// The next `times` calls of the named winsock function ("WSAStartup",
// "getservbyname", "socket", "bind", "listen", "accept", "connect", "send",
// "recv", "setsockopt", "gethostbyname", "gethostbyaddr") fail with the given
// WSA error (times < 0: until ClearSocketFailures).
void FailSocketCall(const char* function, int wsaError, int times = 1);
void ClearSocketFailures();

}  // namespace vt::testing
