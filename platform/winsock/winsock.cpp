// Windows Sockets over BSD sockets: start-up, errors and the socket calls.
//
// A SOCKET is the file descriptor itself, but only descriptors this module
// created are accepted: a stale or made-up SOCKET that happens to be another
// module's file (the registry's database, the X connection) fails with
// WSAENOTSOCK instead of being read, written or closed. Start reading at
// socket() and recv(); address and option translation sit just above the
// calls that use them. The resolver calls live in resolver.cpp.
#include "platform/winsock/winsock_internal.h"

#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/internal/no_destroy.h"
#include "platform/winsock/socket_seam.h"

namespace vt::platform::winsock_detail {
namespace {

std::atomic<int> gStartups{0};
thread_local int tLastError = 0;

}  // namespace

bool Started() { return gStartups.load(std::memory_order_acquire) > 0; }

void SetError(int wsaError) {
  tLastError = wsaError;
  ::SetLastError(static_cast<DWORD>(wsaError));
}

int WsaErrorFromErrno(int posixErrno) {
  // errno, WSA error
  static constexpr int kTable[][2] = {
      {EINTR, WSAEINTR},
      {EBADF, WSAENOTSOCK},
      {EACCES, WSAEACCES},
      {EPERM, WSAEACCES},
      {EFAULT, WSAEFAULT},
      {EINVAL, WSAEINVAL},
      {EMFILE, WSAEMFILE},
      {ENFILE, WSAEMFILE},
      {EAGAIN, WSAEWOULDBLOCK},
      {EINPROGRESS, WSAEINPROGRESS},
      {EALREADY, WSAEALREADY},
      {ENOTSOCK, WSAENOTSOCK},
      {EDESTADDRREQ, WSAEDESTADDRREQ},
      {EMSGSIZE, WSAEMSGSIZE},
      {EPROTOTYPE, WSAEPROTOTYPE},
      {ENOPROTOOPT, WSAENOPROTOOPT},
      {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
      {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
      {EOPNOTSUPP, WSAEOPNOTSUPP},
      {EAFNOSUPPORT, WSAEAFNOSUPPORT},
      {EADDRINUSE, WSAEADDRINUSE},
      {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
      {ENETDOWN, WSAENETDOWN},
      {ENETUNREACH, WSAENETUNREACH},
      {ENETRESET, WSAENETRESET},
      {ECONNABORTED, WSAECONNABORTED},
      {ECONNRESET, WSAECONNRESET},
      {EPIPE, WSAECONNRESET},
      {ENOBUFS, WSAENOBUFS},
      {ENOMEM, WSAENOBUFS},
      {EISCONN, WSAEISCONN},
      {ENOTCONN, WSAENOTCONN},
      {ESHUTDOWN, WSAESHUTDOWN},
      {ETIMEDOUT, WSAETIMEDOUT},
      {ECONNREFUSED, WSAECONNREFUSED},
      {ENAMETOOLONG, WSAENAMETOOLONG},
      {EHOSTDOWN, WSAEHOSTDOWN},
      {EHOSTUNREACH, WSAEHOSTUNREACH},
  };
  for (const auto& row : kTable) {
    if (row[0] == posixErrno) return row[1];
  }
  // Whatever else the OS reports is a failure of the network subsystem as
  // far as the caller can tell.
  return WSAENETDOWN;
}

bool Enter(const char* function) {
  if (const int injected = TakeCallFailure(function); injected != 0) {
    SetError(injected);
    return false;
  }
  if (!Started()) {
    SetError(WSANOTINITIALISED);
    return false;
  }
  return true;
}

namespace {

// Runs the OS call behind function unless the seam has armed an errno for
// it, in which case the call fails with that errno without reaching the OS.
template <typename Call>
auto OsCall(const char* function, Call call) -> decltype(call()) {
  if (const int injected = TakeOsFailure(function); injected != 0) {
    errno = injected;
    return -1;
  }
  PassOsCallGate(function);
  return call();
}

// What shutdown() has closed, so that later calls fail as the target system
// fails them rather than as Linux does (a receive after SD_RECEIVE gives
// WSAESHUTDOWN, not an end of stream).
// The time-outs are kept as given because Linux rounds them to its clock
// tick and would read back, say, 252 for 250.
struct SocketState {
  bool sendShut = false;
  bool receiveShut = false;
  DWORD sendTimeoutMs = 0;
  DWORD receiveTimeoutMs = 0;
};

// Every call on a socket holds a use of it for as long as it runs, so that
// closesocket from another thread never closes the descriptor while a call
// is between its look-up and the system call: the number could meanwhile
// belong to the registry's database or a new socket. closesocket marks the
// socket closing, which refuses new uses, wakes the calls that block on it,
// waits for the last use to end, and only then forgets and closes it.
class SocketTable {
 public:
  void Add(int fd) {
    std::lock_guard lock(mutex_);
    sockets_[fd] = Entry{};
  }
  // Takes a use of fd; false when fd is not ours or is being closed.
  bool Acquire(int fd) {
    std::lock_guard lock(mutex_);
    auto found = sockets_.find(fd);
    if (found == sockets_.end() || found->second.closing) return false;
    ++found->second.users;
    return true;
  }
  void Release(int fd) {
    std::lock_guard lock(mutex_);
    auto found = sockets_.find(fd);
    if (found == sockets_.end()) return;
    if (--found->second.users == 0 && found->second.closing) {
      unused_.notify_all();
    }
  }
  std::optional<SocketState> Find(int fd) {
    std::lock_guard lock(mutex_);
    auto found = sockets_.find(fd);
    if (found == sockets_.end()) return std::nullopt;
    return found->second.state;
  }
  // Whether closesocket has begun on fd: a blocking call that returns then
  // was released by the close, not by the peer.
  bool Closing(int fd) {
    std::lock_guard lock(mutex_);
    auto found = sockets_.find(fd);
    return found == sockets_.end() || found->second.closing;
  }
  void MarkShut(int fd, bool send, bool receive) {
    std::lock_guard lock(mutex_);
    auto found = sockets_.find(fd);
    if (found == sockets_.end()) return;
    found->second.state.sendShut |= send;
    found->second.state.receiveShut |= receive;
  }
  void SetTimeout(int fd, int nativeOption, DWORD milliseconds) {
    std::lock_guard lock(mutex_);
    auto found = sockets_.find(fd);
    if (found == sockets_.end()) return;
    (nativeOption == SO_SNDTIMEO ? found->second.state.sendTimeoutMs
                                 : found->second.state.receiveTimeoutMs) =
        milliseconds;
  }
  // Marks fd closing so that no new call can use it. Returns the number of
  // calls still using it, or nullopt when fd is not ours or is already
  // being closed by another thread.
  std::optional<int> BeginClose(int fd) {
    std::lock_guard lock(mutex_);
    auto found = sockets_.find(fd);
    if (found == sockets_.end() || found->second.closing) return std::nullopt;
    found->second.closing = true;
    return found->second.users;
  }
  // Waits until no call uses fd any more, then forgets it, so that no other
  // thread can reach the number once the OS may hand it out again.
  void FinishClose(int fd) {
    std::unique_lock lock(mutex_);
    unused_.wait(lock, [&] { return sockets_.at(fd).users == 0; });
    sockets_.erase(fd);
  }

 private:
  struct Entry {
    SocketState state;
    int users = 0;
    bool closing = false;
  };
  std::mutex mutex_;
  std::condition_variable unused_;
  std::unordered_map<int, Entry> sockets_;
};

SocketTable& Sockets() {
  static NoDestroy<SocketTable> table;
  return table.get();
}

// A use of one of our sockets, held for the length of one call.
class UsedSocket {
 public:
  UsedSocket() = default;
  explicit UsedSocket(int fd) : fd_(fd) {}
  UsedSocket(UsedSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UsedSocket(const UsedSocket&) = delete;
  UsedSocket& operator=(const UsedSocket&) = delete;
  UsedSocket& operator=(UsedSocket&&) = delete;
  ~UsedSocket() {
    if (fd_ >= 0) Sockets().Release(fd_);
  }
  explicit operator bool() const { return fd_ >= 0; }
  int operator*() const { return fd_; }

 private:
  int fd_ = -1;
};

int FailFromErrno() {
  SetError(WsaErrorFromErrno(errno));
  return winsock::kSocketError;
}

int Fail(int wsaError) {
  SetError(wsaError);
  return winsock::kSocketError;
}

// A use of the descriptor behind s, or an empty one with WSAENOTSOCK set.
UsedSocket Lookup(winsock::SOCKET s) {
  if (s > static_cast<winsock::SOCKET>(INT_MAX) ||
      !Sockets().Acquire(static_cast<int>(s))) {
    SetError(WSAENOTSOCK);
    return UsedSocket();
  }
  return UsedSocket(static_cast<int>(s));
}

int IntOption(int fd, int level, int option) {
  int value = 0;
  socklen_t length = sizeof value;
  if (::getsockopt(fd, level, option, &value, &length) != 0) return -1;
  return value;
}

// --- addresses -------------------------------------------------------------

constexpr int kAddressSize = sizeof(winsock::sockaddr_in);
static_assert(kAddressSize == 16, "an AF_INET address is 16 bytes");

bool ToNative(const winsock::sockaddr* address, int length,
              ::sockaddr_in& native) {
  if (address == nullptr || length < kAddressSize) {
    SetError(WSAEFAULT);
    return false;
  }
  winsock::sockaddr_in ours;
  std::memcpy(&ours, address, sizeof ours);
  if (ours.sin_family != winsock::kAfInet) {
    SetError(WSAEAFNOSUPPORT);
    return false;
  }
  native = {};
  native.sin_family = AF_INET;
  native.sin_port = ours.sin_port;
  native.sin_addr.s_addr = ours.sin_addr.s_addr;
  return true;
}

// Checks the caller's room before the OS call, as the target system refuses
// a short buffer before it accepts or asks anything.
bool RoomForAddress(const winsock::sockaddr* address, const int* length) {
  if (address == nullptr || length == nullptr || *length < kAddressSize) {
    SetError(WSAEFAULT);
    return false;
  }
  return true;
}

void FromNative(const ::sockaddr_in& native, winsock::sockaddr* address,
                int* length) {
  winsock::sockaddr_in ours{};
  ours.sin_family = winsock::kAfInet;
  ours.sin_port = native.sin_port;
  ours.sin_addr.s_addr = native.sin_addr.s_addr;
  std::memcpy(address, &ours, sizeof ours);
  *length = kAddressSize;
}

// --- options ---------------------------------------------------------------

enum class OptionKind { Flag, BufferSize, Milliseconds, Linger, Error };

struct OptionRow {
  int level;
  int option;
  int nativeLevel;
  int nativeOption;
  OptionKind kind;
};

// our level, our option, native level, native option, how the value reads
constexpr OptionRow kOptions[] = {
    {winsock::kSolSocket, winsock::kSoReuseAddr, SOL_SOCKET, SO_REUSEADDR,
     OptionKind::Flag},
    {winsock::kSolSocket, winsock::kSoKeepAlive, SOL_SOCKET, SO_KEEPALIVE,
     OptionKind::Flag},
    {winsock::kSolSocket, winsock::kSoLinger, SOL_SOCKET, SO_LINGER,
     OptionKind::Linger},
    {winsock::kSolSocket, winsock::kSoSndBuf, SOL_SOCKET, SO_SNDBUF,
     OptionKind::BufferSize},
    {winsock::kSolSocket, winsock::kSoRcvBuf, SOL_SOCKET, SO_RCVBUF,
     OptionKind::BufferSize},
    {winsock::kSolSocket, winsock::kSoSndTimeo, SOL_SOCKET, SO_SNDTIMEO,
     OptionKind::Milliseconds},
    {winsock::kSolSocket, winsock::kSoRcvTimeo, SOL_SOCKET, SO_RCVTIMEO,
     OptionKind::Milliseconds},
    {winsock::kSolSocket, winsock::kSoError, SOL_SOCKET, SO_ERROR,
     OptionKind::Error},
    {winsock::kIpprotoTcp, winsock::kTcpNoDelay, IPPROTO_TCP, TCP_NODELAY,
     OptionKind::Flag},
};

const OptionRow* FindOption(int level, int option) {
  for (const auto& row : kOptions) {
    if (row.level == level && row.option == option) return &row;
  }
  return nullptr;
}

int ValueSize(OptionKind kind) {
  return kind == OptionKind::Linger ? static_cast<int>(sizeof(winsock::linger))
                                    : static_cast<int>(sizeof(int));
}

int SetOption(int fd, const OptionRow& row, const char* value) {
  switch (row.kind) {
    case OptionKind::Flag:
    case OptionKind::BufferSize: {
      int number;
      std::memcpy(&number, value, sizeof number);
      if (row.kind == OptionKind::Flag) number = number != 0;
      return ::setsockopt(fd, row.nativeLevel, row.nativeOption, &number,
                          sizeof number);
    }
    case OptionKind::Milliseconds: {
      DWORD milliseconds;
      std::memcpy(&milliseconds, value, sizeof milliseconds);
      ::timeval time{};
      time.tv_sec = static_cast<time_t>(milliseconds / 1000);
      time.tv_usec = static_cast<suseconds_t>(milliseconds % 1000) * 1000;
      const int result = ::setsockopt(fd, row.nativeLevel, row.nativeOption,
                                      &time, sizeof time);
      if (result == 0) Sockets().SetTimeout(fd, row.nativeOption, milliseconds);
      return result;
    }
    case OptionKind::Linger: {
      winsock::linger ours;
      std::memcpy(&ours, value, sizeof ours);
      ::linger native{};
      native.l_onoff = ours.l_onoff != 0;
      native.l_linger = ours.l_linger;
      return ::setsockopt(fd, row.nativeLevel, row.nativeOption, &native,
                          sizeof native);
    }
    case OptionKind::Error:
      break;
  }
  errno = ENOPROTOOPT;
  return -1;
}

int GetOption(int fd, const OptionRow& row, char* value) {
  switch (row.kind) {
    case OptionKind::Flag:
    case OptionKind::BufferSize:
    case OptionKind::Error: {
      int number = 0;
      socklen_t length = sizeof number;
      if (::getsockopt(fd, row.nativeLevel, row.nativeOption, &number,
                       &length) != 0) {
        return -1;
      }
      // Linux doubles a buffer size for its own bookkeeping and reports the
      // doubled figure; the caller asked for, and expects back, the half.
      if (row.kind == OptionKind::BufferSize) number /= 2;
      if (row.kind == OptionKind::Flag) number = number != 0;
      if (row.kind == OptionKind::Error && number != 0) {
        number = WsaErrorFromErrno(number);
      }
      std::memcpy(value, &number, sizeof number);
      return 0;
    }
    case OptionKind::Milliseconds: {
      const auto state = Sockets().Find(fd);
      if (!state) {
        errno = EBADF;
        return -1;
      }
      const DWORD milliseconds = row.nativeOption == SO_SNDTIMEO
                                     ? state->sendTimeoutMs
                                     : state->receiveTimeoutMs;
      std::memcpy(value, &milliseconds, sizeof milliseconds);
      return 0;
    }
    case OptionKind::Linger: {
      ::linger native{};
      socklen_t length = sizeof native;
      if (::getsockopt(fd, row.nativeLevel, row.nativeOption, &native,
                       &length) != 0) {
        return -1;
      }
      winsock::linger ours{};
      ours.l_onoff = static_cast<USHORT>(native.l_onoff != 0);
      ours.l_linger = static_cast<USHORT>(native.l_linger);
      std::memcpy(value, &ours, sizeof ours);
      return 0;
    }
  }
  errno = ENOPROTOOPT;
  return -1;
}

// --- transfer flags --------------------------------------------------------

constexpr int kMsgOob = 0x1;
constexpr int kMsgDontRoute = 0x4;

std::optional<int> NativeFlags(int flags, bool receiving) {
  int native = 0;
  if (flags & kMsgOob) native |= MSG_OOB;
  if (flags & kMsgDontRoute) {
    if (receiving) return std::nullopt;
    native |= MSG_DONTROUTE;
  }
  if (flags & winsock::kMsgPeek) {
    if (!receiving) return std::nullopt;
    native |= MSG_PEEK;
  }
  if (flags & winsock::kMsgMore) {
    if (receiving) return std::nullopt;
    native |= MSG_MORE;
  }
  if (flags &
      ~(kMsgOob | kMsgDontRoute | winsock::kMsgPeek | winsock::kMsgMore)) {
    return std::nullopt;
  }
  return native;
}

// The errors Linux's accept passes up from a pending connection that died
// before it was taken; the next pending connection is still good, so they
// are retried like EINTR.
bool IsTransientAcceptError(int error) {
  switch (error) {
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
      return true;
    default:
      return false;
  }
}

// A blocking connect that a signal interrupted goes on in the background on
// Linux; the target system never reports the interruption, so wait for the
// outcome the caller would have had.
int FinishInterruptedConnect(int fd) {
  ::timeval limit{};
  socklen_t length = sizeof limit;
  int timeoutMs = -1;
  if (::getsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, &length) == 0 &&
      (limit.tv_sec != 0 || limit.tv_usec != 0)) {
    timeoutMs = static_cast<int>(limit.tv_sec * 1000 + limit.tv_usec / 1000);
  }
  ::pollfd entry{fd, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) return Fail(WSAETIMEDOUT);
  if (ready < 0) return FailFromErrno();
  const int error = IntOption(fd, SOL_SOCKET, SO_ERROR);
  if (error != 0)
    return Fail(error < 0 ? WSAENETDOWN : WsaErrorFromErrno(error));
  return 0;
}

// getsockname and getpeername: the one address the OS call names.
int AddressOf(const char* function, int (*call)(int, ::sockaddr*, socklen_t*),
              winsock::SOCKET s, winsock::sockaddr* address, int* length) {
  if (!Enter(function)) return winsock::kSocketError;
  const auto fd = Lookup(s);
  if (!fd || !RoomForAddress(address, length)) return winsock::kSocketError;
  ::sockaddr_in native{};
  socklen_t nativeLength = sizeof native;
  if (OsCall(function, [&] {
        return call(*fd, reinterpret_cast<::sockaddr*>(&native), &nativeLength);
      }) != 0) {
    return FailFromErrno();
  }
  FromNative(native, address, length);
  return 0;
}

}  // namespace
}  // namespace vt::platform::winsock_detail

namespace winsock {

using namespace vt::platform::winsock_detail;

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (const int injected = vt::platform::TakeCallFailure("WSAStartup");
      injected != 0) {
    return injected;
  }
  if (data == nullptr) return WSAEFAULT;
  const int major = LOBYTE(versionRequested);
  const int minor = (versionRequested >> 8) & 0xff;
  *data = WSADATA{};
  data->wHighVersion = 0x0202;
  if (major < 1 || (major == 1 && minor < 1)) {
    data->wVersion = 0x0101;
    return WSAVERNOTSUPPORTED;
  }
  // Answer with the lower of the version asked for and the highest we have.
  if (major == 1) {
    data->wVersion = 0x0101;
  } else if (major == 2 && minor < 2) {
    data->wVersion = versionRequested;
  } else {
    data->wVersion = 0x0202;
  }
  std::snprintf(data->szDescription, sizeof data->szDescription,
                "Vellumtide Sockets over BSD sockets");
  std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  data->iMaxSockets = 32767;
  data->iMaxUdpDg = 65467;
  data->lpVendorInfo = nullptr;
  gStartups.fetch_add(1, std::memory_order_acq_rel);
  return 0;
}

int WSACleanup() {
  int count = gStartups.load(std::memory_order_acquire);
  while (count > 0) {
    if (gStartups.compare_exchange_weak(count, count - 1,
                                        std::memory_order_acq_rel)) {
      return 0;
    }
  }
  SetError(WSANOTINITIALISED);
  return kSocketError;
}

int WSAGetLastError() { return tLastError; }

void WSASetLastError(int error) { SetError(error); }

SOCKET socket(int family, int type, int protocol) {
  if (!Enter("socket")) return kInvalidSocket;
  if (family != kAfInet) {
    SetError(WSAEAFNOSUPPORT);
    return kInvalidSocket;
  }
  int nativeType;
  if (type == kSockStream) {
    nativeType = SOCK_STREAM;
  } else if (type == kSockDgram) {
    nativeType = SOCK_DGRAM;
  } else {
    SetError(WSAESOCKTNOSUPPORT);
    return kInvalidSocket;
  }
  // Close-on-exec, so that a process the program starts never holds the
  // finger port open after the daemon has gone.
  const int fd = OsCall("socket", [&] {
    return ::socket(AF_INET, nativeType | SOCK_CLOEXEC, protocol);
  });
  if (fd < 0) {
    FailFromErrno();
    return kInvalidSocket;
  }
  Sockets().Add(fd);
  return static_cast<SOCKET>(fd);
}

int bind(SOCKET s, const sockaddr* address, int length) {
  if (!Enter("bind")) return kSocketError;
  const auto fd = Lookup(s);
  ::sockaddr_in native;
  if (!fd || !ToNative(address, length, native)) return kSocketError;
  if (OsCall("bind", [&] {
        return ::bind(*fd, reinterpret_cast<::sockaddr*>(&native),
                      sizeof native);
      }) != 0) {
    return FailFromErrno();
  }
  return 0;
}

int listen(SOCKET s, int backlog) {
  if (!Enter("listen")) return kSocketError;
  const auto fd = Lookup(s);
  if (!fd) return kSocketError;
  // Linux would bind an unbound socket to a port of its choosing; the target
  // system refuses, and so do we, so a forgotten bind is not hidden.
  ::sockaddr_in bound{};
  socklen_t boundLength = sizeof bound;
  if (::getsockname(*fd, reinterpret_cast<::sockaddr*>(&bound), &boundLength) ==
          0 &&
      bound.sin_port == 0) {
    return Fail(WSAEINVAL);
  }
  if (OsCall("listen", [&] { return ::listen(*fd, backlog); }) != 0) {
    return FailFromErrno();
  }
  return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* length) {
  if (!Enter("accept")) return kInvalidSocket;
  const auto fd = Lookup(s);
  if (!fd) return kInvalidSocket;
  if (address != nullptr && !RoomForAddress(address, length)) {
    return kInvalidSocket;
  }
  // Retrying the transient errors below would spin for ever on a socket that
  // can never accept, so such a socket is refused first.
  if (IntOption(*fd, SOL_SOCKET, SO_TYPE) != SOCK_STREAM) {
    SetError(WSAEOPNOTSUPP);
    return kInvalidSocket;
  }
  if (IntOption(*fd, SOL_SOCKET, SO_ACCEPTCONN) != 1) {
    SetError(WSAEINVAL);
    return kInvalidSocket;
  }
  for (;;) {
    ::sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    const int connection = OsCall("accept", [&] {
      return ::accept4(*fd, reinterpret_cast<::sockaddr*>(&peer), &peerLength,
                       SOCK_CLOEXEC);
    });
    if (connection >= 0) {
      Sockets().Add(connection);
      if (address != nullptr) FromNative(peer, address, length);
      return static_cast<SOCKET>(connection);
    }
    if (IsTransientAcceptError(errno)) continue;
    // closesocket from another thread ends a waiting accept; the target
    // system reports that as an interrupted call.
    if (Sockets().Closing(*fd)) {
      SetError(WSAEINTR);
    } else {
      FailFromErrno();
    }
    return kInvalidSocket;
  }
}

int connect(SOCKET s, const sockaddr* address, int length) {
  if (!Enter("connect")) return kSocketError;
  const auto fd = Lookup(s);
  ::sockaddr_in native;
  if (!fd || !ToNative(address, length, native)) return kSocketError;
  if (OsCall("connect", [&] {
        return ::connect(*fd, reinterpret_cast<::sockaddr*>(&native),
                         sizeof native);
      }) == 0) {
    return 0;
  }
  if (Sockets().Closing(*fd)) return Fail(WSAEINTR);
  if (errno == EINTR) return FinishInterruptedConnect(*fd);
  // A blocking connect stopped by SO_SNDTIMEO reports EINPROGRESS on Linux.
  if (errno == EINPROGRESS) return Fail(WSAETIMEDOUT);
  return FailFromErrno();
}

int send(SOCKET s, const char* buffer, int length, int flags) {
  if (!Enter("send")) return kSocketError;
  const auto fd = Lookup(s);
  if (!fd) return kSocketError;
  if (length < 0) return Fail(WSAEINVAL);
  if (buffer == nullptr && length > 0) return Fail(WSAEFAULT);
  const auto nativeFlags = NativeFlags(flags, false);
  if (!nativeFlags) return Fail(WSAEOPNOTSUPP);
  if (const auto state = Sockets().Find(*fd); state && state->sendShut) {
    return Fail(WSAESHUTDOWN);
  }
  // A blocking send on the target system returns once everything is
  // buffered, so a send cut short by a signal goes on with the rest.
  int sent = 0;
  do {
    const ssize_t result = OsCall("send", [&] {
      return ::send(*fd, buffer + sent, static_cast<size_t>(length - sent),
                    *nativeFlags | MSG_NOSIGNAL);
    });
    if (result < 0) {
      if (Sockets().Closing(*fd)) return Fail(WSAEINTR);
      if (errno == EINTR) continue;
      if (sent > 0) return sent;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return Fail(WSAETIMEDOUT);
      return FailFromErrno();
    }
    sent += static_cast<int>(result);
  } while (sent < length);
  return sent;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  if (!Enter("recv")) return kSocketError;
  const auto fd = Lookup(s);
  if (!fd) return kSocketError;
  if (length < 0) return Fail(WSAEINVAL);
  if (buffer == nullptr && length > 0) return Fail(WSAEFAULT);
  const auto nativeFlags = NativeFlags(flags, true);
  if (!nativeFlags) return Fail(WSAEOPNOTSUPP);
  if (const auto state = Sockets().Find(*fd); state && state->receiveShut) {
    return Fail(WSAESHUTDOWN);
  }
  for (;;) {
    const ssize_t result = OsCall("recv", [&] {
      return ::recv(*fd, buffer, static_cast<size_t>(length), *nativeFlags);
    });
    // A receive released by closesocket on another thread sees an end of
    // stream or an error; the target system reports an interrupted call.
    if (result <= 0 && Sockets().Closing(*fd)) return Fail(WSAEINTR);
    if (result >= 0) return static_cast<int>(result);
    if (errno == EINTR) continue;
    // Our sockets are always blocking, so a would-block is SO_RCVTIMEO
    // running out.
    if (errno == EAGAIN || errno == EWOULDBLOCK) return Fail(WSAETIMEDOUT);
    return FailFromErrno();
  }
}

int shutdown(SOCKET s, int how) {
  if (!Enter("shutdown")) return kSocketError;
  const auto fd = Lookup(s);
  if (!fd) return kSocketError;
  int nativeHow;
  switch (how) {
    case kSdReceive:
      nativeHow = SHUT_RD;
      break;
    case kSdSend:
      nativeHow = SHUT_WR;
      break;
    case kSdBoth:
      nativeHow = SHUT_RDWR;
      break;
    default:
      return Fail(WSAEINVAL);
  }
  if (OsCall("shutdown", [&] { return ::shutdown(*fd, nativeHow); }) != 0) {
    return FailFromErrno();
  }
  Sockets().MarkShut(*fd, how != kSdReceive, how != kSdSend);
  return 0;
}

int closesocket(SOCKET s) {
  if (!Enter("closesocket")) return kSocketError;
  const std::optional<int> users =
      s > static_cast<SOCKET>(INT_MAX)
          ? std::nullopt
          : Sockets().BeginClose(static_cast<int>(s));
  if (!users) {
    SetError(WSAENOTSOCK);
    return kSocketError;
  }
  const int fd = static_cast<int>(s);
  // Linux does not wake a thread blocked in accept, recv or connect when the
  // socket is closed, the target system does; shutting the socket down
  // first releases the waiters. A socket nobody waits on is closed as it
  // stands, so its peer sees what a plain close gives it.
  if (*users > 0 || IntOption(fd, SOL_SOCKET, SO_ACCEPTCONN) == 1) {
    ::shutdown(fd, SHUT_RDWR);
  }
  Sockets().FinishClose(fd);
  // close() is not retried after EINTR: Linux has released the descriptor
  // whatever it reports, and a retry could close someone else's.
  ::close(fd);
  return 0;
}

int setsockopt(SOCKET s, int level, int option, const char* value, int length) {
  if (!Enter("setsockopt")) return kSocketError;
  const auto fd = Lookup(s);
  if (!fd) return kSocketError;
  const OptionRow* row = FindOption(level, option);
  if (row == nullptr || row->kind == OptionKind::Error) {
    return Fail(WSAENOPROTOOPT);
  }
  if (value == nullptr || length < ValueSize(row->kind)) {
    return Fail(WSAEFAULT);
  }
  if (OsCall("setsockopt", [&] { return SetOption(*fd, *row, value); }) != 0) {
    return FailFromErrno();
  }
  return 0;
}

int getsockopt(SOCKET s, int level, int option, char* value, int* length) {
  if (!Enter("getsockopt")) return kSocketError;
  const auto fd = Lookup(s);
  if (!fd) return kSocketError;
  const OptionRow* row = FindOption(level, option);
  if (row == nullptr) return Fail(WSAENOPROTOOPT);
  const int size = ValueSize(row->kind);
  if (value == nullptr || length == nullptr || *length < size) {
    return Fail(WSAEFAULT);
  }
  if (OsCall("getsockopt", [&] { return GetOption(*fd, *row, value); }) != 0) {
    return FailFromErrno();
  }
  *length = size;
  return 0;
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
  return AddressOf("getsockname", ::getsockname, s, address, length);
}

int getpeername(SOCKET s, sockaddr* address, int* length) {
  return AddressOf("getpeername", ::getpeername, s, address, length);
}

}  // namespace winsock
