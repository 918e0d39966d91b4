// The client side of the whole-process benchmarks: times finger exchanges
// with a server on 127.0.0.1 port 79, or waits until one listens.
//
//   finger_timer latency COUNT REQUEST   COUNT exchanges one after another;
//       prints "last_data_us eof_us bytes" for each: from the start of the
//       connect to the last byte of the reply, and to the server's close
//   finger_timer listen TIMEOUT_MS       tries to connect every 0.2 ms until
//       a server listens; exit 0 once one does, 1 at the time-out
//
// REQUEST is sent as given, with "\r\n" after it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Port79() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(79);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

long long Microseconds(Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

int Latency(int count, const std::string& request) {
  sockaddr_in address = Port79();
  for (int i = 0; i < count; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    Clock::time_point start = Clock::now();
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) !=
            0 ||
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size())) {
      std::perror("finger_timer");
      return 1;
    }
    Clock::time_point lastData = start;
    long bytes = 0;
    char buffer[8192];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
      lastData = Clock::now();
      bytes += n;
    }
    Clock::time_point end = Clock::now();
    close(fd);
    if (n < 0) {
      std::perror("finger_timer");
      return 1;
    }
    std::printf("%lld %lld %ld\n", Microseconds(lastData - start),
                Microseconds(end - start), bytes);
  }
  return 0;
}

int Listen(int timeoutMs) {
  sockaddr_in address = Port79();
  Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int result =
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    close(fd);
    if (result == 0) return 0;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "latency") == 0) {
    return Latency(std::atoi(argv[2]), std::string(argv[3]) + "\r\n");
  }
  if (argc == 3 && std::strcmp(argv[1], "listen") == 0) {
    return Listen(std::atoi(argv[2]));
  }
  std::fprintf(
      stderr,
      "usage: finger_timer latency COUNT REQUEST | listen TIMEOUT_MS\n");
  return 2;
}
