// The loopback finger servers of loopback_servers.h, on POSIX sockets.
// Every blocking step is a poll in short slices that also watches the stop
// flag, so the destructor can always end the thread.
#include "client/loopback_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <utility>

namespace loopback {

namespace {

constexpr int kSliceMs = 50;
// How long the server waits for the client to send its request and, after
// the answer, to close its side.
constexpr int kClientWaitMs = 10000;

int ListenOn(const std::string& address, unsigned short port, int backlog,
             unsigned short* boundPort) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
  socklen_t length = sizeof local;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      (backlog >= 0 && ::listen(fd, backlog) != 0) ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    ::close(fd);
    return -1;
  }
  *boundPort = ntohs(local.sin_port);
  return fd;
}

// Waits up to milliseconds for events on fd; true when they came.
bool PollFor(int fd, short events, int milliseconds) {
  pollfd entry{fd, events, 0};
  return ::poll(&entry, 1, milliseconds) > 0;
}

}  // namespace

FingerServer::FingerServer(const std::string& address, unsigned short port,
                           std::vector<Piece> answer, Ending ending)
    : answer_(std::move(answer)), ending_(ending) {
  listener_ = ListenOn(address, port, 4, &port_);
  if (listener_ >= 0) thread_ = std::thread([this] { Serve(); });
}

FingerServer::~FingerServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

bool FingerServer::Stopping() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stop_;
}

// Sleeps, but wakes for the destructor; false when stopping.
bool FingerServer::PauseFor(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                    [this] { return stop_; });
  return !stop_;
}

void FingerServer::Serve() {
  int connection = -1;
  while (connection < 0 && !Stopping()) {
    if (PollFor(listener_, POLLIN, kSliceMs)) {
      connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    }
  }
  std::string received;
  if (connection >= 0) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      connected_ = true;
    }
    changed_.notify_all();
    char buffer[4096];
    auto readSome = [&](int waitMs) {
      if (!PollFor(connection, POLLIN, waitMs)) return 0;
      ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
      if (got > 0) received.append(buffer, static_cast<std::size_t>(got));
      return got > 0 ? 1 : -1;  // -1: closed or failed
    };
    // The request line first, as a finger server reads it.
    for (int waited = 0; waited < kClientWaitMs && !Stopping() &&
                         received.find("\r\n") == std::string::npos;
         waited += kSliceMs) {
      if (readSome(kSliceMs) < 0) break;
    }
    bool peerGone = false;
    for (const Piece& piece : answer_) {
      if (!PauseFor(piece.pauseBeforeMs)) break;
      std::size_t sent = 0;
      while (sent < piece.bytes.size() && !Stopping() && !peerGone) {
        if (!PollFor(connection, POLLOUT, kSliceMs)) continue;
        ssize_t n = ::send(connection, piece.bytes.data() + sent,
                           piece.bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
          peerGone = true;
        } else {
          sent += static_cast<std::size_t>(n);
        }
      }
    }
    if (ending_ == Ending::Hold) {
      // Silent until released, but a client that gives up ends it too.
      while (!peerGone) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (stop_ || released_) break;
        }
        if (readSome(kSliceMs) < 0) peerGone = true;
      }
    }
    // Our side is done; the client's close then ends what it sent.
    ::shutdown(connection, SHUT_WR);
    for (int waited = 0; !peerGone && waited < kClientWaitMs && !Stopping();
         waited += kSliceMs) {
      if (readSome(kSliceMs) < 0) break;
    }
    ::close(connection);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    request_ = connection >= 0 ? received : "<no connection>";
    done_ = true;
  }
  changed_.notify_all();
}

std::string FingerServer::WaitForRequest(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                    [this] { return done_; });
  return done_ ? request_ : std::string("<no connection>");
}

bool FingerServer::Connected() {
  std::lock_guard<std::mutex> lock(mutex_);
  return connected_;
}

void FingerServer::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

RefusingPort::RefusingPort() { socket_ = ListenOn("127.0.0.1", 0, -1, &port_); }

RefusingPort::~RefusingPort() {
  if (socket_ >= 0) ::close(socket_);
}

FullListener::FullListener() {
  listener_ = ListenOn("127.0.0.1", 0, 0, &port_);
  if (listener_ < 0) return;
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(port_);
  remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // Connect until one no longer completes: the queue is then full, and
  // stays so because nothing accepts.
  for (int i = 0; i < 8 && !ok_; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    fillers_.push_back(fd);
    int result =
        ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    if (result == 0) continue;
    if (errno != EINPROGRESS) return;
    if (!PollFor(fd, POLLOUT, 300)) ok_ = true;
  }
}

FullListener::~FullListener() {
  for (int fd : fillers_) ::close(fd);
  if (listener_ >= 0) ::close(listener_);
}

std::string NumberedLines(std::size_t size) {
  std::string text;
  text.reserve(size + 64);
  for (int line = 1; text.size() < size; ++line) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "line %05d of a long answer.....\r\n",
                  line);
    text += buffer;
  }
  text.resize(size);
  return text;
}

}  // namespace loopback
