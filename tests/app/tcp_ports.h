// Free and held TCP ports for the tests that give the program a finger port
// of their own, through plain POSIX sockets so that they need no winsock
// start-up of the program under test. Header-only, because the whole-program
// unit tests use it as well as the process-level tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace vt::proctest {

// A TCP port that was free a moment ago on every local address.
inline int FreeTcpPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = 0;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

// Holds a port: a socket bound to it on all addresses and listening, or -1
// when the port is taken.
inline int HoldTcpPort(int port) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  // A connection of an earlier test may still linger on the port; that does
  // not stop a listener, so it must not stop this one. A listening socket
  // still does.
  int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, 1) != 0) {
    close(s);
    return -1;
  }
  return s;
}

inline void CloseSocket(int socket) {
  if (socket >= 0) close(socket);
}

}  // namespace vt::proctest
