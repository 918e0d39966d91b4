// The query window, the query thread and the response window.
//
// Start with QueryDialogProc: OK copies the entries into a
// FingerQueryRequest and hands it to a new thread running FingerQueryWorker,
// so the main thread never waits for a remote machine. The worker runs the
// query and, when a request went out, shows the answer in a response window
// on its own thread; that window converts the answer into a display buffer
// of its own and releases the answer when it closes. Each query therefore
// owns everything it uses, and any number of them can run side by side.
#include "client/query_windows.h"

#include <cstdlib>
#include <cstring>

#include "app/app_globals.h"
#include "client/finger_query.h"
#include "resources/resource.h"

char queryUser[256];
char queryHost[256];

namespace {

// Copies at most size - 1 bytes and terminates; the target is zero-filled.
void CopyEntry(char* target, const char* source, std::size_t size) {
  std::memcpy(target, source, strnlen(source, size - 1));
}

// --- the query window --------------------------------------------------------

void OnQueryInit(HWND dialog) {
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  SetActiveWindow(dialog);
  SetFocus(dialog);
  SetDlgItemTextA(dialog, IDC_QUERY_USER, queryUser);
  SetDlgItemTextA(dialog, IDC_QUERY_HOST, queryHost);
}

// Nothing is checked here: an empty user asks for everybody, and an empty
// or unknown host is reported by the query itself.
void OnQueryOk(HWND dialog) {
  GetDlgItemTextA(dialog, IDC_QUERY_USER, queryUser, sizeof queryUser);
  GetDlgItemTextA(dialog, IDC_QUERY_HOST, queryHost, sizeof queryHost);
  HANDLE thread = StartFingerQuery(queryUser, queryHost);
  if (thread != nullptr) CloseHandle(thread);
  EndDialog(dialog, IDOK);
}

INT_PTR OnQueryCommand(HWND dialog, WORD id) {
  switch (id) {
    case IDOK:
      OnQueryOk(dialog);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

// --- the response window -----------------------------------------------------

char** AnswerSlotOf(HWND dialog) {
  return reinterpret_cast<char**>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void OnResponseInit(HWND dialog, char** answerSlot) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(answerSlot));
  // Each window converts into a buffer of its own, so two windows opening
  // at the same moment never mix their texts; the edit keeps its own copy.
  char* display = static_cast<char*>(std::malloc(kDisplayBufferSize));
  if (display != nullptr) {
    const char* answer =
        answerSlot != nullptr && *answerSlot != nullptr ? *answerSlot : "";
    ConvertAnswerForDisplay(answer, display, kDisplayBufferSize);
  }
  SetForegroundWindow(dialog);
  SetDlgItemTextA(dialog, IDC_RESPONSE_TEXT, display != nullptr ? display : "");
  std::free(display);
  // The edit selects all of its text when it gets the focus; the posted
  // message arrives after that and leaves nothing selected.
  PostMessageA(GetDlgItem(dialog, IDC_RESPONSE_TEXT), EM_SETSEL,
               static_cast<WPARAM>(-1), 0);
}

// OK, Cancel and closing all end up here, whichever comes first; the slot
// is cleared so that the answer is released exactly once.
void CloseResponseWindow(HWND dialog) {
  char** answerSlot = AnswerSlotOf(dialog);
  if (answerSlot != nullptr) {
    ReleaseFingerAnswer(*answerSlot);
    *answerSlot = nullptr;
  }
  EndDialog(dialog, IDOK);
}

INT_PTR OnResponseCommand(HWND dialog, WORD id) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      CloseResponseWindow(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowQueryWindow() {
  DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_QUERY), mainWindow,
                  QueryDialogProc, 0);
}

INT_PTR CALLBACK QueryDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      OnQueryInit(dialog);
      return TRUE;
    case WM_COMMAND:
      return OnQueryCommand(dialog, LOWORD(wParam));
    default:
      return FALSE;
  }
}

HANDLE StartFingerQuery(const char* user, const char* host) {
  FingerQueryRequest* request =
      static_cast<FingerQueryRequest*>(std::calloc(1, sizeof *request));
  if (request == nullptr) return nullptr;
  CopyEntry(request->user, user, sizeof request->user);
  CopyEntry(request->host, host, sizeof request->host);
  HANDLE thread =
      CreateThread(nullptr, 0, FingerQueryWorker, request, 0, nullptr);
  if (thread == nullptr) std::free(request);
  return thread;
}

DWORD WINAPI FingerQueryWorker(LPVOID parameter) {
  FingerQueryRequest* request = static_cast<FingerQueryRequest*>(parameter);
  char* answer = nullptr;
  int sent = RunFingerQuery(request->user, request->host, &answer);
  std::free(request);
  if (sent) {
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_RESPONSE), mainWindow,
                    ResponseDialogProc, reinterpret_cast<LPARAM>(&answer));
  }
  // The window released the answer when it closed; this covers a window
  // that could not be created at all.
  ReleaseFingerAnswer(answer);
  return 0;
}

INT_PTR CALLBACK ResponseDialogProc(HWND dialog, UINT msg, WPARAM wParam,
                                    LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      OnResponseInit(dialog, reinterpret_cast<char**>(lParam));
      return TRUE;
    case WM_COMMAND:
      return OnResponseCommand(dialog, LOWORD(wParam));
    case WM_CLOSE:
      CloseResponseWindow(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

int ConvertAnswerForDisplay(const char* answer, char* display,
                            int displaySize) {
  if (displaySize <= 0) return 0;
  const int limit = displaySize - 1;
  int used = 0;
  for (const char* p = answer; *p != '\0'; ++p) {
    if (p[0] == '\r' && p[1] == '\n') continue;
    if (*p == '\n') {
      if (used + 2 > limit) break;
      display[used++] = '\r';
      display[used++] = '\n';
    } else {
      if (used + 1 > limit) break;
      display[used++] = *p;
    }
  }
  display[used] = '\0';
  return used;
}
