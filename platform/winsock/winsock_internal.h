// What the winsock module's sources share: the started count, the calling
// thread's last error, the errno translation and the common entry check.
#pragma once

#define VT_WINSOCK_IMPLEMENTATION
#include <winsock.h>

namespace vt::platform::winsock_detail {

bool Started();
void SetError(int wsaError);
// The WSA error that stands for a POSIX errno.
int WsaErrorFromErrno(int posixErrno);
// The WSA error that stands for a getaddrinfo/getnameinfo result.
int WsaErrorFromResolver(int eaiCode, int posixErrno);

// Every call but the byte-order and address-text helpers starts here: an
// armed test failure wins, then a call before WSAStartup fails with
// WSANOTINITIALISED. Returns false with the error set when the call must
// fail.
bool Enter(const char* function);

}  // namespace vt::platform::winsock_detail
