// How the person's presence is shown: the configuration window's caption,
// the notification-area icon and its tip, and the away lock that sets both.
#pragma once

#include <windows.h>

// The tip the icon shows now; "Velto (Status: Here)" until the lock is set.
extern char trayTip[256];

// Sets the configuration window's caption to the version line, the login
// name and status ("is here" or "set away").
void SetStatusCaption(const char* status);
// Adds (0), modifies (1) or removes (2) the notification-area icon with tip,
// cut to what the icon can show. Other operations are ignored.
void SetTrayIcon(int operation, const char* tip);
// Sets or clears the away lock together with the away flag, the caption and
// the tip.
void SetAwayLock(int locked);
