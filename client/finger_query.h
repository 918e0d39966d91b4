// The outgoing finger query: one request to a remote finger server, and its
// whole answer collected for the response window.
#pragma once

#include <windows.h>

// Answer buffer size; the text in it is always terminated, so it holds at
// most kFingerAnswerSize - 1 bytes of answer.
inline constexpr int kFingerAnswerSize = 65535;
// Request buffer size: "/W ", a user of at most 255 characters and CR LF fit
// with room to spare.
inline constexpr int kFingerRequestSize = 512;
// How long connecting, and reading the whole answer, may each take.
inline constexpr DWORD kFingerQueryBoundMs = 30000;

// Sends one finger request for user to host (port 79) and reads the answer
// until the server closes the connection, the answer buffer is full or the
// bound passes. The query copies user and host when it starts, so the
// caller's texts may change while it runs.
//
// Returns 1 when the request was sent; *answer then holds the answer (maybe
// empty, maybe cut short by a receive failure that was already reported),
// which the caller releases with ReleaseFingerAnswer. Returns 0 when the
// query failed before the request was sent; it has shown its message box
// (owned by the configuration window), and *answer is nullptr.
int RunFingerQuery(const char* user, const char* host, char** answer);
// Releases an answer from RunFingerQuery; nullptr is allowed.
void ReleaseFingerAnswer(char* answer);

// For tests only: the remote port (default 79) and the bound on connecting
// and on reading (default kFingerQueryBoundMs), so a test can point queries
// at a server of its own and wait one second instead of thirty. Set them
// before a query starts.
void SetFingerQueryPort(USHORT port);
void SetFingerQueryBound(DWORD milliseconds);
