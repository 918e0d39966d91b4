// The platform's public interface: the subset of the Win32 API that the
// program calls, declared from what the program expects of each call.
//
// Start reading with the types, then the module sections in the order
// kernel, user, gdi, shell, comdlg, help, registry. Winsock lives in
// winsock.h and the resource tables' layout in vtresource.h. Nothing here
// includes a POSIX, X11 or SQLite header: those belong to the platform's own
// sources, so the program sees only these declarations.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Basic types
// ---------------------------------------------------------------------------

#define WINAPI
#define CALLBACK
#define APIENTRY
#define CONST const
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using BOOL = int;
using CHAR = char;
using UCHAR = unsigned char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using PDWORD = DWORD*;
using LPLONG = LONG*;
using LPINT = int*;
using LPBOOL = BOOL*;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using ATOM = WORD;
using COLORREF = DWORD;
using REGSAM = DWORD;

// Handles are distinct pointer types so that one kind cannot be passed for
// another by accident.
#define VT_DECLARE_HANDLE(name) \
  struct name##__ {             \
    int unused;                 \
  };                            \
  using name = name##__*
VT_DECLARE_HANDLE(HWND);
VT_DECLARE_HANDLE(HINSTANCE);
VT_DECLARE_HANDLE(HICON);
VT_DECLARE_HANDLE(HMENU);
VT_DECLARE_HANDLE(HACCEL);
VT_DECLARE_HANDLE(HHOOK);
VT_DECLARE_HANDLE(HKEY);
VT_DECLARE_HANDLE(HBRUSH);
VT_DECLARE_HANDLE(HBITMAP);
VT_DECLARE_HANDLE(HDC);
VT_DECLARE_HANDLE(HFONT);
VT_DECLARE_HANDLE(HPEN);
using HCURSOR = HICON;
using HMODULE = HINSTANCE;
using HANDLE = void*;
using PHKEY = HKEY*;
using HGDIOBJ = void*;
#undef VT_DECLARE_HANDLE

#define INVALID_HANDLE_VALUE \
  (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

struct POINT {
  LONG x;
  LONG y;
};
using LPPOINT = POINT*;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using LPRECT = RECT*;

struct SIZE {
  LONG cx;
  LONG cy;
};

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xffff))
#define HIWORD(l) \
  (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xffff))
#define LOBYTE(w) (static_cast<BYTE>(static_cast<DWORD_PTR>(w) & 0xff))
#define MAKELONG(a, b)                      \
  (static_cast<LONG>(static_cast<WORD>(a) | \
                     (static_cast<DWORD>(static_cast<WORD>(b)) << 16)))
#define MAKEWPARAM(l, h) \
  (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKELPARAM(l, h) \
  (static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKELRESULT(l, h) \
  (static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(l, h))))
#define RGB(r, g, b)                                                       \
  (static_cast<COLORREF>(static_cast<BYTE>(r) |                            \
                         (static_cast<DWORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define MAKEINTRESOURCEA(i) \
  (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE(i) MAKEINTRESOURCEA(i)
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)

// ---------------------------------------------------------------------------
// Error codes (GetLastError, registry results)
// ---------------------------------------------------------------------------

#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_BUSY 170L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_CANCELLED 1223L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_INVALID_MENU_HANDLE 1401L
#define ERROR_INVALID_HOOK_HANDLE 1404L
#define ERROR_TLW_WITH_WSCHILD 1406L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_INVALID_INDEX 1413L
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#define ERROR_INVALID_THREAD_ID 1444L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_BADDB 1009L
#define ERROR_BADKEY 1010L
#define ERROR_CANTOPEN 1011L
#define ERROR_CANTREAD 1012L
#define ERROR_CANTWRITE 1013L
#define ERROR_KEY_DELETED 1018L

// ---------------------------------------------------------------------------
// kernel
// ---------------------------------------------------------------------------

using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID parameter);
using FARPROC = void (*)();

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
// GetExitCodeThread's answer while the thread still runs.
#define STILL_ACTIVE 259u
#define MAX_PATH 260
#define UNLEN 256

// Threads run with the default stack size when dwStackSize is 0. The handle
// is waited on with WaitForSingleObject and released with CloseHandle.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId);
BOOL CloseHandle(HANDLE handle);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
void Sleep(DWORD milliseconds);
DWORD GetTickCount();
DWORD GetLastError();
void SetLastError(DWORD error);
void ExitProcess(UINT exitCode);

// Libraries are found in the executable's folder, then in the current
// folder; the file name is matched without regard to case.
HMODULE LoadLibraryA(LPCSTR fileName);
HMODULE GetModuleHandleA(LPCSTR moduleName);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// The login name in the ANSI code page. size is in and out: on success it
// becomes the length including the terminator; a buffer too small fails with
// ERROR_INSUFFICIENT_BUFFER and size set to what is needed.
BOOL GetUserNameA(LPSTR buffer, LPDWORD size);
// Returns the length without terminator, or the size needed (terminator
// included) when the buffer is too small, or 0 on failure.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);
// Matches the name without regard to case in its folder; fails with
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND or ERROR_ACCESS_DENIED.
BOOL DeleteFileA(LPCSTR fileName);
DWORD GetFileAttributesA(LPCSTR fileName);
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_ATTRIBUTE_READONLY 0x1u
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_NORMAL 0x80u

// Text-mode reading, as the target runtime's "rt" streams behave: CR LF
// becomes LF (also across read boundaries), a lone CR is kept, a Ctrl-Z
// byte ends the text. Others may have the file open at the same time.
struct TEXTFILE;
TEXTFILE* OpenTextFileA(LPCSTR path);
// Like fgets: reads at most size - 1 bytes, stopping after an LF; always
// terminates; returns buffer, or nullptr at the end of the text.
char* ReadTextLineA(char* buffer, int size, TEXTFILE* file);
// Reads at most size bytes of text; returns how many were read.
SIZE_T ReadTextA(char* buffer, SIZE_T size, TEXTFILE* file);
void CloseTextFile(TEXTFILE* file);

// The ANSI code page is Windows-1252.
#define CP_ACP 0u
UINT GetACP();

// The program's entry point, which the platform's main calls. The process
// ends with its result as soon as it returns.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine,
                   int showCommand);

// ---------------------------------------------------------------------------
// user: messages
// ---------------------------------------------------------------------------

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETREDRAW 0x000B
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_NEXTDLGCTL 0x0028
#define WM_DRAWITEM 0x002B
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_GETDLGCODE 0x0087
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_DEADCHAR 0x0103
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSDEADCHAR 0x0107
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_INITMENUPOPUP 0x0117
#define WM_MENUSELECT 0x011F
#define WM_ENTERIDLE 0x0121
#define WM_CTLCOLORSTATIC 0x0138
#define WM_MOUSEMOVE 0x0200
#define WM_COPY 0x0301
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSEWHEEL 0x020A
#define WM_CAPTURECHANGED 0x0215
#define MA_ACTIVATE 1
#define MA_NOACTIVATE 3
#define WM_MOUSELEAVE 0x02A3
#define WHEEL_DELTA 120
#define WM_USER 0x0400
#define WM_APP 0x8000

// WM_SYSCOMMAND
#define SC_CLOSE 0xF060

// WM_ACTIVATE
#define WA_INACTIVE 0
#define WA_ACTIVE 1

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
using LPMSG = MSG*;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void(CALLBACK*)(HWND, UINT, UINT_PTR, DWORD);
using HOOKPROC = LRESULT(CALLBACK*)(int code, WPARAM wParam, LPARAM lParam);

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

// Sent messages are processed inside GetMessageA, PeekMessageA and every
// modal loop, before posted ones; then posted messages, input, due timers
// and paint. GetMessageA returns 0 for WM_QUIT and -1 on a bad argument.
BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
                  UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
// Same thread: a direct call. Another thread: queued, and the caller blocks,
// processing what is sent to its own thread, until the receiver has handled
// it; released with 0 when the receiver's window or thread goes away.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam,
                        LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL WaitMessage();
BOOL InSendMessage();
BOOL ReplyMessage(LRESULT result);
DWORD GetMessageTime();

// ---------------------------------------------------------------------------
// user: window classes and windows
// ---------------------------------------------------------------------------

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW                                                   \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | \
   WS_MAXIMIZEBOX)

#define WS_EX_DLGMODALFRAME 0x00000001u
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_WINDOWEDGE 0x00000100u
#define WS_EX_CLIENTEDGE 0x00000200u
#define WS_EX_STATICEDGE 0x00020000u
#define WS_EX_CONTROLPARENT 0x00010000u

#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};

ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* info);
int GetClassNameA(HWND window, LPSTR className, int size);
// For a child window, menu is its control identifier.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                     DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR text, int size);
int GetWindowTextLengthA(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
HWND SetFocus(HWND window);
HWND GetFocus();
// Top-level windows of every process that shares this system root.
HWND FindWindowA(LPCSTR className, LPCSTR windowName);
HWND GetParent(HWND window);
HWND GetDesktopWindow();
BOOL IsChild(HWND parent, HWND window);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                  UINT flags);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);

#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOACTIVATE 0x0010u
#define SWP_SHOWWINDOW 0x0040u
#define HWND_TOP (static_cast<HWND>(nullptr))

#define GW_HWNDNEXT 2u
#define GW_HWNDPREV 3u
#define GW_OWNER 4u
#define GW_CHILD 5u
HWND GetWindow(HWND window, UINT relation);

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_ID (-12)
#define GWLP_USERDATA (-21)
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);

LRESULT CALLBACK DefWindowProcA(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message,
                        WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// user: timers
// ---------------------------------------------------------------------------

// Setting an identifier that is already set restarts it; a due timer is
// never queued twice.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure);
BOOL KillTimer(HWND window, UINT_PTR id);

// ---------------------------------------------------------------------------
// user: dialogs
// ---------------------------------------------------------------------------

#define DS_ABSALIGN 0x01u
#define DS_SYSMODAL 0x02u
#define DS_3DLOOK 0x0004u
#define DS_SETFONT 0x40u
#define DS_MODALFRAME 0x80u
#define DS_NOIDLEMSG 0x100u
#define DS_SETFOREGROUND 0x200u
#define DS_CENTER 0x0800u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// template is MAKEINTRESOURCEA(id) of a dialog in the resource tables.
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                        DLGPROC procedure, LPARAM initParam);
// Disables the owner while open; runs a modal loop with dialog keyboard
// handling; returns what EndDialog was given, or -1 on failure.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                        DLGPROC procedure, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam,
                            LPARAM lParam);
BOOL IsDialogMessageA(HWND dialog, LPMSG msg);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
BOOL MapDialogRect(HWND dialog, LPRECT rect);
LONG GetDialogBaseUnits();

// ---------------------------------------------------------------------------
// user: controls
// ---------------------------------------------------------------------------

// Class names: "BUTTON", "EDIT", "STATIC", "LISTBOX".

#define BS_PUSHBUTTON 0x00000000u
#define BS_DEFPUSHBUTTON 0x00000001u
#define BS_CHECKBOX 0x00000002u
#define BS_AUTOCHECKBOX 0x00000003u
#define BS_RADIOBUTTON 0x00000004u
#define BS_GROUPBOX 0x00000007u
#define BS_AUTORADIOBUTTON 0x00000009u
#define BS_TYPEMASK 0x0000000Fu
#define BS_LEFTTEXT 0x00000020u

#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0x0000u
#define BST_CHECKED 0x0001u
#define BST_INDETERMINATE 0x0002u
#define BST_PUSHED 0x0004u
#define BST_FOCUS 0x0008u
#define BN_CLICKED 0

#define ES_LEFT 0x0000u
#define ES_CENTER 0x0001u
#define ES_RIGHT 0x0002u
#define ES_MULTILINE 0x0004u
#define ES_UPPERCASE 0x0008u
#define ES_LOWERCASE 0x0010u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_NOHIDESEL 0x0100u
#define ES_READONLY 0x0800u
#define ES_WANTRETURN 0x1000u
#define ES_NUMBER 0x2000u

#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define EM_SCROLLCARET 0x00B7
#define EM_GETMODIFY 0x00B8
#define EM_SETMODIFY 0x00B9
#define EM_GETLINECOUNT 0x00BA
#define EM_REPLACESEL 0x00C2
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_SETREADONLY 0x00CF
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_MAXTEXT 0x0501

#define SS_LEFT 0x00000000u
#define SS_CENTER 0x00000001u
#define SS_RIGHT 0x00000002u
#define SS_ICON 0x00000003u
#define SS_BLACKRECT 0x00000004u
#define SS_BITMAP 0x0000000Eu
#define SS_ETCHEDHORZ 0x00000010u
#define SS_ETCHEDVERT 0x00000011u
#define SS_ETCHEDFRAME 0x00000012u
#define SS_TYPEMASK 0x0000001Fu
#define SS_NOPREFIX 0x00000080u
#define SS_NOTIFY 0x00000100u
#define SS_CENTERIMAGE 0x00000200u
#define SS_SUNKEN 0x00001000u
#define STM_SETICON 0x0170
#define STM_GETICON 0x0171
#define STM_SETIMAGE 0x0172
#define STM_GETIMAGE 0x0173
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1

#define LBS_NOTIFY 0x0001u
#define LBS_SORT 0x0002u
#define LBS_NOINTEGRALHEIGHT 0x0100u
#define LBS_STANDARD 0x00A00003u
#define LB_ADDSTRING 0x0180
#define LB_INSERTSTRING 0x0181
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_SETSEL 0x0185
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_GETTOPINDEX 0x018E
#define LB_SETTOPINDEX 0x0197
#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2

// The drop-down list control, class "COMBOBOX" (CBS_DROPDOWNLIST only).
#define CBS_DROPDOWNLIST 0x0003u
#define CB_ERR (-1)
#define CB_OKAY 0
#define CB_ADDSTRING 0x0143
#define CB_DELETESTRING 0x0144
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_RESETCONTENT 0x014B
#define CB_SETCURSEL 0x014E
#define CB_SHOWDROPDOWN 0x014F
#define CB_GETDROPPEDSTATE 0x0157
#define CBN_SELCHANGE 1
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
#define CBN_SELENDOK 9
#define CBN_SELENDCANCEL 10

// ---------------------------------------------------------------------------
// user: menus and accelerators
// ---------------------------------------------------------------------------

#define MF_INSERT 0x0000u
#define MF_STRING 0x0000u
#define MF_ENABLED 0x0000u
#define MF_UNCHECKED 0x0000u
#define MF_BYCOMMAND 0x0000u
#define MF_GRAYED 0x0001u
#define MF_DISABLED 0x0002u
#define MF_CHECKED 0x0008u
#define MF_POPUP 0x0010u
#define MF_END 0x0080u
#define MF_BYPOSITION 0x0400u
#define MF_SEPARATOR 0x0800u

#define TPM_LEFTBUTTON 0x0000u
#define TPM_RIGHTBUTTON 0x0002u
#define TPM_LEFTALIGN 0x0000u
#define TPM_CENTERALIGN 0x0004u
#define TPM_RIGHTALIGN 0x0008u
#define TPM_TOPALIGN 0x0000u
#define TPM_VCENTERALIGN 0x0010u
#define TPM_BOTTOMALIGN 0x0020u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u

HMENU LoadMenuA(HINSTANCE instance, LPCSTR menuName);
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
int GetMenuStringA(HMENU menu, UINT item, LPSTR text, int size, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// Returns the previous check state, or (DWORD)-1 when there is no such item.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
// A modal loop; the chosen item's command is posted to owner as WM_COMMAND
// (or returned with TPM_RETURNCMD).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved,
                    HWND owner, const RECT* rect);
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

#define FVIRTKEY 0x01u
#define FNOINVERT 0x02u
#define FSHIFT 0x04u
#define FCONTROL 0x08u
#define FALT 0x10u

struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR tableName);
// Turns a matching WM_KEYDOWN / WM_SYSKEYDOWN into WM_COMMAND (high word 1)
// sent to window; returns nonzero when it did.
int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg);
BOOL DestroyAcceleratorTable(HACCEL table);

// ---------------------------------------------------------------------------
// user: keyboard and mouse
// ---------------------------------------------------------------------------

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F10 0x79

// lParam bit of a key message that says Alt was down.
#define KF_ALTDOWN 0x2000
SHORT GetKeyState(int virtualKey);
SHORT GetAsyncKeyState(int virtualKey);

#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

BOOL GetCursorPos(LPPOINT point);
BOOL SetCursorPos(int x, int y);
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL ScreenToClient(HWND window, LPPOINT point);
BOOL ClientToScreen(HWND window, LPPOINT point);

// ---------------------------------------------------------------------------
// Scroll bars: the standard bars in a window's frame (WS_VSCROLL,
// WS_HSCROLL), their range, page and position, and what they send.

#define SB_HORZ 0
#define SB_VERT 1
#define SB_CTL 2
#define SB_BOTH 3

#define SB_LINEUP 0
#define SB_LINELEFT 0
#define SB_LINEDOWN 1
#define SB_LINERIGHT 1
#define SB_PAGEUP 2
#define SB_PAGELEFT 2
#define SB_PAGEDOWN 3
#define SB_PAGERIGHT 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_LEFT 6
#define SB_BOTTOM 7
#define SB_RIGHT 7
#define SB_ENDSCROLL 8

#define SIF_RANGE 0x0001u
#define SIF_PAGE 0x0002u
#define SIF_POS 0x0004u
#define SIF_DISABLENOSCROLL 0x0008u
#define SIF_TRACKPOS 0x0010u
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)

typedef struct tagSCROLLINFO {
  UINT cbSize;
  UINT fMask;
  int nMin;
  int nMax;
  UINT nPage;
  int nPos;
  int nTrackPos;
} SCROLLINFO, *LPSCROLLINFO;
typedef const SCROLLINFO* LPCSCROLLINFO;

int SetScrollInfo(HWND window, int bar, LPCSCROLLINFO info, BOOL redraw);
BOOL GetScrollInfo(HWND window, int bar, LPSCROLLINFO info);
int SetScrollPos(HWND window, int bar, int position, BOOL redraw);
int GetScrollPos(HWND window, int bar);
BOOL SetScrollRange(HWND window, int bar, int minimum, int maximum,
                    BOOL redraw);
BOOL GetScrollRange(HWND window, int bar, LPINT minimum, LPINT maximum);
BOOL ShowScrollBar(HWND window, int bar, BOOL show);

// ---------------------------------------------------------------------------
// user: hooks
// ---------------------------------------------------------------------------

#define WH_KEYBOARD 2
#define WH_MOUSE 7
#define HC_ACTION 0
#define HC_NOREMOVE 3

struct MOUSEHOOKSTRUCT {
  POINT pt;
  HWND hwnd;
  UINT wHitTestCode;
  ULONG_PTR dwExtraInfo;
};

// With thread 0 the hook is global: it sees every keyboard and mouse event
// the driver sees desktop-wide, on the driver's input thread. For the
// keyboard, wParam is the virtual key and lParam the key-message lParam; for
// the mouse, wParam is the mouse message and lParam a MOUSEHOOKSTRUCT*.
HHOOK SetWindowsHookExA(int hookType, HOOKPROC procedure, HINSTANCE module,
                        DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// user: message boxes, resources, system metrics
// ---------------------------------------------------------------------------

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

// A modal loop; disables the owner while open; returns the button chosen.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL MessageBeep(UINT type);

#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_WARNING MAKEINTRESOURCEA(32515)
#define IDI_INFORMATION MAKEINTRESOURCEA(32516)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)

// instance nullptr with IDI_* / IDC_* gives the system's own.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name);
BOOL DestroyIcon(HICON icon);
HCURSOR SetCursor(HCURSOR cursor);

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CYMENU 15
#define SM_CXDOUBLECLK 36
#define SM_CYDOUBLECLK 37
#define SM_CXSMICON 49
#define SM_CYSMICON 50
int GetSystemMetrics(int index);

#define SPI_GETSCREENSAVETIMEOUT 0x000E
#define SPI_SETSCREENSAVETIMEOUT 0x000F
// SPI_GETSCREENSAVETIMEOUT: *(UINT*)param receives seconds.
BOOL SystemParametersInfoA(UINT action, UINT uiParam, LPVOID param,
                           UINT winIni);

// System colour indexes; a class background of index + 1 means that colour.
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_APPWORKSPACE 12
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
DWORD GetSysColor(int index);

// ---------------------------------------------------------------------------
// gdi
// ---------------------------------------------------------------------------

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
};

#define TRANSPARENT 1
#define OPAQUE 2
#define DT_LEFT 0x0000u
#define DT_CENTER 0x0001u
#define DT_RIGHT 0x0002u
#define DT_VCENTER 0x0004u
#define DT_BOTTOM 0x0008u
#define DT_WORDBREAK 0x0010u
#define DT_SINGLELINE 0x0020u
#define DT_EXPANDTABS 0x0040u
#define DT_NOCLIP 0x0100u
#define DT_CALCRECT 0x0400u
#define DT_NOPREFIX 0x0800u
#define BDR_RAISEDOUTER 0x0001u
#define BDR_SUNKENOUTER 0x0002u
#define BDR_RAISEDINNER 0x0004u
#define BDR_SUNKENINNER 0x0008u
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define BF_LEFT 0x0001u
#define BF_TOP 0x0002u
#define BF_RIGHT 0x0004u
#define BF_BOTTOM 0x0008u
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)

HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
int DrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL LineTo(HDC dc, int x, int y);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH GetSysColorBrush(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);

// ---------------------------------------------------------------------------
// shell: notification area
// ---------------------------------------------------------------------------

#define NIM_ADD 0x00000000u
#define NIM_MODIFY 0x00000001u
#define NIM_DELETE 0x00000002u
#define NIF_MESSAGE 0x00000001u
#define NIF_ICON 0x00000002u
#define NIF_TIP 0x00000004u

struct NOTIFYICONDATAA {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[64];
};
using PNOTIFYICONDATAA = NOTIFYICONDATAA*;
// The size of this record on the 32-bit systems it was designed for; the
// call accepts it as well as sizeof(NOTIFYICONDATAA).
#define NOTIFYICONDATAA_V1_SIZE 88u

// The callback message arrives at hWnd with uID in wParam and the mouse
// message in lParam. The tip is cut to 63 characters.
BOOL Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);

// ---------------------------------------------------------------------------
// comdlg: the open-file dialog
// ---------------------------------------------------------------------------

#define OFN_READONLY 0x00000001u
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_EXPLORER 0x00080000u
#define OFN_LONGNAMES 0x00200000u

using LPOFNHOOKPROC = UINT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPSTR lpstrFile;
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;
// The size of the record on the 32-bit systems it was designed for; the
// call accepts it as well as sizeof(OPENFILENAMEA).
#define OPENFILENAME_SIZE_VERSION_400A 76u

// Returns nonzero with the chosen full path in lpstrFile (and the name alone
// in lpstrFileTitle), or 0 when cancelled or failed (CommDlgExtendedError).
BOOL GetOpenFileNameA(LPOPENFILENAMEA request);
DWORD CommDlgExtendedError();
#define CDERR_STRUCTSIZE 0x0001u
#define FNERR_BUFFERTOOSMALL 0x3003u

// ---------------------------------------------------------------------------
// help
// ---------------------------------------------------------------------------

#define HELP_CONTEXT 0x0001u
#define HELP_QUIT 0x0002u
#define HELP_INDEX 0x0003u
#define HELP_CONTENTS 0x0003u
#define HELP_HELPONHELP 0x0004u
#define HELP_KEY 0x0101u

// Opens the help file (found beside the executable, then in the current
// folder) in the platform's help viewer.
BOOL WinHelpA(HWND owner, LPCSTR helpFile, UINT command, ULONG_PTR data);

// ---------------------------------------------------------------------------
// registry
// ---------------------------------------------------------------------------

#define HKEY_CLASSES_ROOT \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

#define REG_OPTION_NON_VOLATILE 0x00000000u
#define REG_OPTION_VOLATILE 0x00000001u
#define REG_CREATED_NEW_KEY 0x00000001u
#define REG_OPENED_EXISTING_KEY 0x00000002u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u

// Key and value names compare without regard to case; every write is one
// transaction. Results are the ERROR_* codes above.
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                     DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES attributes, PHKEY result,
                     LPDWORD disposition);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access,
                   PHKEY result);
// Never writes past *dataSize bytes of data: ERROR_MORE_DATA with the size
// needed in *dataSize. data nullptr asks for the size only.
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                    const BYTE* data, DWORD dataSize);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
// Deletes a key that has no subkeys, with its values.
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName,
                   LPDWORD valueNameSize, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize,
                   LPDWORD reserved, LPSTR keyClass, LPDWORD classSize,
                   void* lastWriteTime);
LONG RegCloseKey(HKEY key);
