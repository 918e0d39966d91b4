// The finger query. Start with RunFingerQuery: it takes the query's own
// copies of user and host and its two heap buffers, and releases them in one
// place whatever happens in between; ExchangeWithHost resolves the host and
// owns the socket; TalkToServer does the conversation; ReadAnswer reads until
// the server closes, the buffer is full or the bound runs out.
//
// The socket waits are bounded through the send and receive time-outs:
// Linux ends a blocking connect when the send time-out passes, and every
// receive is given what remains of the reading bound, so a server that
// accepts and then says nothing costs the query thread at most the bound.
#include "client/finger_query.h"

#include <winsock.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "app/app_globals.h"

namespace {

constexpr USHORT kFingerPort = 79;
constexpr int kTextSize = 256;
// The pause after connecting, after sending and before closing: slow
// servers of old expect a moment between the steps.
constexpr DWORD kStepPauseMs = 250;
constexpr int kReceiveBufferSize = kFingerAnswerSize;
constexpr int kSendBufferSize = kFingerRequestSize;

constexpr const char* kUnknownHost = "Unknown remote host";
constexpr const char* kNoSocket = "Sorry, could not send finger request";
constexpr const char* kNotSent = "Sorry, couldn't send finger request";

std::atomic<USHORT> queryPort{kFingerPort};
std::atomic<DWORD> queryBoundMs{kFingerQueryBoundMs};

void ShowQueryError(const char* text) {
  MessageBoxA(configWindow, text, "Velto Error",
              MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

// Copies at most size - 1 bytes and always terminates, so a caller's text
// that is too long or unterminated never runs past our buffer.
void CopyText(char* target, const char* source, int size) {
  int length = 0;
  while (length < size - 1 && source[length] != '\0') {
    target[length] = source[length];
    ++length;
  }
  target[length] = '\0';
}

// A host that begins with a digit is a dotted address and nothing else;
// any other text goes to the resolver as it is, the empty text included.
int ResolveHost(const char* host, ULONG* address) {
  if (host[0] >= '0' && host[0] <= '9') {
    *address = inet_addr(host);
    return *address != INADDR_NONE;
  }
  hostent* entry = gethostbyname(host);
  if (entry == nullptr || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr ||
      entry->h_length != static_cast<SHORT>(sizeof(ULONG))) {
    return 0;
  }
  std::memcpy(address, entry->h_addr_list[0], sizeof(ULONG));
  return 1;
}

int SetSocketOption(SOCKET s, int option, DWORD value) {
  return setsockopt(s, SOL_SOCKET, option,
                    reinterpret_cast<const char*>(&value),
                    sizeof value) != SOCKET_ERROR;
}

int ConnectToServer(SOCKET s, ULONG address) {
  sockaddr_in remote;
  std::memset(&remote, 0, sizeof remote);
  remote.sin_family = AF_INET;
  remote.sin_port = htons(queryPort.load());
  remote.sin_addr.s_addr = address;
  return connect(s, reinterpret_cast<const sockaddr*>(&remote),
                 sizeof remote) != SOCKET_ERROR;
}

// "/W user" CR LF asks for the long form; a query for everybody is an empty
// line, which older servers want followed by one more.
int BuildRequest(const char* user, char* request) {
  std::memset(request, 0, kFingerRequestSize);
  if (user[0] == '\0') {
    std::strcpy(request, "\r\n");
  } else {
    std::strcpy(request, "/W ");
    std::strcat(request, user);
  }
  std::strcat(request, "\r\n");
  return static_cast<int>(std::strlen(request));
}

// Reads until the server closes the connection or the buffer is full, all
// within the bound. Returns 0 on a receive failure or when the bound ran
// out; what arrived until then stays in the buffer, terminated.
int ReadAnswer(SOCKET s, char* answer) {
  const DWORD bound = queryBoundMs.load();
  const DWORD start = GetTickCount();
  const int capacity = kFingerAnswerSize - 1;
  int used = 0;
  int result = 1;
  while (used < capacity) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= bound || !SetSocketOption(s, SO_RCVTIMEO, bound - elapsed)) {
      result = 0;
      break;
    }
    int received = recv(s, answer + used, capacity - used, 0);
    if (received == 0) break;
    if (received < 0) {
      result = 0;
      break;
    }
    used += received;
  }
  answer[used] = '\0';
  return result;
}

int TalkToServer(SOCKET s, ULONG address, const char* user, char* request,
                 char* answer) {
  if (!SetSocketOption(s, SO_RCVBUF, kReceiveBufferSize)) {
    ShowQueryError(kNotSent);
    return 0;
  }
  // Sizing the send buffer fails only on a socket that is already unusable;
  // the query then ends without a message of its own.
  if (!SetSocketOption(s, SO_SNDBUF, kSendBufferSize)) return 0;
  if (!SetSocketOption(s, SO_SNDTIMEO, queryBoundMs.load()) ||
      !ConnectToServer(s, address)) {
    ShowQueryError(kNotSent);
    return 0;
  }
  Sleep(kStepPauseMs);
  int length = BuildRequest(user, request);
  if (send(s, request, length, 0) != length) {
    ShowQueryError(kNotSent);
    return 0;
  }
  Sleep(kStepPauseMs);
  // A receive that fails still leaves a sent request: the response window
  // shows what arrived before it, so the message comes first.
  if (!ReadAnswer(s, answer)) ShowQueryError(kNotSent);
  Sleep(kStepPauseMs);
  return 1;
}

int ExchangeWithHost(const char* user, const char* host, char* request,
                     char* answer) {
  ULONG address = 0;
  if (!ResolveHost(host, &address)) {
    ShowQueryError(kUnknownHost);
    return 0;
  }
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    ShowQueryError(kNoSocket);
    return 0;
  }
  int result = TalkToServer(s, address, user, request, answer);
  closesocket(s);
  return result;
}

}  // namespace

int RunFingerQuery(const char* user, const char* host, char** answer) {
  *answer = nullptr;
  char ownUser[kTextSize];
  char ownHost[kTextSize];
  CopyText(ownUser, user, kTextSize);
  CopyText(ownHost, host, kTextSize);
  char* request = static_cast<char*>(std::calloc(1, kFingerRequestSize));
  char* response = static_cast<char*>(std::calloc(1, kFingerAnswerSize));
  int result = 0;
  if (request == nullptr || response == nullptr) {
    ShowQueryError(kNoSocket);
  } else {
    result = ExchangeWithHost(ownUser, ownHost, request, response);
  }
  std::free(request);
  if (result) {
    *answer = response;
  } else {
    std::free(response);
  }
  return result;
}

void ReleaseFingerAnswer(char* answer) { std::free(answer); }

void SetFingerQueryPort(USHORT port) { queryPort.store(port); }

void SetFingerQueryBound(DWORD milliseconds) {
  queryBoundMs.store(milliseconds);
}
