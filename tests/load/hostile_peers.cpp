// Hostile peers against a finger daemon on 127.0.0.1 port 79: bursts of
// well-formed requests, silent connections, drip-feeders, long requests
// without a line end, peers that reset before and during the reply, random
// bytes, and requests of exactly 511, 512 and 513 bytes. Every reply that
// arrives whole must be the one the rules give (reply_model.h); the full
// reply is compared with the one the daemon gave an empty request first,
// its idle line aside, since the idle clock moves during the run.
//
//   hostile_peers LOGIN WELL_FORMED SILENT [SEED]
//
// Exit 0 when every check holds, 1 otherwise. A watchdog ends the run with
// status 2 if it takes longer than a bound that the counts give.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "service/fuzz/reply_model.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string login;
std::string fullReply;
std::atomic<int> failures{0};
std::atomic<int> checkedReplies{0};
std::mutex printLock;

void Report(const std::string& what, const std::string& request,
            const std::string& reply) {
  std::lock_guard<std::mutex> guard(printLock);
  std::printf("FAIL: %s\n  request (%zu bytes): [%s]\n  reply: [%s]\n",
              what.c_str(), request.size(), request.substr(0, 80).c_str(),
              reply.substr(0, 200).c_str());
  ++failures;
}

// Connects to port 79. A backlog of 1 drops SYNs while the daemon serves
// someone else, and the kernel's own retries back off for seconds; asking
// again every 300 ms keeps a burst moving. Gives up after deadline.
int Connect(Clock::time_point deadline) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(79);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  while (Clock::now() < deadline) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    int result =
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (result != 0 && errno == EINPROGRESS) {
      pollfd wait{fd, POLLOUT, 0};
      int error = 0;
      socklen_t length = sizeof error;
      if (poll(&wait, 1, 300) == 1 &&
          getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
          error == 0) {
        result = 0;
      }
    }
    if (result == 0) {
      int flags = 0;  // back to blocking, with time-outs below
      fcntl(fd, F_SETFL, flags);
      timeval timeout{60, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
      return fd;
    }
    close(fd);
    std::this_thread::sleep_for(20ms);
  }
  return -1;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n =
        send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Reads until the daemon closes; false on a time-out or a reset.
bool ReadReply(int fd, std::string* reply) {
  char buffer[4096];
  for (;;) {
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return true;
    if (n < 0) return false;
    reply->append(buffer, static_cast<size_t>(n));
  }
}

// Closes with a reset instead of an orderly end.
void Reset(int fd) {
  linger abort{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  close(fd);
}

std::string WithoutIdleLine(const std::string& reply) {
  size_t start = reply.find("\nIdle:      ");
  if (start == std::string::npos) return reply;
  size_t end = reply.find('\n', start + 1);
  return reply.substr(0, start) + reply.substr(end);
}

// seen: the bytes the daemon read as the request.
void Check(const std::string& seen, const std::string& reply) {
  ++checkedReplies;
  vt::replymodel::Expected model = vt::replymodel::Expect(seen, login);
  if (model.forUser) {
    if (WithoutIdleLine(reply) != WithoutIdleLine(fullReply)) {
      Report("expected the full reply", seen, reply);
    }
  } else if (reply != model.hiddenReply) {
    Report("expected " + model.hiddenReply, seen, reply);
  }
}

// One exchange: send the request (at once, then end the sending side when
// halfClose), read the whole reply, check it.
void Exchange(const std::string& request, bool halfClose,
              Clock::time_point deadline) {
  int fd = Connect(deadline);
  if (fd < 0) return Report("no connection", request, "");
  std::string reply;
  if (!SendAll(fd, request)) {
    close(fd);
    return Report("the request could not be sent", request, "");
  }
  if (halfClose) shutdown(fd, SHUT_WR);
  if (!ReadReply(fd, &reply)) Report("the reply did not end", request, reply);
  close(fd);
  Check(request, reply);
}

// count requests from threads started together, bursts of at most 50.
void Bursts(const std::vector<std::string>& requests) {
  for (size_t first = 0; first < requests.size(); first += 50) {
    std::vector<std::thread> burst;
    Clock::time_point deadline = Clock::now() + 120s;
    for (size_t i = first; i < requests.size() && i < first + 50; ++i) {
      burst.emplace_back(Exchange, requests[i], false, deadline);
    }
    for (std::thread& peer : burst) peer.join();
  }
}

void WellFormed(int count) {
  const std::string forms[] = {
      "\r\n",       login + "\r\n", "/W " + login + "\r\n",
      "nobody\r\n", "x@y@z\r\n",    "/w\r\n"};
  std::vector<std::string> requests;
  for (int i = 0; i < count; ++i) requests.push_back(forms[i % 6]);
  Bursts(requests);
}

// Connections that say nothing at all: each gets its answer once the
// daemon's request time is up (an empty request), and the daemon goes on.
void Silent(int count) {
  std::vector<std::thread> peers;
  Clock::time_point deadline = Clock::now() + 30s + count * 15s;
  for (int i = 0; i < count; ++i) {
    peers.emplace_back([deadline] {
      int fd = Connect(deadline);
      if (fd < 0) return Report("no connection", "(silent)", "");
      std::string reply;
      if (!ReadReply(fd, &reply)) Report("no end", "(silent)", reply);
      close(fd);
      Check("", reply);
    });
  }
  for (std::thread& peer : peers) peer.join();
}

// A request sent a byte every 100 ms, the line end last.
void DripFeed(int count) {
  for (int i = 0; i < count; ++i) {
    std::string request = (i % 2 == 0 ? login : "/W " + login) + "\r\n";
    int fd = Connect(Clock::now() + 30s);
    if (fd < 0) return Report("no connection", request, "");
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    for (char c : request) {
      SendAll(fd, std::string(1, c));
      std::this_thread::sleep_for(100ms);
    }
    std::string reply;
    if (!ReadReply(fd, &reply)) Report("no end", request, reply);
    close(fd);
    Check(request, reply);
  }
}

// 4 KB without a line end, the peer still open: the daemon takes what its
// request buffer holds and answers.
void LongWithoutLineEnd(int count) {
  for (int i = 0; i < count; ++i) {
    std::string request(4096, static_cast<char>('a' + i % 26));
    int fd = Connect(Clock::now() + 30s);
    if (fd < 0) return Report("no connection", request, "");
    std::string reply;
    SendAll(fd, request);
    if (!ReadReply(fd, &reply)) Report("no end", request, reply);
    close(fd);
    Check(request, reply);
  }
}

// Peers that reset before sending anything, after the request, and in the
// middle of the reply.
void Resets(int count) {
  for (int i = 0; i < count; ++i) {
    int fd = Connect(Clock::now() + 30s);
    if (fd < 0) return Report("no connection", "(reset)", "");
    switch (i % 3) {
      case 0:
        break;
      case 1:
        SendAll(fd, login + "\r\n");
        break;
      case 2: {
        SendAll(fd, login + "\r\n");
        char some[16];
        recv(fd, some, sizeof some, MSG_WAITALL);
        break;
      }
    }
    Reset(fd);
  }
}

// Random bytes (NULs and bytes above 0x7F among them), sent at once and
// followed by the end of the sending side.
void RandomBytes(int count, unsigned seed) {
  std::mt19937 random(seed);
  for (int i = 0; i < count; ++i) {
    std::string request(1 + random() % 700, '\0');
    for (char& c : request) c = static_cast<char>(random() & 0xFF);
    Exchange(request, true, Clock::now() + 30s);
  }
}

void ExactSizes() {
  for (size_t size : {511u, 512u, 513u}) {
    // A word for nobody, padded with x up to the line end.
    Exchange(std::string(size - 2, 'x') + "\r\n", false, Clock::now() + 30s);
    // The login, then blanks: the line end of 513 bytes lies beyond what the
    // daemon reads, and the connection is still open.
    std::string request = login + std::string(size - login.size() - 2, ' ');
    Exchange(request + "\r\n", false, Clock::now() + 30s);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: hostile_peers LOGIN WELL_FORMED SILENT [SEED]\n");
    return 1;
  }
  login = argv[1];
  int wellFormed = std::atoi(argv[2]);
  int silent = std::atoi(argv[3]);
  unsigned seed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 1u;
  // Served one at a time with a 250 ms pause each, silent ones after their
  // 10 s; the rest is room for a loaded machine.
  alarm(static_cast<unsigned>(120 + wellFormed / 2 + silent * 15));

  int fd = Connect(Clock::now() + 30s);
  if (fd < 0 || !SendAll(fd, "\r\n") || !ReadReply(fd, &fullReply) ||
      fullReply.find("Login:     " + login + "\n") != 0) {
    std::printf("FAIL: no full reply to an empty request: [%s]\n",
                fullReply.c_str());
    return 1;
  }
  close(fd);

  struct Step {
    const char* name;
    void (*run)(int, unsigned);
    int count;
  };
  const Step steps[] = {
      {"well-formed requests in bursts of 50",
       [](int n, unsigned) { WellFormed(n); }, wellFormed},
      {"silent connections", [](int n, unsigned) { Silent(n); }, silent},
      {"drip-feeders", [](int n, unsigned) { DripFeed(n); }, 2},
      {"4 KB requests without a line end",
       [](int n, unsigned) { LongWithoutLineEnd(n); }, 2},
      {"peers that reset", [](int n, unsigned) { Resets(n); }, 6},
      {"random bytes", [](int n, unsigned s) { RandomBytes(n, s); }, 20},
      {"requests of 511, 512 and 513 bytes",
       [](int, unsigned) { ExactSizes(); }, 6},
  };
  for (const Step& step : steps) {
    int before = failures;
    Clock::time_point start = Clock::now();
    step.run(step.count, seed);
    std::printf("%s: %d %s (%lld ms)\n", failures == before ? "ok  " : "FAIL",
                step.count, step.name,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        Clock::now() - start)
                        .count()));
  }
  std::printf("%d replies checked, %d failures\n", checkedReplies.load(),
              failures.load());
  return failures == 0 ? 0 : 1;
}
