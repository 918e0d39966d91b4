// Windows Sockets 1.1, the subset the program uses, over BSD sockets.
//
// The calls keep their Windows names for the program, but they live in
// namespace winsock and reach the global namespace by using-declarations
// and macros, so that their link names never clash with the C library's
// socket, bind, send and friends, which the platform itself (and SQLite,
// Xlib) still call. The platform's own sources define
// VT_WINSOCK_IMPLEMENTATION before including this header; they then see only
// the namespace and none of the global names, so POSIX headers can sit beside
// it.
#pragma once

#include "windows.h"

namespace winsock {

using SOCKET = UINT_PTR;
inline constexpr SOCKET kInvalidSocket = ~static_cast<SOCKET>(0);
inline constexpr int kSocketError = -1;

inline constexpr int kAfInet = 2;
inline constexpr int kSockStream = 1;
inline constexpr int kSockDgram = 2;
inline constexpr int kIpprotoTcp = 6;
inline constexpr int kSolSocket = 0xffff;
inline constexpr int kSoReuseAddr = 0x0004;
inline constexpr int kSoKeepAlive = 0x0008;
inline constexpr int kSoLinger = 0x0080;
inline constexpr int kSoSndBuf = 0x1001;
inline constexpr int kSoRcvBuf = 0x1002;
inline constexpr int kSoSndTimeo = 0x1005;  // DWORD milliseconds, 0 = none
inline constexpr int kSoRcvTimeo = 0x1006;  // DWORD milliseconds, 0 = none
inline constexpr int kSoError = 0x1007;
inline constexpr int kTcpNoDelay = 0x0001;
inline constexpr int kSdReceive = 0;
inline constexpr int kSdSend = 1;
inline constexpr int kSdBoth = 2;
inline constexpr int kMsgPeek = 0x2;
// This platform's own send flag, with no counterpart on the target system:
// more of the same reply follows at once, so the kernel may hold this piece
// back to share a segment with the next. The last send of a batch goes
// without it, which releases what was held; so does shutting the sending
// side or closing the socket.
inline constexpr int kMsgMore = 0x100000;
inline constexpr ULONG kInaddrAny = 0x00000000u;
inline constexpr ULONG kInaddrNone = 0xffffffffu;
inline constexpr ULONG kInaddrLoopback = 0x7f000001u;

struct in_addr {
  ULONG s_addr;  // network byte order
};

struct sockaddr {
  USHORT sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  SHORT sin_family;
  USHORT sin_port;  // network byte order
  in_addr sin_addr;
  char sin_zero[8];
};

struct linger {
  USHORT l_onoff;
  USHORT l_linger;
};

// Results of the resolver calls belong to the calling thread and stay valid
// until its next resolver call, so several threads may resolve at once.
struct hostent {
  char* h_name;
  char** h_aliases;
  SHORT h_addrtype;
  SHORT h_length;
  char** h_addr_list;
};

struct servent {
  char* s_name;
  char** s_aliases;
  SHORT s_port;  // network byte order
  char* s_proto;
};

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  USHORT iMaxSockets;
  USHORT iMaxUdpDg;
  char* lpVendorInfo;
};
using LPWSADATA = WSADATA*;

int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int family, int type, int protocol);
int bind(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
// Retries EINTR and the errors Linux passes up from pending connections that
// died before they were accepted.
SOCKET accept(SOCKET s, sockaddr* address, int* length);
int connect(SOCKET s, const sockaddr* address, int length);
// Never raises SIGPIPE; a peer that went away gives WSAECONNRESET.
int send(SOCKET s, const char* buffer, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
int setsockopt(SOCKET s, int level, int option, const char* value, int length);
int getsockopt(SOCKET s, int level, int option, char* value, int* length);
int getsockname(SOCKET s, sockaddr* address, int* length);
int getpeername(SOCKET s, sockaddr* address, int* length);

// Reads the system root's services file first, then /etc/services.
servent* getservbyname(const char* name, const char* protocol);
hostent* gethostbyname(const char* name);
hostent* gethostbyaddr(const char* address, int length, int type);
int gethostname(char* name, int length);
ULONG inet_addr(const char* text);
char* inet_ntoa(in_addr address);

USHORT htons(USHORT value);
USHORT ntohs(USHORT value);
ULONG htonl(ULONG value);
ULONG ntohl(ULONG value);

}  // namespace winsock

inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTDOWN = 10064;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

#ifndef VT_WINSOCK_IMPLEMENTATION

using winsock::hostent;
using winsock::in_addr;
using winsock::linger;
using winsock::LPWSADATA;
using winsock::servent;
using winsock::sockaddr;
using winsock::sockaddr_in;
using winsock::SOCKET;
using winsock::WSADATA;

using winsock::accept;
using winsock::bind;
using winsock::closesocket;
using winsock::connect;
using winsock::gethostbyaddr;
using winsock::gethostbyname;
using winsock::gethostname;
using winsock::getpeername;
using winsock::getservbyname;
using winsock::getsockname;
using winsock::getsockopt;
using winsock::htonl;
using winsock::htons;
using winsock::inet_addr;
using winsock::inet_ntoa;
using winsock::listen;
using winsock::ntohl;
using winsock::ntohs;
using winsock::recv;
using winsock::send;
using winsock::setsockopt;
using winsock::shutdown;
using winsock::socket;
using winsock::WSACleanup;
using winsock::WSAGetLastError;
using winsock::WSASetLastError;
using winsock::WSAStartup;

#define INVALID_SOCKET (winsock::kInvalidSocket)
#define SOCKET_ERROR (winsock::kSocketError)
#define AF_INET (winsock::kAfInet)
#define PF_INET (winsock::kAfInet)
#define SOCK_STREAM (winsock::kSockStream)
#define SOCK_DGRAM (winsock::kSockDgram)
#define IPPROTO_TCP (winsock::kIpprotoTcp)
#define SOL_SOCKET (winsock::kSolSocket)
#define SO_REUSEADDR (winsock::kSoReuseAddr)
#define SO_KEEPALIVE (winsock::kSoKeepAlive)
#define SO_LINGER (winsock::kSoLinger)
#define SO_SNDBUF (winsock::kSoSndBuf)
#define SO_RCVBUF (winsock::kSoRcvBuf)
#define SO_SNDTIMEO (winsock::kSoSndTimeo)
#define SO_RCVTIMEO (winsock::kSoRcvTimeo)
#define SO_ERROR (winsock::kSoError)
#define TCP_NODELAY (winsock::kTcpNoDelay)
#define SD_RECEIVE (winsock::kSdReceive)
#define SD_SEND (winsock::kSdSend)
#define SD_BOTH (winsock::kSdBoth)
#define MSG_PEEK (winsock::kMsgPeek)
#define MSG_MORE (winsock::kMsgMore)
#define INADDR_ANY (winsock::kInaddrAny)
#define INADDR_NONE (winsock::kInaddrNone)
#define INADDR_LOOPBACK (winsock::kInaddrLoopback)
#define h_addr h_addr_list[0]

#endif  // VT_WINSOCK_IMPLEMENTATION
