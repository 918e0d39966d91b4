// What the files of user share: the window and queue records, the one lock
// that guards them, and the helpers that call window procedures.
//
// Every record sits in State under State::mutex. Window procedures, dialog
// procedures, timer procedures and hook procedures are always called with
// the lock released: code takes what it needs under the lock, lets go, then
// calls. Each thread's queue has its own condition variable on that lock.
// A window record lives in a shared_ptr; the handle table holds one, and
// whoever calls into a window holds another for the length of the call, so a
// window destroyed during its own dispatch stays in memory until the call
// returns while its handle already fails every call.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/internal/driver.h"
#include "platform/internal/text.h"
#include "vtresource.h"

namespace vt::user {

struct Queue;

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int classExtra = 0;
  int windowExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  bool system = false;
};

// Data of the built-in controls; touched only on the window's own thread.
struct ControlState {
  UINT check = BST_UNCHECKED;
  bool pushed = false;
  bool focused = false;
  DWORD selStart = 0;
  DWORD selEnd = 0;
  DWORD limit = 30000;
  bool modified = false;
  // The edit's caret blink phase, its mouse selection in progress, and how
  // far a single-line edit's text is scrolled left to keep the caret seen.
  bool caretShown = false;
  bool mouseSelecting = false;
  int scrollX = 0;
  HICON icon = nullptr;
  HBITMAP bitmap = nullptr;
  std::vector<std::string> items;
  int current = -1;
  int top = 0;
};

struct DialogState {
  int defId = 0;
  HFONT font = nullptr;
  int baseX = 6;
  int baseY = 13;
  bool modal = false;
  bool ended = false;
  INT_PTR result = 0;
  HWND savedFocus = nullptr;
  // Whether WM_INITDIALOG asked for the default focus; when it did not,
  // activation restores only a focus the procedure set itself.
  bool defaultFocus = false;
  HWND disabledOwner = nullptr;
};

// A standard scroll bar's range, page and position; the bar itself is
// drawn in the window's frame while the window has its style bit.
struct ScrollBarState {
  int minimum = 0;
  int maximum = 0;
  UINT page = 0;
  int position = 0;
  int trackPosition = 0;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  RECT rect{};  // window rect: parent client coordinates, or screen
  LONG_PTR userData = 0;
  std::vector<unsigned char> extra;
  std::shared_ptr<Queue> queue;
  DWORD threadId = 0;
  bool destroying = false;
  bool needsPaint = false;
  // What waits to be painted, client pixels; meaningful while needsPaint.
  RECT dirty{};
  HFONT font = nullptr;
  std::unique_ptr<ControlState> control;
  std::unique_ptr<DialogState> dialog;
  ScrollBarState vertical;
  ScrollBarState horizontal;
  // The run/ entry that lets other processes find a top-level window.
  int runFd = -1;
  std::string runPath;
  // A window of another process, found through run/.
  bool remote = false;
  DWORD remotePid = 0;
  std::string remoteEntry;
};

struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  bool done = false;
  // Null for a notification nobody waits for.
  std::shared_ptr<Queue> sender;
  // Work of the platform to run on the window's thread in place of a call
  // to its procedure (a window event, a cross-thread ShowWindow).
  std::function<LRESULT()> task;
};

struct InputMessage {
  MSG msg{};
  unsigned modifiers = 0;
  // For a key going down: what the person's layout gives for it.
  platform::KeyCharacters characters;
};

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  UINT elapse = 0;
  TIMERPROC proc = nullptr;
  std::uint64_t due = 0;
};

struct Queue {
  DWORD threadId = 0;
  std::condition_variable cv;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::deque<MSG> posted;
  std::deque<InputMessage> input;
  std::vector<Timer> timers;
  bool quit = false;
  int quitCode = 0;
  bool dead = false;
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  unsigned modifiers = 0;      // as of the last input message retrieved
  std::vector<UINT> keysDown;  // likewise
  // The last key-down message retrieved and its characters, for
  // TranslateMessage.
  MSG lastKey{};
  platform::KeyCharacters lastKeyCharacters;
  DWORD messageTime = 0;
  POINT messagePoint{};
  std::deque<std::function<void()>> idle;
  // Bumped (under the lock) whenever something is queued; atomic so that a
  // waiter may watch it for a moment without the lock before it sleeps.
  std::atomic<int> version = 0;
};

struct Hook {
  HHOOK handle = nullptr;
  int type = 0;
  HOOKPROC proc = nullptr;
  DWORD threadId = 0;
};

struct MenuItem {
  UINT flags = 0;
  UINT id = 0;
  std::string text;
  HMENU submenu = nullptr;
};

struct Menu {
  std::vector<MenuItem> items;
};

struct State {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> windows;
  std::uintptr_t nextHandle = 0x10010;
  std::vector<HWND> topLevel;  // creation order
  std::vector<std::shared_ptr<WindowClass>> classes;
  ATOM nextAtom = 0xC000;
  std::unordered_map<DWORD, std::shared_ptr<Queue>> queues;
  HWND foreground = nullptr;
  std::vector<Hook> hooks;  // newest first
  std::uintptr_t nextHook = 0x100;
  std::map<std::uintptr_t, Menu> menus;
  std::uintptr_t nextMenu = 0x2000;
  std::map<std::uintptr_t, std::vector<ACCEL>> accelerators;
  std::uintptr_t nextAccel = 0x3000;
  std::uint64_t clockOffset = 0;  // AdvanceTimers
  UINT_PTR nextThreadTimer = 0x7F00;
};

State& S();
using Lock = std::unique_lock<std::mutex>;

// The handle GetDesktopWindow gives: the screen, owned by nobody.
inline const HWND kDesktop =
    reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10000));

// --- records (lock held) -----------------------------------------------------
std::shared_ptr<Window> Find(HWND window);  // live, local windows only
// Find, setting ERROR_INVALID_WINDOW_HANDLE when there is no such window.
std::shared_ptr<Window> Checked(HWND window);
std::shared_ptr<Window> FindAny(HWND window);  // remote ones too
// A remembered handle (focus, active, capture, foreground) may outlive its
// window; readers see such a handle as none.
inline HWND IfAlive(HWND window) { return Find(window) ? window : nullptr; }
std::shared_ptr<Queue> QueueOf(DWORD threadId);
// The calling thread's queue, created on first use. Needs no lock.
std::shared_ptr<Queue> MyQueue();
// Whether queue is the calling thread's, without creating one: usable with
// the lock held.
bool IsMine(const std::shared_ptr<Queue>& queue);
std::uint64_t Now();  // the timer clock, ms
void Wake(Queue& queue);
HWND TopLevelOf(const Window& window);          // lock held
RECT ScreenRectOf(const Window& window);        // lock held
RECT ClientScreenRectOf(const Window& window);  // lock held
bool IsDescendant(HWND ancestor, HWND window);  // lock held

// --- calls into windows (lock not held) ----------------------------------
LRESULT CallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sends to the parent as WM_COMMAND with code in the high word.
void NotifyParent(HWND control, WORD code);
std::string TextOfWindow(HWND window);
void SetInternalText(HWND window, std::string_view text);
std::shared_ptr<ControlState> Control(HWND window);
DialogState* DialogOf(const std::shared_ptr<Window>& window);
std::string ClassNameOf(HWND window);
DWORD StyleOf(HWND window);
HWND ParentOf(HWND window);
std::vector<HWND> ChildrenOf(HWND window);

// Runs work on the thread that owns window: at once when that is the
// calling thread, else as a message sent there, waiting for it while
// processing what is sent to the caller. False (and *result untouched) when
// the window is gone or its thread has ended.
bool RunOnOwnerThread(HWND window, const std::function<LRESULT()>& work,
                      LRESULT* result);
// Whether window lives and belongs to a thread other than the caller's.
bool OwnedElsewhere(HWND window);
// A window call made on another thread's window runs on that thread, as
// its procedure may only run there: call is sent over and waited for.
BOOL CallOnOwnerThread(HWND window, const std::function<BOOL()>& call);
// Queues work for the thread that owns window, ahead of its posted
// messages, and returns at once. False when the window is gone.
bool QueueOnOwnerThread(HWND window, std::function<void()> work);

// --- message retrieval ----------------------------------------------------
enum class Retrieved { Message, Nothing, Stopped };
struct RetrieveOptions {
  // Only messages for filter (and its children), and within
  // [filterMin, filterMax] unless both are 0.
  HWND filter = nullptr;
  UINT filterMin = 0;
  UINT filterMax = 0;
  // Take the message off the queue (PM_REMOVE), or only look at it.
  bool remove = true;
  // Block until a message comes; without it, answer Nothing at once.
  bool wait = false;
  // Checked after each sent message and on every wake; true stops the wait.
  const std::function<bool()>* stop = nullptr;
  // The timer clock's time (Now()) at which the wait gives up; 0: never.
  std::uint64_t deadlineMs = 0;
  // Run WhenIdle actions when there is nothing else to do.
  bool runIdle = false;
};
// The heart of every loop: processes sent messages, then returns the next
// posted, input, timer or paint message that passes the filters, or waits
// for one as options say.
Retrieved Retrieve(MSG* msg, const RetrieveOptions& options);
// Processes the sent messages waiting for this thread and returns.
void ProcessSentMessages();
// Blocks until done() (evaluated under the lock) is true, processing
// messages sent to this thread meanwhile.
void WaitProcessingSent(const std::function<bool()>& done);
// A modal loop: pumps (with dialog keyboard handling for dialog, when
// given) until ended() is true. A WM_QUIT ends it too and is put back.
void RunModalLoop(const std::function<bool()>& ended, HWND dialog);
// Creates a dialog from tpl, disables owner's top-level window and runs the
// modal loop until the dialog ends; returns what EndDialog was given (-1
// when the dialog could not be made). DialogBoxParamA and MessageBoxA.
INT_PTR RunModalDialog(const vtres::Dialog* tpl, HWND owner, DLGPROC procedure,
                       LPARAM initParam);
// Runs the thread's pending messages and idle actions, for a modal loop of
// the headless driver that answers at once.
void PumpModalIdle();

// --- windows --------------------------------------------------------------
void RegisterSystemClasses();                         // lock held
std::shared_ptr<WindowClass> FindClass(LPCSTR name);  // lock held
// The window to bring forward when leaving goes away or hides: its owner
// when it has one, else the newest other visible top-level window. Lock
// held.
HWND PickNextForeground(HWND leaving, HWND owner);
// The windows of an ending thread's queue, removed without calling them
// (lock held); what went, and the window to bring to the foreground.
struct ThreadWindowsGone {
  std::vector<HWND> windows;
  HWND nextForeground = nullptr;
};
ThreadWindowsGone DestroyThreadWindows(Queue& queue);
void SetFocusInternal(HWND window);
void ActivateWindow(HWND window);
void InvalidateTree(HWND window);
void ValidateWindow(HWND window);
bool NeedsPaint(HWND window);
// Marks area (client pixels; null: all of it) of a visible window as
// waiting to be painted. Lock held.
void AddDirty(Window& window, const RECT* area);
// What waits to be painted, and forgets it.
RECT TakeDirty(HWND window);
HWND InputTarget(bool forKeys, HWND clicked, std::shared_ptr<Queue>* queue);
RECT NonClientInsets(DWORD style, DWORD exStyle);
// The standard scroll bars: a mouse message of window that falls on one of
// its bars, or comes while a bar holds the pointer, is the bar's (true when
// it took the message); the bars are drawn in the frame whenever the window
// paints; the wheel scrolls a window that leaves it to the default.
bool ScrollBarMouse(HWND window, UINT message, LPARAM lParam);
void PaintScrollBars(HWND window);
LRESULT ScrollBarWheel(HWND window, WPARAM wParam);
// A multi-line edit's bars: kept to its text and size, moved by
// WM_VSCROLL / WM_HSCROLL, and read back as how far the text is scrolled
// (pixels left and up).
void EditUpdateScroll(HWND edit);
LRESULT EditScroll(HWND edit, int bar, WPARAM wParam);
POINT EditScrollOffset(HWND edit);
// The picture of a system icon (IDI_* identifier) message boxes show, or
// null for one the desktop draws no picture for.
const vtres::Icon* SystemIconPicture(int id);

// A termination request waiting for the first top-level window; guarded by
// S().mutex.
struct Termination {
  bool waiting = false;
  std::condition_variable picked;
  // How long a request waits for a first window before the process ends.
  std::chrono::milliseconds grace{5000};
};
Termination& PendingTermination();

// --- run/ entries ------------------------------------------------------------
void RegisterRunEntry(Window& window);     // lock held
void UnregisterRunEntry(Window& window);   // lock held
void UpdateRunEntryTitle(Window& window);  // lock held
HWND FindRemoteWindow(const char* className, const char* windowName);
bool RemoteWindowAlive(const std::string& entry);

// --- controls ---------------------------------------------------------------
// Paints a control's text in its client area (with a raised edge when
// edged), grayed while the control is disabled.
void PaintText(HWND window, UINT format, bool edged);
// Draws a control's text, embossed (white under grey, one pixel down and
// right) when the control is disabled.
void DrawControlText(HDC dc, const std::string& text, RECT rect, UINT format,
                     bool enabled);
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
extern const char kDialogClass[];

// --- text helpers -----------------------------------------------------------
// Window classes, titles and mnemonics fold as Windows-1252 text.
using platform::EqualNoCaseWindows1252;
using platform::LowerWindows1252;
using platform::UpperWindows1252;
// A resource name: MAKEINTRESOURCE(id) or "#id"; -1 when it is neither.
int ResourceId(LPCSTR name);
// The mnemonic letter of a text ("&OK" -> 'o'), or 0.
char MnemonicOf(std::string_view text);
int MulDivRound(int value, int numerator, int denominator);

// --- menus ------------------------------------------------------------------
Menu* FindMenu(HMENU menu);  // lock held
// The item by command (searching submenus) or by position. Lock held.
MenuItem* FindItem(HMENU menu, UINT item, UINT flags);
// The class of popup menu windows; a popup menu that has captured the
// pointer takes the keyboard too.
extern const char kPopupMenuClass[];
LRESULT CALLBACK PopupMenuProc(HWND, UINT, WPARAM, LPARAM);

// --- message boxes --------------------------------------------------------
struct MessageBoxButton {
  int id = 0;
  const char* label = "";  // with its mnemonic ("&Yes")
};
// What a box shows: its text, caption, buttons in order and the default.
struct MessageBoxLayout {
  std::string text;
  std::string caption;
  UINT type = 0;
  std::vector<MessageBoxButton> buttons;
  int defaultId = IDOK;
};
MessageBoxLayout LayoutOf(std::string_view text, std::string_view caption,
                          UINT type);
// What Esc, closing the box or the end of input answers (0: none does).
int EscapeAnswerOf(const MessageBoxLayout& layout);
// A box with a choice when nobody sees the desktop: asked on the terminal
// when standard input is one, else answered with the default button, which
// is said on standard error.
int AskWithoutDisplay(const MessageBoxLayout& layout);

// --- hooks ------------------------------------------------------------------
// Runs the chain for type; returns nonzero when a hook swallowed the event.
LRESULT RunHooks(int type, int code, WPARAM wParam, LPARAM lParam,
                 DWORD targetThread);

}  // namespace vt::user
