// Answering one finger connection: read the request line, decide whom it
// asks for, and send the full profile, the away notice or the hidden line.
#pragma once

#include <windows.h>
#include <winsock.h>

// Reads the request on an accepted connection and sends the reply. The time
// bounds count from acceptedAt (a GetTickCount value), so the time the
// listener spent on the peer's name is part of the connection's budget. The
// caller closes the connection afterwards with CloseFingerConnection.
void AnswerFingerRequest(SOCKET connection, DWORD acceptedAt);

// Ends a served connection without losing its reply: the sending side is
// shut first, so the reply is followed by an orderly end, and what the peer
// still sends is read and discarded (within bounds) so the close does not
// reset the connection while the peer is still reading.
void CloseFingerConnection(SOCKET connection, DWORD acceptedAt);

// How long a peer may take to send its request line, and how long a whole
// connection may last, in milliseconds. Only tests change them, so that the
// bounds can be seen at work without waiting tens of seconds.
void SetFingerTimeLimits(DWORD requestMs, DWORD connectionMs);
