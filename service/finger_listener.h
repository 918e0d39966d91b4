// The listener thread: serves finger connections one at a time for the life
// of the process.
#pragma once

#include <windows.h>

// The thread body. Needs the configuration window (configWindow) to exist,
// for its connection log and as the owner of error messages, and the
// presence record to be filled. Returns only after a fatal error, which it
// has shown and for which it has posted WM_QUIT with the error's number to
// the configuration window.
void RunFingerListener();

// The thread start routine that runs RunFingerListener.
DWORD WINAPI FingerListenerThread(LPVOID parameter);

// The pause between a reply and closing its connection, 250 ms. Only tests
// shorten it, so that many connections can be served in a short run.
void SetFingerListenerPause(DWORD milliseconds);

// The most lines the connection log keeps, 32,767, the newest first. Only
// tests lower it, so that the bound can be seen at work without tens of
// thousands of connections; 0 restores the usual bound.
void SetConnectionLogLimit(int lines);
