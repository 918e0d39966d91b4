// Windows Sockets against real loopback sockets: start-up, the stream calls,
// time-outs, dead peers, accept's retries and the test seam.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <winsock.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/winsock/socket_seam.h"
#include "platform/winsock/winsock_test_util.h"
#include "vttest.h"

namespace vt::winsock_test {
namespace {

// --- start-up --------------------------------------------------------------

// Undoes every start-up still counted, whoever made it, so the test sees the
// state of a process that never called WSAStartup.
void CleanUpCompletely() {
  for (int i = 0; i < 10000 && WSACleanup() == 0; ++i) {
  }
}

TEST(WinsockStartup, CallsBeforeStartupFailAsNotInitialised) {
  CleanUpCompletely();
  EXPECT_WSA_FAILURE(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET,
                     WSANOTINITIALISED);
  EXPECT_WSA_FAILURE(getservbyname("finger", "tcp"), nullptr,
                     WSANOTINITIALISED);
  EXPECT_WSA_FAILURE(gethostbyname("localhost"), nullptr, WSANOTINITIALISED);
  // The length is an int as in the declaration; with a size_t the C
  // library's gethostname would be the better match.
  char name[256];
  EXPECT_SOCKET_ERROR(gethostname(name, static_cast<int>(sizeof name)),
                      WSANOTINITIALISED);
  EXPECT_SOCKET_ERROR(WSACleanup(), WSANOTINITIALISED);
  // The pure conversions need no start-up.
  EXPECT_EQ(inet_addr("127.0.0.1"), htonl(INADDR_LOOPBACK));

  WSADATA data;
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  EXPECT_TRUE(s.valid());
  s.reset();
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_WSA_FAILURE(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET,
                     WSANOTINITIALISED);
}

TEST(WinsockStartup, AcceptsVersionOnePointOneAndLater) {
  CleanUpCompletely();
  // requested, result, version granted
  const struct {
    WORD requested;
    int result;
    WORD granted;
  } kCases[] = {
      {0x0101, 0, 0x0101},
      {0x0202, 0, 0x0202},
      {0x0002, 0, 0x0002},
      {0x0003, 0, 0x0202},
      {0x0001, WSAVERNOTSUPPORTED, 0x0101},
      {0x0000, WSAVERNOTSUPPORTED, 0x0101},
  };
  int started = 0;
  for (const auto& c : kCases) {
    WSADATA data{};
    EXPECT_EQ(WSAStartup(c.requested, &data), c.result) << c.requested;
    EXPECT_EQ(data.wVersion, c.granted) << c.requested;
    EXPECT_EQ(data.wHighVersion, 0x0202);
    if (c.result == 0) ++started;
  }
  EXPECT_EQ(WSAStartup(0x0101, nullptr), WSAEFAULT);
  // Every successful start-up is counted and needs its own clean-up.
  for (int i = 0; i < started; ++i) EXPECT_EQ(WSACleanup(), 0);
  EXPECT_SOCKET_ERROR(WSACleanup(), WSANOTINITIALISED);
}

// --- streams ---------------------------------------------------------------

using WinsockStream = WinsockTest;

TEST_F(WinsockStream, LoopbackConversationWithAddressesAndShutdown) {
  Socket listener = Listener();
  ASSERT_TRUE(listener.valid());
  const USHORT port = LocalPort(listener.get());
  ASSERT_NE(port, 0);

  Socket client = Connect(port);
  ASSERT_TRUE(client.valid());
  sockaddr_in peer{};
  int peerLength = sizeof peer;
  Socket server(
      accept(listener.get(), reinterpret_cast<sockaddr*>(&peer), &peerLength));
  ASSERT_TRUE(server.valid());
  EXPECT_EQ(peerLength, 16);
  EXPECT_EQ(peer.sin_family, AF_INET);
  EXPECT_EQ(peer.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  EXPECT_EQ(ntohs(peer.sin_port), LocalPort(client.get()));

  sockaddr_in remote{};
  int remoteLength = sizeof remote;
  ASSERT_EQ(getpeername(client.get(), reinterpret_cast<sockaddr*>(&remote),
                        &remoteLength),
            0);
  EXPECT_EQ(ntohs(remote.sin_port), port);

  ASSERT_TRUE(SendAll(client, "/W alice\r\n"));
  EXPECT_EQ(ReceiveUpTo(server, 10), "/W alice\r\n");

  // MSG_PEEK leaves the data for the next receive.
  ASSERT_TRUE(SendAll(server, "pong"));
  char buffer[16];
  SetMilliseconds(client, SO_RCVTIMEO, 5000);
  EXPECT_EQ(recv(client.get(), buffer, 4, MSG_PEEK), 4);
  EXPECT_EQ(ReceiveUpTo(client, 4), "pong");

  // After SD_SEND the peer reads the end of the stream and our own sends are
  // refused as the target system refuses them.
  ASSERT_EQ(shutdown(client.get(), SD_SEND), 0);
  SetMilliseconds(server, SO_RCVTIMEO, 5000);
  EXPECT_EQ(recv(server.get(), buffer, sizeof buffer, 0), 0);
  EXPECT_SOCKET_ERROR(send(client.get(), "x", 1, 0), WSAESHUTDOWN);
  ASSERT_EQ(shutdown(server.get(), SD_RECEIVE), 0);
  EXPECT_SOCKET_ERROR(recv(server.get(), buffer, sizeof buffer, 0),
                      WSAESHUTDOWN);
}

TEST_F(WinsockStream, ArgumentErrorsAreReportedNotActedOn) {
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_TRUE(s.valid());
  sockaddr_in address = LoopbackAddress(0);
  EXPECT_SOCKET_ERROR(bind(s.get(), AsAddress(address), 8), WSAEFAULT);
  EXPECT_SOCKET_ERROR(bind(s.get(), nullptr, 16), WSAEFAULT);
  address.sin_family = 23;
  EXPECT_SOCKET_ERROR(bind(s.get(), AsAddress(address), sizeof address),
                      WSAEAFNOSUPPORT);
  // Linux would pick a port for an unbound socket; the target refuses.
  EXPECT_SOCKET_ERROR(listen(s.get(), 1), WSAEINVAL);
  EXPECT_SOCKET_ERROR(shutdown(s.get(), 7), WSAEINVAL);
  char buffer[4];
  EXPECT_SOCKET_ERROR(recv(s.get(), buffer, -1, 0), WSAEINVAL);
  EXPECT_SOCKET_ERROR(send(s.get(), nullptr, 4, 0), WSAEFAULT);
  EXPECT_SOCKET_ERROR(recv(s.get(), buffer, sizeof buffer, 0x100),
                      WSAEOPNOTSUPP);
  sockaddr_in name{};
  int shortLength = 15;
  EXPECT_SOCKET_ERROR(
      getsockname(s.get(), reinterpret_cast<sockaddr*>(&name), &shortLength),
      WSAEFAULT);

  EXPECT_WSA_FAILURE(socket(23, SOCK_STREAM, 0), INVALID_SOCKET,
                     WSAEAFNOSUPPORT);
  EXPECT_WSA_FAILURE(socket(AF_INET, 5, 0), INVALID_SOCKET, WSAESOCKTNOSUPPORT);
}

TEST_F(WinsockStream, OnlyItsOwnSocketsAreTouched) {
  // A descriptor that is some other part of the process's file must
  // survive a stray closesocket.
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  const SOCKET notASocket = static_cast<SOCKET>(fileno(file));
  EXPECT_SOCKET_ERROR(closesocket(notASocket), WSAENOTSOCK);
  EXPECT_SOCKET_ERROR(send(notASocket, "x", 1, 0), WSAENOTSOCK);
  EXPECT_GE(std::fputs("still open", file), 0);
  EXPECT_EQ(std::fflush(file), 0);
  std::fclose(file);

  EXPECT_SOCKET_ERROR(closesocket(INVALID_SOCKET), WSAENOTSOCK);
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(closesocket(s), 0);
  EXPECT_SOCKET_ERROR(closesocket(s), WSAENOTSOCK);
}

TEST_F(WinsockStream, ConnectToAPortNobodyListensOnIsRefused) {
  // Bound but not listening: the port is ours, and connecting is refused.
  Socket holder(socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in any = LoopbackAddress(0);
  ASSERT_EQ(bind(holder.get(), AsAddress(any), sizeof any), 0);
  Socket client(socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in target = LoopbackAddress(LocalPort(holder.get()));
  EXPECT_SOCKET_ERROR(connect(client.get(), AsAddress(target), sizeof target),
                      WSAECONNREFUSED);
}

TEST_F(WinsockStream, OptionsReadBackAsSet) {
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_TRUE(s.valid());
  // option, value set (an int, or DWORD milliseconds)
  const struct {
    int option;
    int value;
  } kCases[] = {
      {SO_RCVBUF, 65535}, {SO_SNDBUF, 8192},   {SO_REUSEADDR, 1},
      {SO_KEEPALIVE, 1},  {SO_RCVTIMEO, 1500}, {SO_SNDTIMEO, 250},
      {SO_RCVTIMEO, 0},
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(
        setsockopt(s.get(), SOL_SOCKET, c.option,
                   reinterpret_cast<const char*>(&c.value), sizeof c.value),
        0)
        << c.option;
    int value = -1;
    int length = sizeof value;
    ASSERT_EQ(getsockopt(s.get(), SOL_SOCKET, c.option,
                         reinterpret_cast<char*>(&value), &length),
              0)
        << c.option;
    EXPECT_EQ(value, c.value) << c.option;
    EXPECT_EQ(length, 4);
  }

  const linger abortive{1, 0};
  ASSERT_EQ(
      setsockopt(s.get(), SOL_SOCKET, SO_LINGER,
                 reinterpret_cast<const char*>(&abortive), sizeof abortive),
      0);
  linger read{};
  int length = sizeof read;
  ASSERT_EQ(getsockopt(s.get(), SOL_SOCKET, SO_LINGER,
                       reinterpret_cast<char*>(&read), &length),
            0);
  EXPECT_EQ(read.l_onoff, 1);
  EXPECT_EQ(read.l_linger, 0);

  const int one = 1;
  EXPECT_EQ(setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY,
                       reinterpret_cast<const char*>(&one), sizeof one),
            0);
  EXPECT_SOCKET_ERROR(
      setsockopt(s.get(), SOL_SOCKET, 0x7777,
                 reinterpret_cast<const char*>(&one), sizeof one),
      WSAENOPROTOOPT);
  EXPECT_SOCKET_ERROR(setsockopt(s.get(), SOL_SOCKET, SO_RCVBUF,
                                 reinterpret_cast<const char*>(&one), 2),
                      WSAEFAULT);
  EXPECT_SOCKET_ERROR(
      setsockopt(s.get(), SOL_SOCKET, SO_ERROR,
                 reinterpret_cast<const char*>(&one), sizeof one),
      WSAENOPROTOOPT);
  int small = 0;
  int smallLength = 2;
  EXPECT_SOCKET_ERROR(getsockopt(s.get(), SOL_SOCKET, SO_RCVBUF,
                                 reinterpret_cast<char*>(&small), &smallLength),
                      WSAEFAULT);
}

// --- time-outs and dead peers ----------------------------------------------

TEST_F(WinsockStream, TimedOutReceiveAndSendReportTimedOut) {
  Socket listener = Listener();
  Socket client = Connect(LocalPort(listener.get()));
  Socket server = Accept(listener);
  ASSERT_TRUE(server.valid());

  ASSERT_TRUE(SetMilliseconds(server, SO_RCVTIMEO, 50));
  char buffer[8];
  EXPECT_SOCKET_ERROR(recv(server.get(), buffer, sizeof buffer, 0),
                      WSAETIMEDOUT);

  // Nobody reads on the server side, so the client's buffers fill up and a
  // send eventually stops at the time-out: short, or failed outright.
  const int small = 4096;
  setsockopt(client.get(), SOL_SOCKET, SO_SNDBUF,
             reinterpret_cast<const char*>(&small), sizeof small);
  setsockopt(server.get(), SOL_SOCKET, SO_RCVBUF,
             reinterpret_cast<const char*>(&small), sizeof small);
  ASSERT_TRUE(SetMilliseconds(client, SO_SNDTIMEO, 50));
  const std::string chunk(64 * 1024, 'x');
  bool stopped = false;
  for (int i = 0; i < 1000 && !stopped; ++i) {
    const int sent =
        send(client.get(), chunk.data(), static_cast<int>(chunk.size()), 0);
    if (sent == SOCKET_ERROR) {
      EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
      stopped = true;
    } else if (sent < static_cast<int>(chunk.size())) {
      stopped = true;
    }
  }
  EXPECT_TRUE(stopped);
}

TEST_F(WinsockStream, SendingToAVanishedPeerFailsWithoutSigpipe) {
  // The default action of SIGPIPE ends the process, so surviving the sends
  // below is the check.
  const auto previous = std::signal(SIGPIPE, SIG_DFL);
  Socket listener = Listener();
  Socket client = Connect(LocalPort(listener.get()));
  Socket server = Accept(listener);
  ASSERT_TRUE(server.valid());
  const linger abortive{1, 0};
  setsockopt(server.get(), SOL_SOCKET, SO_LINGER,
             reinterpret_cast<const char*>(&abortive), sizeof abortive);
  server.reset();

  int error = 0;
  for (int i = 0; i < 200 && error == 0; ++i) {
    if (send(client.get(), "hello", 5, 0) == SOCKET_ERROR) {
      error = WSAGetLastError();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  EXPECT_EQ(error, WSAECONNRESET);
  std::signal(SIGPIPE, previous);
}

TEST_F(WinsockStream, AcceptSkipsAConnectionResetWhileItWaited) {
  Socket listener = Listener();
  const USHORT port = LocalPort(listener.get());
  {
    Socket dead = Connect(port);
    ASSERT_TRUE(dead.valid());
    const linger abortive{1, 0};
    setsockopt(dead.get(), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&abortive), sizeof abortive);
  }  // closed with a reset while still pending
  Socket good = Connect(port);
  ASSERT_TRUE(good.valid());
  ASSERT_TRUE(SendAll(good, "good"));

  // Linux may hand out the dead connection first; accept must neither fail
  // on it nor lose the good one behind it.
  std::string received;
  for (int attempt = 0; attempt < 2 && received != "good"; ++attempt) {
    Socket next = Accept(listener);
    ASSERT_TRUE(next.valid()) << WSAGetLastError();
    received = ReceiveUpTo(next, 4);
  }
  EXPECT_EQ(received, "good");
}

TEST_F(WinsockStream, AcceptRetriesTransientErrorsAndReportsOthers) {
  Socket listener = Listener();
  const USHORT port = LocalPort(listener.get());
  // errno the OS reports, whether accept goes on, the error otherwise
  const struct {
    int posixErrno;
    bool retried;
    int wsaError;
  } kCases[] = {
      {EINTR, true, 0},           {ECONNABORTED, true, 0},
      {EPROTO, true, 0},          {ENETDOWN, true, 0},
      {ENOPROTOOPT, true, 0},     {EHOSTDOWN, true, 0},
      {ENONET, true, 0},          {EHOSTUNREACH, true, 0},
      {EOPNOTSUPP, true, 0},      {ENETUNREACH, true, 0},
      {EMFILE, false, WSAEMFILE}, {ENOBUFS, false, WSAENOBUFS},
  };
  for (const auto& c : kCases) {
    Socket client = Connect(port);
    ASSERT_TRUE(client.valid());
    vt::platform::ArmOsFailure("accept", c.posixErrno, 1);
    Socket server = Accept(listener);
    if (c.retried) {
      EXPECT_TRUE(server.valid()) << c.posixErrno;
    } else {
      EXPECT_FALSE(server.valid()) << c.posixErrno;
      EXPECT_EQ(WSAGetLastError(), c.wsaError) << c.posixErrno;
      // The pending connection was not consumed by the failure.
      server = Accept(listener);
      EXPECT_TRUE(server.valid()) << c.posixErrno;
    }
  }
}

TEST_F(WinsockStream, AcceptRefusesSocketsThatCannotAccept) {
  Socket unbound(socket(AF_INET, SOCK_STREAM, 0));
  EXPECT_WSA_FAILURE(accept(unbound.get(), nullptr, nullptr), INVALID_SOCKET,
                     WSAEINVAL);
  Socket datagram(socket(AF_INET, SOCK_DGRAM, 0));
  ASSERT_TRUE(datagram.valid());
  EXPECT_WSA_FAILURE(accept(datagram.get(), nullptr, nullptr), INVALID_SOCKET,
                     WSAEOPNOTSUPP);
}

TEST_F(WinsockStream, ReceiveAndSendGoOnAfterInterruptions) {
  Socket listener = Listener();
  Socket client = Connect(LocalPort(listener.get()));
  Socket server = Accept(listener);
  ASSERT_TRUE(server.valid());

  vt::platform::ArmOsFailure("send", EINTR, 2);
  ASSERT_TRUE(SendAll(client, "abc"));
  vt::platform::ArmOsFailure("recv", EINTR, 2);
  EXPECT_EQ(ReceiveUpTo(server, 3), "abc");

  // Errors that are not interruptions reach the caller at once.
  vt::platform::ArmOsFailure("recv", ECONNRESET, 1);
  char buffer[4];
  EXPECT_SOCKET_ERROR(recv(server.get(), buffer, sizeof buffer, 0),
                      WSAECONNRESET);
}

// closesocket from another thread releases a call that blocks on the
// socket, as the target system does, and the call reports an interrupted
// call rather than an end of stream. Each case is checked once the waiting
// thread really sits in the system call, so the close cannot come first.
// Columns: name, the system call the thread blocks in, the blocking call.
struct BlockedCall {
  const char* name;
  long syscallNumber;
  std::function<int(SOCKET)> call;
};

TEST_F(WinsockStream, ClosingASocketReleasesAThreadBlockedOnIt) {
  const BlockedCall kCases[] = {
      {"accept", SYS_accept4,
       [](SOCKET s) {
         return accept(s, nullptr, nullptr) == INVALID_SOCKET ? SOCKET_ERROR
                                                              : 0;
       }},
      {"recv", SYS_recvfrom,
       [](SOCKET s) {
         char buffer[8];
         return recv(s, buffer, sizeof buffer, 0);
       }},
      {"connect", SYS_connect, [](SOCKET s) {
         // The listener's queue is full and it never accepts, so Linux drops
         // the handshake and connect waits for an answer that never comes.
         const sockaddr_in address =
             LoopbackAddress(static_cast<USHORT>(s >> 16));
         return connect(s & 0xffff, AsAddress(address), sizeof address);
       }}};
  Socket full = Listener(0);
  ASSERT_TRUE(full.valid());
  const USHORT fullPort = LocalPort(full.get());
  // A backlog of 0 still queues one connection on Linux; fill the queue.
  std::vector<Socket> queued;
  for (int i = 0; i < 2; ++i) {
    Socket waiting(socket(AF_INET, SOCK_STREAM, 0));
    SetMilliseconds(waiting, SO_SNDTIMEO, 300);
    const sockaddr_in address = LoopbackAddress(fullPort);
    connect(waiting.get(), AsAddress(address), sizeof address);
    queued.push_back(std::move(waiting));
  }
  for (const BlockedCall& c : kCases) {
    SCOPED_TRACE(c.name);
    Socket listener = Listener();
    ASSERT_TRUE(listener.valid());
    // Should the close not release the call, its own time-out still does,
    // after the check below has already failed.
    SetMilliseconds(listener, SO_RCVTIMEO, 12000);
    Socket client;
    Socket server;
    SOCKET target;
    SOCKET argument;
    if (std::string(c.name) == "accept") {
      target = listener.get();
      argument = target;
    } else if (std::string(c.name) == "recv") {
      client = Connect(LocalPort(listener.get()));
      server = Accept(listener);
      ASSERT_TRUE(server.valid());
      SetMilliseconds(server, SO_RCVTIMEO, 12000);
      target = server.get();
      argument = target;
    } else {
      client = Socket(socket(AF_INET, SOCK_STREAM, 0));
      SetMilliseconds(client, SO_SNDTIMEO, 12000);
      target = client.get();
      ASSERT_LT(target, 0xffffu);
      argument = target | (static_cast<SOCKET>(fullPort) << 16);
    }
    std::atomic<pid_t> tid{0};
    auto waiting = std::async(std::launch::async, [&] {
      tid = static_cast<pid_t>(::syscall(SYS_gettid));
      const int result = c.call(argument);
      return std::make_pair(result, WSAGetLastError());
    });
    for (int i = 0; i < 1000 && tid == 0; ++i) ::usleep(1000);
    ASSERT_TRUE(WaitUntilBlockedIn(tid, c.syscallNumber));
    Socket& owner = target == listener.get() ? listener
                    : target == server.get() ? server
                                             : client;
    // closesocket itself must not wait for the call's own time-out.
    auto closing = std::async(
        std::launch::async, [&owner] { return closesocket(owner.release()); });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(10)),
              std::future_status::ready);
    EXPECT_EQ(closing.get(), 0);
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)),
              std::future_status::ready);
    const auto [result, error] = waiting.get();
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(error, WSAEINTR);
  }
}

// A call between its look-up and its system call keeps the descriptor: a
// close from another thread waits for it, so the number cannot meanwhile
// go to another socket or file and the held call cannot reach that one.
TEST_F(WinsockStream, CloseWaitsForACallStillUsingTheSocket) {
  Socket listener = Listener();
  Socket client = Connect(LocalPort(listener.get()));
  Socket server = Accept(listener);
  ASSERT_TRUE(server.valid());
  const SOCKET held = server.get();

  std::promise<void> reached;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  vt::platform::SetOsCallGate([&reached, released](const char* function) {
    if (std::string_view(function) != "send") return;
    reached.set_value();
    released.wait();
  });
  auto sending = std::async(std::launch::async,
                            [held] { return send(held, "secret", 6, 0); });
  ASSERT_EQ(reached.get_future().wait_for(std::chrono::seconds(10)),
            std::future_status::ready);
  vt::platform::SetOsCallGate(nullptr);
  std::atomic<pid_t> closer{0};
  auto closing = std::async(std::launch::async, [&server, &closer] {
    closer = static_cast<pid_t>(::syscall(SYS_gettid));
    return closesocket(server.release());
  });
  // Wait until the close has either finished or settled down to wait for
  // the held send; only then is a new descriptor opened.
  bool settled = false;
  for (int i = 0; i < 5000 && !settled; ++i) {
    settled = closing.wait_for(std::chrono::milliseconds(2)) ==
                  std::future_status::ready ||
              (closer != 0 && WaitUntilBlockedIn(closer, SYS_futex, 0));
  }
  ASSERT_TRUE(settled);

  // A descriptor opened now must not take the number the held send is about
  // to use, or the send would reach it. Numbers are handed out lowest
  // first, so open until the held number or one beyond it comes out.
  std::vector<int> opened;
  bool reused = false;
  while (opened.size() < 256) {
    int pair[2];
    ASSERT_EQ(::pipe2(pair, O_NONBLOCK), 0);
    opened.push_back(pair[0]);
    opened.push_back(pair[1]);
    reused =
        pair[0] == static_cast<int>(held) || pair[1] == static_cast<int>(held);
    if (reused || pair[0] > static_cast<int>(held)) break;
  }
  release.set_value();
  ASSERT_EQ(sending.wait_for(std::chrono::seconds(10)),
            std::future_status::ready);
  ASSERT_EQ(closing.wait_for(std::chrono::seconds(10)),
            std::future_status::ready);
  EXPECT_EQ(closing.get(), 0);
  EXPECT_FALSE(reused) << "the number went to another descriptor";
  EXPECT_EQ(sending.get(), SOCKET_ERROR);
  for (int fd : opened) ::close(fd);
  // The socket is gone once the close has returned.
  EXPECT_SOCKET_ERROR(send(held, "x", 1, 0), WSAENOTSOCK);
}

// --- the seam --------------------------------------------------------------

TEST_F(WinsockStream, SeamFailsNamedCallsTheGivenNumberOfTimes) {
  Socket listener = Listener();
  const USHORT port = LocalPort(listener.get());

  vt::testing::FailSocketCall("socket", WSAEMFILE, 2);
  EXPECT_WSA_FAILURE(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET,
                     WSAEMFILE);
  EXPECT_WSA_FAILURE(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET,
                     WSAEMFILE);
  Socket client = Connect(port);
  ASSERT_TRUE(client.valid());

  vt::testing::FailSocketCall("accept", WSAECONNABORTED);
  EXPECT_WSA_FAILURE(accept(listener.get(), nullptr, nullptr), INVALID_SOCKET,
                     WSAECONNABORTED);
  Socket server = Accept(listener);
  ASSERT_TRUE(server.valid());

  vt::testing::FailSocketCall("send", WSAECONNRESET, -1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_SOCKET_ERROR(send(client.get(), "x", 1, 0), WSAECONNRESET);
  }
  vt::testing::ClearSocketFailures();
  EXPECT_EQ(send(client.get(), "x", 1, 0), 1);

  vt::testing::FailSocketCall("WSAStartup", WSASYSNOTREADY);
  WSADATA data;
  EXPECT_EQ(WSAStartup(0x0101, &data), WSASYSNOTREADY);
  vt::testing::FailSocketCall("getservbyname", WSANO_DATA);
  EXPECT_WSA_FAILURE(getservbyname("finger", "tcp"), nullptr, WSANO_DATA);
  EXPECT_NE(getservbyname("finger", "tcp"), nullptr);
  const ULONG loopback = htonl(INADDR_LOOPBACK);
  vt::testing::FailSocketCall("gethostbyaddr", WSATRY_AGAIN);
  EXPECT_WSA_FAILURE(
      gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET),
      nullptr, WSATRY_AGAIN);
}

TEST_F(WinsockStream, SeamIsSafeAcrossThreads) {
  // Two threads use up one armed count between them: exactly 200 calls fail.
  vt::testing::FailSocketCall("setsockopt", WSAENOBUFS, 200);
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  const SOCKET raw = s.get();
  auto work = [raw] {
    int failures = 0;
    const int one = 1;
    for (int i = 0; i < 150; ++i) {
      if (setsockopt(raw, SOL_SOCKET, SO_KEEPALIVE,
                     reinterpret_cast<const char*>(&one), sizeof one) != 0) {
        ++failures;
      }
    }
    return failures;
  };
  auto a = std::async(std::launch::async, work);
  auto b = std::async(std::launch::async, work);
  EXPECT_EQ(a.get() + b.get(), 200);
}

}  // namespace
}  // namespace vt::winsock_test
