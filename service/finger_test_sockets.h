// Socket helpers shared by the finger service's tests: loopback
// connections through the platform's winsock, every wait bounded by a
// socket time-out so that a fault shows as a failure, never a hang.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <winsock.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "service/finger_reply.h"

namespace finger_test {

// How long a test client waits for any one receive or send.
inline constexpr DWORD kClientWaitMs = 10000;

inline void StartWinsock() {
  WSADATA data;
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
}

inline void SetClientTimeouts(SOCKET s, DWORD milliseconds = kClientWaitMs) {
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO,
             reinterpret_cast<const char*>(&milliseconds), sizeof milliseconds);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO,
             reinterpret_cast<const char*>(&milliseconds), sizeof milliseconds);
}

inline sockaddr_in LoopbackAddress(USHORT port, ULONG host = INADDR_LOOPBACK) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(host);
  return address;
}

inline USHORT LocalPort(SOCKET s) {
  sockaddr_in address = {};
  int length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

// A port that nothing listens on at the moment.
inline USHORT FreePort() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = LoopbackAddress(0);
  bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  USHORT port = LocalPort(s);
  closesocket(s);
  return port;
}

// A connected client, or INVALID_SOCKET. receiveBuffer, when not 0, is set
// before connecting, so it bounds the window the peer may fill.
inline SOCKET ConnectTo(USHORT port, int receiveBuffer = 0,
                        ULONG fromHost = 0) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return s;
  if (receiveBuffer != 0) {
    setsockopt(s, SOL_SOCKET, SO_RCVBUF,
               reinterpret_cast<const char*>(&receiveBuffer),
               sizeof receiveBuffer);
  }
  if (fromHost != 0) {
    sockaddr_in from = LoopbackAddress(0, fromHost);
    bind(s, reinterpret_cast<const sockaddr*>(&from), sizeof from);
  }
  SetClientTimeouts(s);
  sockaddr_in address = LoopbackAddress(port);
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
      SOCKET_ERROR) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

inline bool SendAll(SOCKET s, std::string_view bytes) {
  while (!bytes.empty()) {
    int sent = send(s, bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

// Everything until the peer's orderly end. A reset or a time-out is added
// to the text as a marker, so a comparison with the expected reply shows it.
inline std::string ReadAll(SOCKET s) {
  std::string all;
  char buffer[4096];
  for (;;) {
    int received = recv(s, buffer, sizeof buffer, 0);
    if (received == 0) return all;
    if (received < 0) {
      return all + "<receive error " + std::to_string(WSAGetLastError()) + ">";
    }
    all.append(buffer, static_cast<size_t>(received));
  }
}

// One whole finger exchange as a well-behaved client makes it: connect
// (retrying while the port is not open yet), send, read to the end.
inline std::string Finger(USHORT port, std::string_view request) {
  SOCKET s = INVALID_SOCKET;
  for (int attempt = 0; attempt < 100 && s == INVALID_SOCKET; ++attempt) {
    s = ConnectTo(port);
    if (s == INVALID_SOCKET) Sleep(50);
  }
  if (s == INVALID_SOCKET) return "<no connection>";
  SendAll(s, request);
  std::string reply = ReadAll(s);
  closesocket(s);
  return reply;
}

// Two ends of one loopback connection.
struct LoopbackPair {
  SOCKET server = INVALID_SOCKET;
  SOCKET client = INVALID_SOCKET;
};

inline LoopbackPair MakeLoopbackPair() {
  LoopbackPair pair;
  SOCKET listening = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = LoopbackAddress(0);
  bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  listen(listening, 1);
  pair.client = ConnectTo(LocalPort(listening));
  pair.server = accept(listening, nullptr, nullptr);
  closesocket(listening);
  return pair;
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline int OpenDescriptorCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// How the client behaves after its request.
enum class Peer {
  // It ends its sending side, as a client that has nothing more to say:
  // the service reads until that end.
  HalfClosed,
  // It keeps the connection open and waits: the service must stop at the
  // line end. The request's time bound is set far beyond the client's own
  // wait, so a service that read on would show as a time-out marker in the
  // reply instead of being rescued by its bound.
  Open,
};

// The service answers one request on a thread of its own and closes; the
// client sends its bytes (in the given pieces, one send each), behaves as
// peer says, and reads to the end.
inline std::string AnswerOverLoopback(const std::vector<std::string>& pieces,
                                      Peer peer) {
  LoopbackPair pair = MakeLoopbackPair();
  EXPECT_NE(pair.server, INVALID_SOCKET);
  if (peer == Peer::Open) SetFingerTimeLimits(60000, 120000);
  struct Context {
    SOCKET server;
  } context{pair.server};
  HANDLE answering = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        SOCKET server = static_cast<Context*>(parameter)->server;
        const DWORD acceptedAt = GetTickCount();
        AnswerFingerRequest(server, acceptedAt);
        CloseFingerConnection(server, acceptedAt);
        return 0;
      },
      &context, 0, nullptr);
  EXPECT_NE(answering, nullptr);
  for (const std::string& piece : pieces) {
    EXPECT_TRUE(SendAll(pair.client, piece));
  }
  if (peer == Peer::HalfClosed) shutdown(pair.client, SD_SEND);
  std::string reply = ReadAll(pair.client);
  closesocket(pair.client);
  EXPECT_EQ(WaitForSingleObject(answering, kClientWaitMs), WAIT_OBJECT_0);
  CloseHandle(answering);
  SetFingerTimeLimits(10000, 30000);
  return reply;
}

inline std::string AnswerOverLoopback(const std::string& request,
                                      Peer peer = Peer::HalfClosed) {
  return AnswerOverLoopback(std::vector<std::string>{request}, peer);
}

}  // namespace finger_test
