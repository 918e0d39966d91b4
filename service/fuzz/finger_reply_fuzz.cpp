// Fuzzes the finger reply over a real loopback connection. The first input
// byte sets the away flags; the rest is the request. Whatever the request,
// the reply must be the full reply, the away reply, or a word of 1 to 31
// bytes without blanks, taken from the request, followed by the hidden
// tail. The sanitizers catch any read or write past a buffer on the way.
#include <windows.h>
#include <winsock.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "service/finger_reply.h"
#include "service/presence_state.h"

namespace {

constexpr char kHiddenTail[] = " hidden or not logged-in.\n";

SOCKET listening = INVALID_SOCKET;
sockaddr_in listeningAddress;
std::string fullReply;
std::string awayReply;

void Fail(const char* what, const std::string& reply) {
  std::fprintf(stderr, "%s: [%s]\n", what, reply.c_str());
  std::abort();
}

char planFolder[] = "/tmp/vt-fuzz-XXXXXX";
char planPath[64];

void RemovePlan() {
  std::remove(planPath);
  std::remove(planFolder);
}

std::string WritePlan() {
  if (mkdtemp(planFolder) == nullptr) std::abort();
  std::snprintf(planPath, sizeof planPath, "%s/plan.txt", planFolder);
  std::atexit(RemovePlan);
  std::string path = planPath;
  FILE* file = std::fopen(path.c_str(), "wb");
  std::fputs("first line\r\nsecond\rline\r\n", file);
  std::fputs(std::string(100, 'z').c_str(), file);
  std::fputs("\n\x1a hidden after the end\n", file);
  std::fclose(file);
  return path;
}

void Initialise() {
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) std::abort();
  listening = socket(AF_INET, SOCK_STREAM, 0);
  listeningAddress = {};
  listeningAddress.sin_family = AF_INET;
  listeningAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listening, reinterpret_cast<const sockaddr*>(&listeningAddress),
           sizeof listeningAddress) != 0 ||
      listen(listening, 4) != 0) {
    std::abort();
  }
  int length = sizeof listeningAddress;
  getsockname(listening, reinterpret_cast<sockaddr*>(&listeningAddress),
              &length);

  std::string plan = WritePlan();
  std::lock_guard<std::mutex> guard(presenceTextLock);
  std::strcpy(presence.loginName, "Bob");
  std::strcpy(presence.realName, "Bob Smith");
  std::strcpy(presence.office, "Room 4");
  std::strcpy(presence.home, "Elm St");
  std::strcpy(presence.homePhone, "555-9876");
  std::snprintf(presence.planFile, sizeof presence.planFile, "%s",
                plan.c_str());
  presence.idleTicks = 1500;
  fullReply =
      "Login:     Bob\nIdle:      1 hours and 15 minutes\n"
      "Real Name: Bob Smith\nOffice:    Room 4, Phone: ?~????\n"
      "Home:      Elm St, Phone: 555-9876\n\nPlan:\n"
      "first line\nsecond\rline\n" +
      std::string(100, 'z') + "\n\n";
  awayReply = "Bob away and idle for 1 hours and 15 minutes\n\n";
}

std::string Exchange(const char* request, size_t size) {
  SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
  if (connect(client, reinterpret_cast<const sockaddr*>(&listeningAddress),
              sizeof listeningAddress) != 0) {
    std::abort();
  }
  SOCKET server = accept(listening, nullptr, nullptr);
  if (server == INVALID_SOCKET) std::abort();
  if (size > 0 && send(client, request, static_cast<int>(size), 0) !=
                      static_cast<int>(size)) {
    std::abort();
  }
  shutdown(client, SD_SEND);
  DWORD acceptedAt = GetTickCount();
  AnswerFingerRequest(server, acceptedAt);
  CloseFingerConnection(server, acceptedAt);
  std::string reply;
  char buffer[4096];
  int received;
  while ((received = recv(client, buffer, sizeof buffer, 0)) > 0) {
    reply.append(buffer, static_cast<size_t>(received));
  }
  closesocket(client);
  return reply;
}

bool IsBlank(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

void CheckHidden(const std::string& reply, const std::string& request) {
  size_t tail = sizeof kHiddenTail - 1;
  if (reply.size() <= tail ||
      reply.compare(reply.size() - tail, tail, kHiddenTail) != 0) {
    Fail("not a reply", reply);
  }
  std::string word = reply.substr(0, reply.size() - tail);
  if (word.size() > 31) Fail("word too long", reply);
  for (unsigned char c : word) {
    if (c == '\0' || IsBlank(c)) Fail("word holds a blank", reply);
  }
  if (request.find(word) == std::string::npos) Fail("word not asked", reply);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static bool initialised = (Initialise(), true);
  (void)initialised;
  if (size == 0) return 0;
  presence.autoAway = data[0] & 1;
  presence.awayLocked = (data[0] >> 1) & 1;
  const char* request = reinterpret_cast<const char*>(data + 1);
  std::string reply = Exchange(request, size - 1);
  bool away = (data[0] & 3) != 0;
  if (reply == (away ? awayReply : fullReply)) return 0;
  CheckHidden(reply, std::string(request, size - 1));
  return 0;
}
