// What the winsock tests share: a fixture that starts Windows Sockets, a
// loopback listener on a free port, and one-line checks of a failed call.
#pragma once

#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>
#include <winsock.h>

#include <string>

namespace vt::winsock_test {

// A call's result must be the failure value and WSAGetLastError the error.
#define EXPECT_WSA_FAILURE(call, failureValue, wsaError) \
  do {                                                   \
    const auto vtResult = (call);                        \
    EXPECT_EQ(vtResult, failureValue) << #call;          \
    EXPECT_EQ(WSAGetLastError(), (wsaError)) << #call;   \
  } while (false)

#define EXPECT_SOCKET_ERROR(call, wsaError) \
  EXPECT_WSA_FAILURE(call, SOCKET_ERROR, wsaError)

class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  }
  void TearDown() override { WSACleanup(); }
};

inline sockaddr_in LoopbackAddress(USHORT port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

inline const sockaddr* AsAddress(const sockaddr_in& address) {
  return reinterpret_cast<const sockaddr*>(&address);
}

inline USHORT LocalPort(SOCKET s) {
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return 0;
  }
  return ntohs(address.sin_port);
}

// Closes the socket when it goes out of scope, so a failed assertion leaks
// nothing.
class Socket {
 public:
  Socket() = default;
  explicit Socket(SOCKET s) : s_(s) {}
  Socket(Socket&& other) noexcept : s_(other.release()) {}
  Socket& operator=(Socket&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Socket() { reset(); }
  SOCKET get() const { return s_; }
  SOCKET release() {
    const SOCKET s = s_;
    s_ = INVALID_SOCKET;
    return s;
  }
  void reset(SOCKET s = INVALID_SOCKET) {
    if (s_ != INVALID_SOCKET) closesocket(s_);
    s_ = s;
  }
  bool valid() const { return s_ != INVALID_SOCKET; }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

// A stream socket listening on 127.0.0.1 at a port the system chose.
inline Socket Listener(int backlog = 5) {
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  if (!s.valid()) return s;
  const sockaddr_in address = LoopbackAddress(0);
  if (bind(s.get(), AsAddress(address), sizeof address) != 0 ||
      listen(s.get(), backlog) != 0) {
    s.reset();
  }
  return s;
}

inline Socket Connect(USHORT port) {
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in address = LoopbackAddress(port);
  if (s.valid() && connect(s.get(), AsAddress(address), sizeof address) != 0) {
    s.reset();
  }
  return s;
}

inline Socket Accept(const Socket& listener) {
  return Socket(accept(listener.get(), nullptr, nullptr));
}

inline bool SendAll(const Socket& s, const std::string& text) {
  return send(s.get(), text.data(), static_cast<int>(text.size()), 0) ==
         static_cast<int>(text.size());
}

inline bool SetMilliseconds(const Socket& s, int option, DWORD milliseconds) {
  return setsockopt(s.get(), SOL_SOCKET, option,
                    reinterpret_cast<const char*>(&milliseconds),
                    sizeof milliseconds) == 0;
}

// Reads until count bytes arrived or the peer stopped sending; a receive
// time-out keeps it from waiting for ever.
inline std::string ReceiveUpTo(const Socket& s, std::size_t count) {
  SetMilliseconds(s, SO_RCVTIMEO, 5000);
  std::string text;
  char buffer[512];
  while (text.size() < count) {
    const int got = recv(s.get(), buffer, sizeof buffer, 0);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

// Waits until thread tid sits in the named system call, as the kernel
// reports it in /proc, rather than sleeping and hoping it got there. False
// after timeoutMs without it.
inline bool WaitUntilBlockedIn(pid_t tid, long syscallNumber,
                               int timeoutMs = 10000) {
  const std::string path =
      "/proc/self/task/" + std::to_string(tid) + "/syscall";
  for (int waited = 0;; waited += 2) {
    std::ifstream in(path);
    long current = -1;
    if (in >> current && current == syscallNumber) return true;
    if (waited >= timeoutMs) return false;
    ::usleep(2000);
  }
}

}  // namespace vt::winsock_test
