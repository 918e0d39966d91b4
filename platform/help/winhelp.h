// What the help module offers the winhelp program and the tests: where a
// help file is found, the channel a running viewer listens on, and the
// viewer window.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/help/helpfile.h"

namespace vt::platform {

// Where a help file named name (ANSI) is found, by the target's rules: as
// given, then its name in the current folder, then in the calling
// program's folder (UTF-8), each matched without regard to case. The UTF-8
// path, or nullopt.
std::optional<std::string> FindHelpFile(const std::string& name,
                                        const std::string& callerFolder);

// The socket a viewer showing the help file at key (its UTF-8 path, or the
// name as given when it was not found) listens on, in the system root's
// run/ folder; nullopt when the path would not fit a socket address.
std::optional<std::string> HelpChannelPath(const std::string& key);

// One request to a viewer, as it travels on the channel and on the
// viewer's command line: the WinHelpA command and, for HELP_KEY, the
// keyword.
struct HelpRequest {
  UINT command = HELP_INDEX;
  std::string keyword;
};
std::string EncodeHelpRequest(const HelpRequest& request);
std::optional<HelpRequest> DecodeHelpRequest(const std::string& line);

// Hands request to the viewer listening on channel; false when none does.
bool SendHelpRequest(const std::string& channel, const HelpRequest& request);

// --- the viewer window
// --------------------------------------------------------

// The window class of the viewer's main window; other processes find a
// running viewer by it.
inline constexpr char kHelpViewerClass[] = "VtHelpViewer";
// Control identifiers of the viewer window.
inline constexpr int kHelpIndexButton = 101;
inline constexpr int kHelpBackButton = 102;
inline constexpr int kHelpIndexList = 103;
inline constexpr int kHelpTopicText = 104;
inline constexpr int kHelpLinkList = 105;

// A viewer window over file (whose name, without folder, names the index),
// showing the index; shown and brought forward. Null on failure.
HWND CreateHelpViewer(HelpFile file, const std::string& fileName);
// Carries out a request in a viewer window of this process: the index,
// the topic of a keyword, or closing.
void ApplyHelpRequest(HWND viewer, const HelpRequest& request);
// Runs the viewer's message loop until its window is gone; the dialog keys
// (Tab, Enter, Esc, Alt+letter) work in it.
int RunHelpViewer(HWND viewer);

// The socket a viewer listens on. It is made before the viewer's window
// exists, so a caller that sees the window can always reach it.
struct HelpChannel {
  int fd = -1;         // listening, or -1
  std::string path;    // set with fd
  bool taken = false;  // another viewer listens there already
};
HelpChannel OpenHelpChannel(const std::string& path);
// Hands every request arriving on channel to viewer (by a posted message),
// from a thread of its own; the socket's name is removed when the window
// is destroyed.
void ServeHelpRequests(const HelpChannel& channel, HWND viewer);

}  // namespace vt::platform
