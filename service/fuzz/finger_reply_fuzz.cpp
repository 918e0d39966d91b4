// Fuzzes the finger reply over a real loopback connection. The first input
// byte sets the away flags (bits 0 and 1) and picks the login name (bit 2:
// a short one, or one of the full 31 characters); the rest is the request,
// sent at once and followed by the end of the peer's sending side.
//
// The reply is checked byte for byte against the model of reply_model.h,
// written apart from the service's code. The sanitizers catch any read or
// write past a buffer on the way.
#include <windows.h>
#include <winsock.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "service/finger_reply.h"
#include "service/fuzz/reply_model.h"
#include "service/presence_state.h"

namespace {

constexpr char kShortLogin[] = "Bob";
// As long as the login field holds, so a longer word that starts with it is
// the case where cutting before comparing would answer for the owner.
constexpr char kLongLogin[] = "Abcdefghijklmnopqrstuvwxyz01234";
static_assert(sizeof kLongLogin == 32);

SOCKET listening = INVALID_SOCKET;
sockaddr_in listeningAddress;

void Fail(const char* what, const std::string& expected,
          const std::string& reply) {
  std::fprintf(stderr, "%s\nexpected: [%s]\ngot:      [%s]\n", what,
               expected.c_str(), reply.c_str());
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
  std::strcpy(presence.realName, "Bob Smith");
  std::strcpy(presence.office, "Room 4");
  std::strcpy(presence.home, "Elm St");
  std::strcpy(presence.homePhone, "555-9876");
  std::snprintf(presence.planFile, sizeof presence.planFile, "%s",
                plan.c_str());
  presence.idleTicks = 1500;
}

void SetLogin(const char* login) {
  std::lock_guard<std::mutex> guard(presenceTextLock);
  std::snprintf(presence.loginName, sizeof presence.loginName, "%s", login);
}

std::string FullReply(const std::string& login) {
  return "Login:     " + login +
         "\nIdle:      1 hours and 15 minutes\n"
         "Real Name: Bob Smith\nOffice:    Room 4, Phone: ?~????\n"
         "Home:      Elm St, Phone: 555-9876\n\nPlan:\n"
         "first line\nsecond\rline\n" +
         std::string(100, 'z') + "\n\n";
}

std::string AwayReply(const std::string& login) {
  return login + " away and idle for 1 hours and 15 minutes\n\n";
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static bool initialised = (Initialise(), true);
  (void)initialised;
  if (size == 0) return 0;
  presence.autoAway = data[0] & 1;
  presence.awayLocked = (data[0] >> 1) & 1;
  const char* login = (data[0] & 4) != 0 ? kLongLogin : kShortLogin;
  SetLogin(login);
  std::string request(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string reply = Exchange(request.data(), request.size());
  vt::replymodel::Expected model = vt::replymodel::Expect(request, login);
  bool away = (data[0] & 3) != 0;
  std::string expected = !model.forUser ? model.hiddenReply
                         : away         ? AwayReply(login)
                                        : FullReply(login);
  if (reply != expected) Fail("the reply breaks the rules", expected, reply);
  return 0;
}
