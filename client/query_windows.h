// The finger client's windows: the query window (dialog 107), modal on the
// main thread, which starts one query thread per query; and the response
// window (dialog 108), which each query thread shows modally with its answer.
#pragma once

#include <windows.h>

// Size of the converted text the response window shows, terminator included.
inline constexpr int kDisplayBufferSize = 32768;

// The entries of the last query, kept so that the query window shows them
// again. Only the main thread touches them.
extern char queryUser[256];
extern char queryHost[256];

// What a query thread is given: its own copies of the entries, taken when
// the query starts. The thread releases it with free.
struct FingerQueryRequest {
  char user[256];
  char host[256];
};

// Opens the query window, owned by the hidden main window. Called by the
// configuration window's Finger command.
void ShowQueryWindow();
INT_PTR CALLBACK QueryDialogProc(HWND dialog, UINT msg, WPARAM wParam,
                                 LPARAM lParam);

// Starts a query thread for copies of user and host. Returns the thread's
// handle for the caller to close (nullptr when it could not start; nothing
// is then left behind).
HANDLE StartFingerQuery(const char* user, const char* host);
// The query thread: runs the query, then shows the response window when a
// request was sent. parameter is a FingerQueryRequest from malloc.
DWORD WINAPI FingerQueryWorker(LPVOID parameter);

// The response window's procedure. lParam of WM_INITDIALOG is the address of
// the query thread's answer pointer (char**); the window releases the answer
// when it closes and sets the pointer to nullptr.
INT_PTR CALLBACK ResponseDialogProc(HWND dialog, UINT msg, WPARAM wParam,
                                    LPARAM lParam);

// Turns an answer into the edit control's text: every LF becomes CR LF, a CR
// just before an LF is dropped, and text after the last LF is kept. The
// result is cut at displaySize - 1 characters, never between CR and LF, and
// always terminated. Returns its length.
int ConvertAnswerForDisplay(const char* answer, char* display, int displaySize);
