// The finger listener. RunFingerListener brings up Windows Sockets and a
// listening socket on the finger port, then loops: accept, log the peer in
// the "Incoming Fingers" list when its address has a name, answer, pause,
// close. A failure that stops the service is told to the person in a message
// box and ends the program through WM_QUIT carrying the error's number.
//
// The time bounds that keep one peer from holding the service live in
// finger_reply.cpp; they count from the moment of accept taken here.
#include "service/finger_listener.h"

#include <winsock.h>

#include <atomic>
#include <cstdio>
#include <ctime>

#include "app/app_globals.h"
#include "resources/resource.h"
#include "service/finger_reply.h"

namespace {

constexpr int kBacklog = 1;
std::atomic<DWORD> pauseBeforeCloseMs{250};
// The most lines the connection log keeps: what the list box of the target
// system can hold. A peer that connects every few seconds for weeks would
// otherwise grow it, and the process, without end.
constexpr int kConnectionLogLimit = 32767;
std::atomic<int> connectionLogLimit{kConnectionLogLimit};

// The six errors that stop the service, by number.
constexpr const char* kErrorTexts[] = {
    "",
    "Cannot find WinSock v1.1 Support",
    "Finger Service is in use or not available",
    "Cannot get a socket",
    "Cannot bind server to socket",
    "Cannot listen on port",
    "Cannot accept socket connection",
};
constexpr const char* kErrorCaptions[] = {
    "",
    "Velto Error 01",
    "Velto Error 02",
    "Velto Error 03",
    "Velto Error 04",
    "Velto Error 05",
    "Velto Error 06",
};
enum ListenerError {
  kNoWinsock = 1,
  kNoService = 2,
  kNoSocket = 3,
  kCannotBind = 4,
  kCannotListen = 5,
  kCannotAccept = 6,
};

HWND connectionLog = nullptr;
// Lines in the connection log, kept here so that the bound costs no extra
// message per connection (only this thread changes the log); -1 until the
// first entry asks the list box once.
LRESULT connectionLogLines = -1;
SOCKET listenSocket = INVALID_SOCKET;
SOCKET connectionSocket = INVALID_SOCKET;
sockaddr_in peerAddress;
int peerAddressLength = 0;
char peerText[32];
char logEntry[256];

void ReportListenerError(int error) {
  MessageBoxA(configWindow, kErrorTexts[error], kErrorCaptions[error],
              MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  if (error >= kCannotBind) {
    closesocket(listenSocket);
    listenSocket = INVALID_SOCKET;
  }
  PostMessageA(configWindow, WM_QUIT, static_cast<WPARAM>(error), 0);
}

// Returns 0 when the listening socket is ready, else the error's number.
int StartListening() {
  listenSocket = INVALID_SOCKET;
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return kNoWinsock;
  servent* service = getservbyname("finger", "tcp");
  if (service == nullptr) return kNoService;
  USHORT port = ntohs(static_cast<USHORT>(service->s_port));
  listenSocket = socket(AF_INET, SOCK_STREAM, 0);
  if (listenSocket == INVALID_SOCKET) return kNoSocket;
  // Here a port whose earlier connections are only waiting out their time
  // would refuse the bind for a minute after a restart; a port that another
  // program listens on still refuses it.
  BOOL reuse = TRUE;
  setsockopt(listenSocket, SOL_SOCKET, SO_REUSEADDR,
             reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(listenSocket, reinterpret_cast<const sockaddr*>(&address),
           sizeof address) == SOCKET_ERROR) {
    return kCannotBind;
  }
  if (listen(listenSocket, kBacklog) == SOCKET_ERROR) return kCannotListen;
  return 0;
}

void FormatPeerAddress() {
  const unsigned char* bytes =
      reinterpret_cast<const unsigned char*>(&peerAddress.sin_addr.s_addr);
  std::snprintf(peerText, sizeof peerText, "%d.%d.%d.%d", bytes[0], bytes[1],
                bytes[2], bytes[3]);
}

// A peer whose address has no name is served but not logged. snprintf cuts
// an entry with a very long name to what the buffer holds.
void LogConnection() {
  hostent* host = gethostbyaddr(
      reinterpret_cast<const char*>(&peerAddress.sin_addr), 4, AF_INET);
  if (host == nullptr || host->h_name == nullptr) return;
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  std::snprintf(logEntry, sizeof logEntry, "%s (%s): %.2d:%.2d,%d/%d",
                host->h_name, peerText, local.tm_hour, local.tm_min,
                local.tm_mon + 1, local.tm_mday);
  if (connectionLogLines < 0) {
    connectionLogLines = SendMessageA(connectionLog, LB_GETCOUNT, 0, 0);
    if (connectionLogLines < 0) connectionLogLines = 0;
  }
  if (SendMessageA(connectionLog, LB_INSERTSTRING, 0,
                   reinterpret_cast<LPARAM>(logEntry)) < 0) {
    return;
  }
  // The newest line went in at the top; the oldest goes from the bottom.
  ++connectionLogLines;
  while (connectionLogLines > connectionLogLimit) {
    --connectionLogLines;
    SendMessageA(connectionLog, LB_DELETESTRING,
                 static_cast<WPARAM>(connectionLogLines), 0);
  }
}

// Returns only when accept fails.
void ServeConnections() {
  for (;;) {
    peerAddressLength = sizeof peerAddress;
    connectionSocket =
        accept(listenSocket, reinterpret_cast<sockaddr*>(&peerAddress),
               &peerAddressLength);
    if (connectionSocket == INVALID_SOCKET) return;
    DWORD acceptedAt = GetTickCount();
    FormatPeerAddress();
    LogConnection();
    AnswerFingerRequest(connectionSocket, acceptedAt);
    Sleep(pauseBeforeCloseMs);
    CloseFingerConnection(connectionSocket, acceptedAt);
    connectionSocket = INVALID_SOCKET;
  }
}

}  // namespace

void RunFingerListener() {
  connectionLog = GetDlgItem(configWindow, IDC_CONNECTION_LOG);
  connectionLogLines = -1;
  int error = StartListening();
  if (error == 0) {
    ServeConnections();
    error = kCannotAccept;
  }
  ReportListenerError(error);
}

DWORD WINAPI FingerListenerThread(LPVOID) {
  RunFingerListener();
  return 0;
}

void SetFingerListenerPause(DWORD milliseconds) {
  pauseBeforeCloseMs = milliseconds;
}

void SetConnectionLogLimit(int lines) {
  connectionLogLimit = lines > 0 ? lines : kConnectionLogLimit;
}
