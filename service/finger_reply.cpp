// The finger reply. Start at AnswerFingerRequest: it collects the request
// line under the connection's time bounds, picks the word that names whom
// the request asks for, and sends one of three replies built from a single
// snapshot of the presence record. Every element of a reply goes out as its
// own send; once a send fails or the connection's time is up, the rest of
// the reply is dropped rather than sent to a peer that cannot take it.
//
// The reply path is kept lean: the connection's time bound is handed to the
// socket once, not before every send, and every element but the last is
// sent with MSG_MORE, so the kernel packs the pieces into few segments
// while the bytes on the wire stay exactly the same.
#include "service/finger_reply.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "service/presence_state.h"

namespace {

constexpr int kRequestSize = 512;
constexpr int kWordSize = 32;
constexpr int kPieceSize = 78;
// Bounds of the orderly close: what a peer may still send after its reply
// is read and thrown away, but not for ever and not without limit.
constexpr DWORD kDrainLimitMs = 2000;
constexpr int kDrainLimitBytes = 64 * 1024;
// How far the socket's own time-out may run past the connection's bound
// before it is set again. A peer that reads promptly never makes a send
// wait, so the time-out is set once per connection; a slow peer costs one
// more setsockopt per this much waiting, and the connection ends at most
// this much after its bound.
constexpr DWORD kTimeoutSlackMs = 500;

std::atomic<DWORD> requestLimitMs{10000};
std::atomic<DWORD> connectionLimitMs{30000};

// The reply texts.
constexpr char kLineEnd[] = "\n";
constexpr char kLoginLabel[] = "Login:     ";
constexpr char kIdleLabel[] = "Idle:      ";
constexpr char kRealNameLabel[] = "Real Name: ";
constexpr char kOfficeLabel[] = "Office:    ";
constexpr char kHomeLabel[] = "Home:      ";
constexpr char kPhoneLabel[] = ", Phone: ";
constexpr char kMissingPhone[] = "?~????";
constexpr char kPlanHeading[] = "\nPlan:\n";
constexpr char kNoPlan[] = "  -- no plan --";
constexpr char kHoursWord[] = " hours and ";
constexpr char kMinutesWord[] = " minutes";
constexpr char kUnknownLogin[] = "unknown";
constexpr char kAwayWord[] = " away";
constexpr char kIdlePhrase[] = " and idle for ";
constexpr char kHiddenTail[] = " hidden or not logged-in.\n";

// One connection being answered.
struct FingerConnection {
  SOCKET socket;
  DWORD acceptedAt;
  // What the socket's send and receive time-outs were last set to, 0 while
  // they are not set yet.
  DWORD sendTimeoutMs;
  DWORD receiveTimeoutMs;
  // Set once a send has failed or the time is up: nothing more is sent.
  bool stopped;
};

// Whether the element is the last of the reply: the last goes out at once,
// the others may wait in the kernel to share a segment with what follows.
enum class Element { More, Last };

// Milliseconds left of a limit that started at since; 0 when it has run out.
DWORD TimeLeft(DWORD since, DWORD limit) {
  DWORD spent = GetTickCount() - since;
  return spent >= limit ? 0 : limit - spent;
}

DWORD Smaller(DWORD a, DWORD b) { return a < b ? a : b; }

// A socket time-out of 0 would mean "wait for ever", so callers pass at
// least 1.
void SetSocketTimeout(SOCKET socket, int option, DWORD milliseconds) {
  setsockopt(socket, SOL_SOCKET, option,
             reinterpret_cast<const char*>(&milliseconds), sizeof milliseconds);
}

// Sets the socket's time-out to left only when the one it holds (*current)
// could let a call wait more than the slack past the bound: a single call
// then never outlasts the connection's time by more than that.
void KeepTimeoutWithin(SOCKET socket, int option, DWORD* current, DWORD left) {
  if (*current != 0 && *current <= left + kTimeoutSlackMs) return;
  SetSocketTimeout(socket, option, left);
  *current = left;
}

// Collects bytes until the line end arrives, the buffer is full, the peer
// closes or fails, or the request's time is up. A peer whose bytes are
// already waiting when the time runs out still has them read once, so a slow
// name lookup by the listener does not cost a prompt peer its request.
void ReceiveRequest(FingerConnection* connection, char* request) {
  int length = 0;
  bool tried = false;
  while (length < kRequestSize) {
    DWORD left = Smaller(TimeLeft(connection->acceptedAt, requestLimitMs),
                         TimeLeft(connection->acceptedAt, connectionLimitMs));
    if (left == 0) {
      if (tried) break;
      left = 1;
    }
    KeepTimeoutWithin(connection->socket, SO_RCVTIMEO,
                      &connection->receiveTimeoutMs, left);
    int received =
        recv(connection->socket, request + length, kRequestSize - length, 0);
    tried = true;
    if (received <= 0) break;
    bool lineEnd = std::memchr(request + length, '\n', received) != nullptr;
    length += received;
    if (lineEnd) break;
  }
}

bool IsBlank(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

// The first word of the request, cut to what the word buffer holds; empty
// when the request holds none. The request ends at its first zero byte.
// Returns true when the word was longer than the buffer and had to be cut.
bool ScanFirstWord(const char* request, char* word) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(request);
  while (*p != '\0' && IsBlank(*p)) ++p;
  int length = 0;
  while (length < kWordSize - 1 && p[length] != '\0' && !IsBlank(p[length])) {
    word[length] = static_cast<char>(p[length]);
    ++length;
  }
  word[length] = '\0';
  return p[length] != '\0' && !IsBlank(p[length]);
}

char FoldAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only A to Z are folded: other bytes of a name are compared as they are,
// whatever code page the peer used.
bool NamesUser(const char* word, const char* loginName) {
  for (int i = 0;; ++i) {
    char a = FoldAsciiLetter(word[i]);
    char b = FoldAsciiLetter(loginName[i]);
    if (a != b) return false;
    if (a == '\0') return true;
  }
}

void SendBytes(FingerConnection* connection, const char* text, int length,
               Element element) {
  if (connection->stopped) return;
  DWORD left = TimeLeft(connection->acceptedAt, connectionLimitMs);
  if (left == 0) {
    connection->stopped = true;
    return;
  }
  KeepTimeoutWithin(connection->socket, SO_SNDTIMEO, &connection->sendTimeoutMs,
                    left);
  int sent = send(connection->socket, text, length,
                  element == Element::More ? MSG_MORE : 0);
  // A short send means the time-out cut it: the reply is broken already.
  if (sent == SOCKET_ERROR || sent < length) connection->stopped = true;
}

void SendText(FingerConnection* connection, const char* text,
              Element element = Element::More) {
  SendBytes(connection, text, static_cast<int>(std::strlen(text)), element);
}

void SendNumber(FingerConnection* connection, std::int32_t value) {
  char number[16];
  std::snprintf(number, sizeof number, "%ld", static_cast<long>(value));
  SendText(connection, number);
}

// Sends a text file piece by piece as text mode reads it; false when it
// does not open. A zero byte ends the piece that holds it.
bool StreamTextFile(FingerConnection* connection, const char* path) {
  if (path[0] == '\0') return false;
  TEXTFILE* file = OpenTextFileA(path);
  if (file == nullptr) return false;
  char piece[kPieceSize];
  while (!connection->stopped && ReadTextLineA(piece, kPieceSize, file)) {
    SendText(connection, piece);
  }
  CloseTextFile(file);
  return true;
}

void SendIdleTime(FingerConnection* connection, std::int32_t idleTicks) {
  SendNumber(connection, IdleHours(idleTicks));
  SendText(connection, kHoursWord);
  SendNumber(connection, IdleMinutesOfHour(idleTicks));
  SendText(connection, kMinutesWord);
}

void SendHiddenReply(FingerConnection* connection, const char* word) {
  SendText(connection, word);
  SendText(connection, kHiddenTail, Element::Last);
}

void SendAwayReply(FingerConnection* connection,
                   const PresenceSnapshot* snapshot) {
  SendText(connection, snapshot->loginName);
  SendText(connection, kAwayWord);
  SendText(connection, kIdlePhrase);
  SendIdleTime(connection, snapshot->idleTicks);
  SendText(connection, kLineEnd);
  StreamTextFile(connection, snapshot->awayFile);
  SendText(connection, kLineEnd, Element::Last);
}

void SendPlaceLine(FingerConnection* connection, const char* label,
                   const char* place, const char* phone) {
  if (place[0] == '\0') return;
  SendText(connection, label);
  SendText(connection, place);
  SendText(connection, kPhoneLabel);
  SendText(connection, phone[0] != '\0' ? phone : kMissingPhone);
  SendText(connection, kLineEnd);
}

void SendFullReply(FingerConnection* connection,
                   const PresenceSnapshot* snapshot) {
  SendText(connection, kLoginLabel);
  SendText(connection, snapshot->loginName[0] != '\0' ? snapshot->loginName
                                                      : kUnknownLogin);
  SendText(connection, kLineEnd);
  SendText(connection, kIdleLabel);
  SendIdleTime(connection, snapshot->idleTicks);
  SendText(connection, kLineEnd);
  SendText(connection, kRealNameLabel);
  SendText(connection, snapshot->realName);
  SendText(connection, kLineEnd);
  SendPlaceLine(connection, kOfficeLabel, snapshot->office,
                snapshot->officePhone);
  SendPlaceLine(connection, kHomeLabel, snapshot->home, snapshot->homePhone);
  SendText(connection, kPlanHeading);
  if (!StreamTextFile(connection, snapshot->planFile)) {
    SendText(connection, kNoPlan);
  }
  SendText(connection, kLineEnd, Element::Last);
}

}  // namespace

void AnswerFingerRequest(SOCKET socket, DWORD acceptedAt) {
  FingerConnection connection = {socket, acceptedAt, 0, 0, false};
  // One byte more than a request can fill, so a full request stays
  // terminated.
  char request[kRequestSize + 1] = {};
  // Every connection starts with an empty word: a request without one is an
  // empty query, never a repeat of an earlier peer's word.
  char word[kWordSize] = {};

  ReceiveRequest(&connection, request);
  bool wordCut = ScanFirstWord(request, word);
  // The verbose switch is taken off the front of the request and ignored.
  if (word[0] == '/' && (word[1] == 'W' || word[1] == 'w')) {
    request[0] = ' ';
    request[1] = ' ';
    wordCut = ScanFirstWord(request, word);
  }

  PresenceSnapshot snapshot;
  TakePresenceSnapshot(&snapshot);
  // A word cut to fit the buffer is someone else's name even when its first
  // 31 characters spell the login: it is answered as hidden, as cut.
  bool askedForUser = word[0] == '\0' ||
                      (!wordCut && NamesUser(word, snapshot.loginName)) ||
                      request[0] == '\r';
  if (!askedForUser) {
    SendHiddenReply(&connection, word);
  } else if (IsAway(snapshot.autoAway, snapshot.awayLocked)) {
    SendAwayReply(&connection, &snapshot);
  } else {
    SendFullReply(&connection, &snapshot);
  }
}

void CloseFingerConnection(SOCKET connection, DWORD acceptedAt) {
  shutdown(connection, SD_SEND);
  DWORD limit = Smaller(TimeLeft(acceptedAt, connectionLimitMs), kDrainLimitMs);
  DWORD drainStart = GetTickCount();
  DWORD receiveTimeoutMs = 0;
  char discarded[512];
  int total = 0;
  while (total < kDrainLimitBytes) {
    DWORD left = TimeLeft(drainStart, limit);
    if (left == 0) break;
    KeepTimeoutWithin(connection, SO_RCVTIMEO, &receiveTimeoutMs, left);
    int received = recv(connection, discarded, sizeof discarded, 0);
    if (received <= 0) break;
    total += received;
  }
  closesocket(connection);
}

void SetFingerTimeLimits(DWORD requestMs, DWORD connectionMs) {
  requestLimitMs = requestMs;
  connectionLimitMs = connectionMs;
}
