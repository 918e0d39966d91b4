// The help viewer's window: the index of a help file, its topics, Back and
// Index, and the socket on which later WinHelpA requests reach it.
//
// One top-level window of class VtHelpViewer holds two buttons and either
// the index (a list with every topic) or a topic: its text in a read-only
// view with the title as caption, and below it the topics the text names in
// double quotes, the file's own cross-references, as links. Each page
// shown goes on a history that Back walks down. The window runs in a loop
// with the dialog keys, so Enter opens the selected entry and Esc closes
// the viewer. Requests from other processes arrive on a socket, read by a
// thread of their own and posted to the window. Start at CreateHelpViewer.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/help/winhelp.h"
#include "platform/internal/text.h"

namespace vt::platform {
namespace {

constexpr UINT kRequestMessage = WM_APP + 1;
constexpr std::size_t kIndexPage = static_cast<std::size_t>(-1);
constexpr std::size_t kWrapColumn = 72;
constexpr std::size_t kMaxRequestLine = 4096;

struct Viewer {
  HelpFile file;
  std::string fileName;
  std::vector<std::size_t> indexTopics;  // per item of the index list
  std::vector<std::size_t> links;        // per item of the link list
  std::vector<std::size_t> history;      // pages before the current one
  std::size_t page = kIndexPage;
  std::string channel;  // the socket path, removed when the window goes
};

Viewer* ViewerOf(HWND window) {
  return reinterpret_cast<Viewer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Words joined into lines of at most kWrapColumn characters.
std::string Wrapped(const std::string& words, const std::string& indent) {
  std::string out;
  std::string line = indent;
  std::size_t start = 0;
  while (start < words.size()) {
    std::size_t end = words.find(' ', start);
    if (end == std::string::npos) end = words.size();
    const std::string word = words.substr(start, end - start);
    if (line.size() > indent.size() &&
        line.size() + 1 + word.size() > kWrapColumn) {
      out += line + "\r\n";
      line = indent;
    }
    if (line.size() > indent.size()) line += ' ';
    line += word;
    start = end + 1;
  }
  return out + line;
}

std::string TopicText(const HelpTopic& topic) {
  std::string text;
  for (const auto& block : topic.blocks) {
    if (!text.empty()) text += "\r\n\r\n";
    switch (block.kind) {
      case HelpBlockKind::Paragraph:
        text += Wrapped(block.text, "");
        break;
      case HelpBlockKind::ListItem: {
        std::string item = Wrapped(block.text, "    ");
        item.replace(0, 4, "  - ");
        text += item;
        break;
      }
      case HelpBlockKind::Verbatim: {
        std::string lines = "    ";
        for (const char c : block.text) {
          lines += c == '\n' ? std::string("\r\n    ") : std::string(1, c);
        }
        text += lines;
        break;
      }
    }
  }
  return text;
}

// The topic an index keyword or a title leads to.
std::optional<std::size_t> TopicNamed(const HelpFile& file,
                                      const std::string& name) {
  for (const auto& entry : file.index) {
    if (EqualNoCase(entry.keyword, name)) return entry.topic;
  }
  return file.FindTopic(name);
}

// The topics that the text of topic names in double quotes, in order of
// first mention, without itself.
std::vector<std::size_t> LinksOf(const HelpFile& file, std::size_t topic) {
  std::vector<std::size_t> links;
  for (const auto& block : file.topics[topic].blocks) {
    std::size_t open = block.text.find('"');
    while (open != std::string::npos) {
      const std::size_t close = block.text.find('"', open + 1);
      if (close == std::string::npos) break;
      const auto target =
          TopicNamed(file, block.text.substr(open + 1, close - open - 1));
      if (target && *target != topic &&
          std::find(links.begin(), links.end(), *target) == links.end())
        links.push_back(*target);
      open = block.text.find('"', close + 1);
    }
  }
  return links;
}

void Show(HWND window, int id, bool visible) {
  ShowWindow(GetDlgItem(window, id), visible ? SW_SHOW : SW_HIDE);
}

void ShowPage(HWND window, Viewer& viewer, std::size_t page) {
  viewer.page = page;
  const bool index = page == kIndexPage;
  Show(window, kHelpIndexList, index);
  Show(window, kHelpTopicText, !index);
  EnableWindow(GetDlgItem(window, kHelpBackButton),
               viewer.history.empty() ? FALSE : TRUE);
  if (index) {
    SetWindowTextA(window, (viewer.fileName + " - Index").c_str());
    Show(window, kHelpLinkList, false);
    SetFocus(GetDlgItem(window, kHelpIndexList));
    return;
  }
  const HelpTopic& topic = viewer.file.topics[page];
  SetWindowTextA(window, topic.title.c_str());
  SetDlgItemTextA(window, kHelpTopicText, TopicText(topic).c_str());
  HWND list = GetDlgItem(window, kHelpLinkList);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  viewer.links = LinksOf(viewer.file, page);
  for (const std::size_t link : viewer.links) {
    SendMessageA(
        list, LB_ADDSTRING, 0,
        reinterpret_cast<LPARAM>(viewer.file.topics[link].title.c_str()));
  }
  Show(window, kHelpLinkList, !viewer.links.empty());
  SetFocus(viewer.links.empty() ? GetDlgItem(window, kHelpTopicText) : list);
}

// Goes to page, remembering the page it leaves for Back.
void GoTo(HWND window, Viewer& viewer, std::size_t page) {
  if (page == viewer.page) return;
  viewer.history.push_back(viewer.page);
  ShowPage(window, viewer, page);
}

void Back(HWND window, Viewer& viewer) {
  if (viewer.history.empty()) return;
  const std::size_t page = viewer.history.back();
  viewer.history.pop_back();
  ShowPage(window, viewer, page);
}

void OpenSelected(HWND window, Viewer& viewer, int listId) {
  const LRESULT at = SendDlgItemMessageA(window, listId, LB_GETCURSEL, 0, 0);
  const auto& topics =
      listId == kHelpIndexList ? viewer.indexTopics : viewer.links;
  if (at < 0 || static_cast<std::size_t>(at) >= topics.size()) return;
  GoTo(window, viewer, topics[static_cast<std::size_t>(at)]);
}

HWND Child(HWND parent, const char* cls, const char* text, int id,
           DWORD style) {
  return CreateWindowExA(
      0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
      reinterpret_cast<HMENU>(static_cast<LONG_PTR>(id)), nullptr, nullptr);
}

void Layout(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  const int width = std::max<int>(r.right - 8, 40);
  const int height = std::max<int>(r.bottom - 34, 40);
  MoveWindow(GetDlgItem(window, kHelpIndexButton), 4, 4, 70, 22, TRUE);
  MoveWindow(GetDlgItem(window, kHelpBackButton), 78, 4, 70, 22, TRUE);
  MoveWindow(GetDlgItem(window, kHelpIndexList), 4, 30, width, height, TRUE);
  const int links = std::min(70, height / 3);
  MoveWindow(GetDlgItem(window, kHelpTopicText), 4, 30, width,
             height - links - 4, TRUE);
  MoveWindow(GetDlgItem(window, kHelpLinkList), 4, 30 + height - links, width,
             links, TRUE);
}

void FillIndex(HWND window, Viewer& viewer) {
  HWND list = GetDlgItem(window, kHelpIndexList);
  auto add = [&](const std::string& text, std::size_t topic) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    viewer.indexTopics.push_back(topic);
  };
  std::vector<bool> listed(viewer.file.topics.size(), false);
  for (const auto& entry : viewer.file.index) {
    add(entry.keyword, entry.topic);
    listed[entry.topic] = true;
  }
  // Every topic is a link of the index, also one the index forgot.
  for (std::size_t i = 0; i < viewer.file.topics.size(); ++i) {
    if (!listed[i]) add(viewer.file.topics[i].title, i);
  }
  SendMessageA(list, LB_SETCURSEL, 0, 0);
}

LRESULT Create(HWND window, const CREATESTRUCTA* cs) {
  SetWindowLongPtrA(window, GWLP_USERDATA,
                    reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  Child(window, "BUTTON", "&Index", kHelpIndexButton,
        WS_TABSTOP | BS_PUSHBUTTON);
  Child(window, "BUTTON", "&Back", kHelpBackButton, WS_TABSTOP | BS_PUSHBUTTON);
  Child(window, "LISTBOX", "", kHelpIndexList,
        WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY);
  Child(window, "EDIT", "", kHelpTopicText,
        WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY);
  Child(window, "LISTBOX", "", kHelpLinkList,
        WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY);
  Layout(window);
  return 0;
}

LRESULT Command(HWND window, WPARAM wParam) {
  Viewer* viewer = ViewerOf(window);
  if (viewer == nullptr) return 0;
  switch (LOWORD(wParam)) {
    case kHelpIndexButton:
      GoTo(window, *viewer, kIndexPage);
      break;
    case kHelpBackButton:
      Back(window, *viewer);
      break;
    case kHelpIndexList:
    case kHelpLinkList:
      if (HIWORD(wParam) == LBN_DBLCLK)
        OpenSelected(window, *viewer, LOWORD(wParam));
      break;
    case IDOK: {
      // Enter opens what the focused list has selected.
      HWND focus = GetFocus();
      if (focus == GetDlgItem(window, kHelpIndexList)) {
        OpenSelected(window, *viewer, kHelpIndexList);
      } else if (focus == GetDlgItem(window, kHelpLinkList)) {
        OpenSelected(window, *viewer, kHelpLinkList);
      }
      break;
    }
    case IDCANCEL:
      DestroyWindow(window);
      break;
    default:
      break;
  }
  return 0;
}

LRESULT Request(HWND window, WPARAM command, LPARAM keyword) {
  // The keyword was handed over by the listening thread; it is ours now.
  std::unique_ptr<std::string> owned(reinterpret_cast<std::string*>(keyword));
  HelpRequest request;
  request.command = static_cast<UINT>(command);
  if (owned) request.keyword = *owned;
  ApplyHelpRequest(window, request);
  return 0;
}

// The socket goes with the window, so a request that comes after the
// window is gone starts a new viewer rather than reaching this one.
LRESULT Closing(HWND window) {
  if (Viewer* viewer = ViewerOf(window); viewer && !viewer->channel.empty())
    ::unlink(viewer->channel.c_str());
  PostQuitMessage(0);
  return 0;
}

LRESULT Destroyed(HWND window) {
  std::unique_ptr<Viewer> owned(ViewerOf(window));
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  return 0;
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return Create(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_SIZE:
      Layout(window);
      return 0;
    case WM_COMMAND:
      return Command(window, wParam);
    case kRequestMessage:
      return Request(window, wParam, lParam);
    case WM_DESTROY:
      return Closing(window);
    case WM_NCDESTROY:
      return Destroyed(window);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterViewerClass() {
  WNDCLASSA cls{};
  cls.lpfnWndProc = ViewerProc;
  cls.lpszClassName = kHelpViewerClass;
  cls.hbrBackground =
      reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1));
  return RegisterClassA(&cls) != 0 ||
         GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Reads one request line from a connection and posts it to viewer.
void ServeConnection(int fd, HWND viewer) {
  std::string line;
  char c = 0;
  while (line.size() < kMaxRequestLine) {
    const ssize_t n = ::recv(fd, &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    line.push_back(c);
  }
  ::close(fd);
  const auto request = DecodeHelpRequest(line);
  if (!request) return;
  auto keyword = request->command == HELP_KEY
                     ? std::make_unique<std::string>(request->keyword)
                     : nullptr;
  if (PostMessageA(viewer, kRequestMessage, request->command,
                   reinterpret_cast<LPARAM>(keyword.get())))
    keyword.release();
}

}  // namespace

HWND CreateHelpViewer(HelpFile file, const std::string& fileName) {
  if (!RegisterViewerClass()) return nullptr;
  auto viewer = std::make_unique<Viewer>();
  viewer->file = std::move(file);
  viewer->fileName = fileName;
  HWND window = CreateWindowExA(
      0, kHelpViewerClass, fileName.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
      CW_USEDEFAULT, 520, 400, nullptr, nullptr, nullptr, viewer.get());
  if (window == nullptr) return nullptr;
  Viewer& kept = *viewer.release();  // the window owns it from here
  FillIndex(window, kept);
  ShowPage(window, kept, kIndexPage);
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  return window;
}

void ApplyHelpRequest(HWND window, const HelpRequest& request) {
  Viewer* viewer = ViewerOf(window);
  if (viewer == nullptr) return;
  if (request.command == HELP_QUIT) {
    DestroyWindow(window);
    return;
  }
  std::size_t page = kIndexPage;
  if (request.command == HELP_KEY) {
    if (auto topic = TopicNamed(viewer->file, request.keyword)) page = *topic;
  }
  GoTo(window, *viewer, page);
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
}

int RunHelpViewer(HWND viewer) {
  MSG msg{};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsWindow(viewer) && IsDialogMessageA(viewer, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

HelpChannel OpenHelpChannel(const std::string& path) {
  HelpChannel channel;
  // The folder may not exist yet: the window, whose entry would make it,
  // comes later.
  ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0700);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return channel;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const auto* named = reinterpret_cast<const sockaddr*>(&address);
  bool bound = ::bind(fd, named, sizeof address) == 0;
  if (!bound && errno == EADDRINUSE) {
    // Either a viewer listens there, or one that ended left the name.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool live =
        probe >= 0 && ::connect(probe, named, sizeof address) == 0;
    if (probe >= 0) ::close(probe);
    if (live) {
      ::close(fd);
      channel.taken = true;
      return channel;
    }
    ::unlink(path.c_str());
    bound = ::bind(fd, named, sizeof address) == 0;
  }
  if (!bound || ::listen(fd, 8) != 0) {
    ::close(fd);
    return channel;
  }
  channel.fd = fd;
  channel.path = path;
  return channel;
}

void ServeHelpRequests(const HelpChannel& channel, HWND viewer) {
  if (channel.fd < 0) return;
  if (Viewer* kept = ViewerOf(viewer)) kept->channel = channel.path;
  // The thread lives as long as the process; the process ends through
  // ExitProcessNow, which does not wait for it.
  std::thread([fd = channel.fd, viewer] {
    for (;;) {
      const int connection = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return;
      }
      ServeConnection(connection, viewer);
    }
  }).detach();
}

}  // namespace vt::platform
