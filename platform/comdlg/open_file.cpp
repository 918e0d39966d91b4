// GetOpenFileNameA: the open-file dialog, in the older (non-Explorer) style
// of the target system, built from the platform's own dialog and controls.
//
// The request is checked and recorded for the test API first. Then the
// person chooses: in the dialog when it can be seen (a driver with a
// display, or a test that asks for it), or from the test script. The
// dialog lists the files of one folder that match the chosen filter, and the
// folder's path level by level with its subfolders below; typing a folder
// or a pattern into the name field and pressing Enter moves or filters, as
// it does on the target. A chosen path goes through the same checks either
// way and is handed back in the caller's buffers, never past their sizes.
// Names on disk are UTF-8 and are shown in the ANSI code page; each list
// item remembers the name on disk it stands for. Start reading at
// GetOpenFileNameA, then OpenFileDialogProc.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/internal/driver.h"
#include "platform/internal/platform.h"
#include "platform/testing/dialog_records.h"
#include "vtresource.h"

namespace vt::platform {
namespace {

// Texts in a request are read no further than this, so a list that lacks its
// terminating zeros cannot send the reading through the whole heap.
constexpr std::size_t kMaxRequestText = 32 * 1024;

thread_local DWORD tExtendedError = 0;

// --- the template -----------------------------------------------------------

namespace ids = vt::testing::openfile;
constexpr int kReadOnlyBox = 0x410;
constexpr int kNameLabel = 0x442;
constexpr int kTypesLabel = 0x441;
constexpr int kFoldersLabel = -1;
// The resource number the target system gives this dialog; programs number
// theirs far below it.
constexpr int kOpenFileTemplate = 1536;

constexpr DWORD kList = WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP |
                        LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
// Columns: class, text, id, style, extended style, x, y, width, height.
constexpr vtres::DialogItem kOpenFileItems[] = {
    {"STATIC", "File &name:", kNameLabel, WS_VISIBLE, 0, 6, 6, 76, 9},
    {"EDIT", "", ids::kFileName,
     WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 6, 16, 90, 12},
    {"LISTBOX", "", ids::kFileList, kList, 0, 6, 32, 90, 68},
    {"STATIC", "&Folders:", kFoldersLabel, WS_VISIBLE, 0, 110, 6, 96, 9},
    {"STATIC", "", ids::kFolderLabel, WS_VISIBLE | SS_NOPREFIX, 0, 110, 18, 96,
     9},
    {"LISTBOX", "", ids::kFolderList, kList, 0, 110, 32, 92, 68},
    {"STATIC", "List files of &type:", kTypesLabel, WS_VISIBLE, 0, 6, 104, 90,
     9},
    {"COMBOBOX", "", ids::kFileTypes,
     WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 6,
     114, 90, 60},
    {"BUTTON", "OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 208,
     6, 50, 14},
    {"BUTTON", "Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
     208, 24, 50, 14},
    {"BUTTON", "&Read only", kReadOnlyBox,
     WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 208, 68, 50, 12},
};
constexpr vtres::Dialog kOpenFileDialog = {
    DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    0,
    0,
    264,
    134,
    "Open",
    "MS Sans Serif",
    8,
    kOpenFileItems,
    static_cast<int>(std::size(kOpenFileItems)),
};
VT_RESOURCE(Dialog, kOpenFileTemplate, kOpenFileDialog);

// --- the request
// --------------------------------------------------------------

std::string TextOf(LPCSTR text, std::size_t limit = kMaxRequestText) {
  if (text == nullptr) return {};
  return std::string(text, strnlen(text, limit));
}

// The filter pairs up to and including the two zeros that end the list.
std::string FilterList(LPCSTR filter) {
  std::string list;
  if (filter == nullptr) return list;
  for (std::size_t i = 0; i < kMaxRequestText; ++i) {
    list.push_back(filter[i]);
    if (filter[i] == '\0' && (i == 0 || filter[i - 1] == '\0')) break;
  }
  return list;
}

struct Filter {
  std::string description;
  std::string patterns;  // "*.txt" or "*.txt;*.log"
};

std::vector<Filter> FiltersOf(const std::string& list) {
  std::vector<Filter> filters;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < list.size() && list[start] != '\0') {
    const std::size_t end = list.find('\0', start);
    parts.push_back(list.substr(start, end - start));
    start = end == std::string::npos ? list.size() : end + 1;
  }
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    filters.push_back(Filter{parts[i], parts[i + 1]});
  }
  return filters;
}

vt::testing::OpenFileRecord Describe(const OPENFILENAMEA& request) {
  vt::testing::OpenFileRecord record;
  record.structSize = request.lStructSize;
  record.owner = request.hwndOwner;
  record.filter = FilterList(request.lpstrFilter);
  record.filterIndex = request.nFilterIndex;
  if (request.lpstrFile != nullptr) {
    record.initialFile = TextOf(request.lpstrFile, request.nMaxFile);
  }
  record.fileBufferSize = request.nMaxFile;
  record.hasFileTitle = request.lpstrFileTitle != nullptr;
  record.fileTitleBufferSize = request.nMaxFileTitle;
  record.initialDir = TextOf(request.lpstrInitialDir);
  record.title = TextOf(request.lpstrTitle);
  record.flags = request.Flags;
  record.hasHook = request.lpfnHook != nullptr;
  record.hasTemplate = request.lpTemplateName != nullptr;
  record.hasCustomFilter = request.lpstrCustomFilter != nullptr;
  record.hasDefaultExtension = request.lpstrDefExt != nullptr;
  return record;
}

// --- paths -------------------------------------------------------------------

std::size_t NameOffset(const std::string& path) {
  const auto separator = path.find_last_of("/\\");
  return separator == std::string::npos ? 0 : separator + 1;
}

bool IsFolder(const std::string& utf8) {
  struct stat info {};
  return ::stat(utf8.empty() ? "." : utf8.c_str(), &info) == 0 &&
         S_ISDIR(info.st_mode);
}

// A file (not a folder) by that name, its name matched without regard to
// case as the target file system matches it.
bool IsFile(const std::string& folder, const std::string& name) {
  if (name.empty()) return false;
  const auto found = FindFileNoCase(folder, name);
  struct stat info {};
  return found && ::stat(found->c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer)
                                                    : std::string("/");
}

// An absolute folder path without "." and ".." parts or a trailing slash.
std::string Normalised(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const auto& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// What the person typed, in UTF-8 and absolute, with '\' taken as the
// target's separator.
std::string Absolute(const std::string& folder, const std::string& ansi) {
  std::string utf8 = AnsiToUtf8(ansi);
  std::replace(utf8.begin(), utf8.end(), '\\', '/');
  if (!utf8.empty() && utf8.front() == '/') return utf8;
  return Join(folder, utf8);
}

bool HasWildcard(const std::string& text) {
  return text.find_first_of("*?") != std::string::npos;
}

// '*' and '?' against a name, without regard to case, as the target matches
// patterns; "*.*" also matches names without a dot.
bool Matches(const char* pattern, const char* name) {
  if (std::strcmp(pattern, "*.*") == 0) return true;
  for (; *pattern != '\0'; ++pattern, ++name) {
    if (*pattern == '*') {
      for (const char* rest = name;; ++rest) {
        if (Matches(pattern + 1, rest)) return true;
        if (*rest == '\0') return false;
      }
    }
    if (*name == '\0') return false;
    if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) !=
                               std::tolower(static_cast<unsigned char>(*name)))
      return false;
  }
  return *name == '\0';
}

bool MatchesAny(const std::string& patterns, const std::string& ansiName) {
  std::size_t start = 0;
  while (start <= patterns.size()) {
    const std::size_t end =
        std::min(patterns.find(';', start), patterns.size());
    std::string one = patterns.substr(start, end - start);
    one.erase(0, one.find_first_not_of(' '));
    while (!one.empty() && one.back() == ' ') one.pop_back();
    if (!one.empty() && Matches(one.c_str(), ansiName.c_str())) return true;
    start = end + 1;
  }
  return false;
}

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
      });
}

// One entry of a folder: its name on disk and as the list shows it.
struct Entry {
  std::string disk;   // UTF-8
  std::string shown;  // ANSI
};

// The files (or the subfolders) of folder, sorted as shown, hidden names
// left out as a file manager leaves them out.
std::vector<Entry> EntriesOf(const std::string& folder, bool folders) {
  std::vector<Entry> entries;
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) return entries;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    if (IsFolder(Join(folder, name)) != folders) continue;
    entries.push_back(Entry{name, Utf8ToAnsi(name)});
  }
  ::closedir(directory);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return LessNoCase(a.shown, b.shown) ||
           (!LessNoCase(b.shown, a.shown) && a.disk < b.disk);
  });
  return entries;
}

// --- handing back
// -------------------------------------------------------------

// Whether the checks of the request let this path be chosen.
bool Acceptable(const std::string& ansiPath, DWORD flags) {
  const std::string path = AnsiToUtf8(ansiPath);
  const std::size_t nameAt = NameOffset(path);
  std::string folder = path.substr(0, nameAt);
  if (folder.size() > 1) folder.pop_back();
  if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !IsFolder(folder)) {
    return false;
  }
  if ((flags & OFN_FILEMUSTEXIST) &&
      !IsFile(folder.empty() ? "." : folder, path.substr(nameAt))) {
    return false;
  }
  return true;
}

// Fills the caller's buffers with the chosen path; false (with the
// extended error set) when lpstrFile cannot hold it.
bool HandBack(OPENFILENAMEA& request, const std::string& path) {
  if (request.lpstrFile == nullptr || path.size() + 1 > request.nMaxFile) {
    // As the target system does, the first two bytes say how much room the
    // path needs, when there are two bytes to say it in.
    if (request.lpstrFile != nullptr && request.nMaxFile >= 2) {
      const WORD needed = static_cast<WORD>(
          path.size() + 1 > 0xffff ? 0xffff : path.size() + 1);
      std::memcpy(request.lpstrFile, &needed, sizeof needed);
    }
    tExtendedError = FNERR_BUFFERTOOSMALL;
    return false;
  }
  std::memcpy(request.lpstrFile, path.c_str(), path.size() + 1);
  const std::size_t nameAt = NameOffset(path);
  const std::string name = path.substr(nameAt);
  request.nFileOffset = static_cast<WORD>(nameAt);
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos) {
    request.nFileExtension = static_cast<WORD>(path.size());
  } else if (dot + 1 == name.size()) {
    request.nFileExtension = 0;
  } else {
    request.nFileExtension = static_cast<WORD>(nameAt + dot + 1);
  }
  if (request.lpstrFileTitle != nullptr && request.nMaxFileTitle > 0) {
    const std::size_t length = name.size() < request.nMaxFileTitle
                                   ? name.size()
                                   : request.nMaxFileTitle - 1;
    std::memcpy(request.lpstrFileTitle, name.data(), length);
    request.lpstrFileTitle[length] = '\0';
  }
  return true;
}

// --- the dialog
// ------------------------------------------------------------------

// What one open dialog holds while it runs; it lives on GetOpenFileNameA's
// stack and the dialog finds it through DWLP_USER.
struct OpenFileDialog {
  OPENFILENAMEA* request = nullptr;
  std::vector<Filter> filters;
  std::string folder;    // UTF-8, absolute
  std::string patterns;  // ANSI, what the file list shows
  std::vector<Entry> files;
  std::vector<std::string> folderPaths;  // per item of the folder list
  std::string chosen;                    // ANSI full path, once chosen
  std::string title;
};

OpenFileDialog* DialogData(HWND dialog) {
  return reinterpret_cast<OpenFileDialog*>(
      GetWindowLongPtrA(dialog, DWLP_USER));
}

std::string ItemText(HWND dialog, int id) {
  char text[1024] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void FillFiles(HWND dialog, OpenFileDialog& data) {
  SendDlgItemMessageA(dialog, ids::kFileList, LB_RESETCONTENT, 0, 0);
  data.files.clear();
  for (auto& entry : EntriesOf(data.folder, false)) {
    if (!MatchesAny(data.patterns, entry.shown)) continue;
    SendDlgItemMessageA(dialog, ids::kFileList, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(entry.shown.c_str()));
    data.files.push_back(std::move(entry));
  }
}

// The path from the root down, one item per level, each indented one step
// more; then the subfolders of the current folder one step further in.
void FillFolders(HWND dialog, OpenFileDialog& data) {
  SendDlgItemMessageA(dialog, ids::kFolderList, LB_RESETCONTENT, 0, 0);
  data.folderPaths.clear();
  auto add = [&](const std::string& shown, std::string path) {
    SendDlgItemMessageA(dialog, ids::kFolderList, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(shown.c_str()));
    data.folderPaths.push_back(std::move(path));
  };
  add("/", "/");
  std::string path;
  std::size_t depth = 1;
  std::size_t start = 1;
  while (start < data.folder.size()) {
    const std::size_t end =
        std::min(data.folder.find('/', start), data.folder.size());
    const std::string part = data.folder.substr(start, end - start);
    path += "/" + part;
    add(std::string(2 * depth, ' ') + Utf8ToAnsi(part), path);
    ++depth;
    start = end + 1;
  }
  SendDlgItemMessageA(dialog, ids::kFolderList, LB_SETCURSEL,
                      data.folderPaths.size() - 1, 0);
  for (const auto& entry : EntriesOf(data.folder, true)) {
    add(std::string(2 * depth, ' ') + entry.shown,
        Join(data.folder, entry.disk));
  }
  SetDlgItemTextA(dialog, ids::kFolderLabel, Utf8ToAnsi(data.folder).c_str());
}

void ShowFolder(HWND dialog, OpenFileDialog& data, const std::string& folder) {
  data.folder = Normalised(folder);
  FillFolders(dialog, data);
  FillFiles(dialog, data);
}

void Warn(HWND dialog, const OpenFileDialog& data, const std::string& text) {
  MessageBoxA(dialog, text.c_str(), data.title.c_str(),
              MB_OK | MB_ICONEXCLAMATION);
  // The dialog takes the keys back from its message.
  SetForegroundWindow(dialog);
  HWND name = GetDlgItem(dialog, ids::kFileName);
  SetFocus(name);
  SendMessageA(name, EM_SETSEL, 0, -1);
}

// Where the dialog starts: the request's initial folder, else the folder of
// a path in the file name, else the current folder.
std::string StartFolder(const OPENFILENAMEA& request, std::string& name) {
  const std::string initial = TextOf(request.lpstrInitialDir);
  const std::string current = CurrentFolder();
  const std::size_t nameAt = NameOffset(name);
  if (nameAt > 0) {
    const std::string folder = Absolute(current, name.substr(0, nameAt));
    if (IsFolder(folder)) {
      name.erase(0, nameAt);
      return folder;
    }
  }
  if (!initial.empty()) {
    const std::string folder = Absolute(current, initial);
    if (IsFolder(folder)) return folder;
  }
  return current;
}

LRESULT InitDialog(HWND dialog, OpenFileDialog& data) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&data));
  OPENFILENAMEA& request = *data.request;
  SetWindowTextA(dialog, data.title.c_str());
  for (const auto& filter : data.filters) {
    SendDlgItemMessageA(dialog, ids::kFileTypes, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(filter.description.c_str()));
  }
  std::size_t index = request.nFilterIndex > 0 ? request.nFilterIndex - 1 : 0;
  if (index >= data.filters.size()) index = 0;
  SendDlgItemMessageA(dialog, ids::kFileTypes, CB_SETCURSEL, index, 0);
  data.patterns = data.filters.empty() ? "*.*" : data.filters[index].patterns;

  std::string name;
  if (request.lpstrFile != nullptr)
    name = TextOf(request.lpstrFile, request.nMaxFile);
  const std::string folder = StartFolder(request, name);
  if (HasWildcard(name)) data.patterns = name;
  SetDlgItemTextA(dialog, ids::kFileName,
                  (name.empty() ? data.patterns : name).c_str());
  if (request.Flags & OFN_HIDEREADONLY) {
    ShowWindow(GetDlgItem(dialog, kReadOnlyBox), SW_HIDE);
  } else if (request.Flags & OFN_READONLY) {
    CheckDlgButton(dialog, kReadOnlyBox, BST_CHECKED);
  }
  ShowFolder(dialog, data, folder);
  // The dialog comes to the front with the keys, as the person expects of a
  // window they just asked for.
  SetForegroundWindow(dialog);
  HWND edit = GetDlgItem(dialog, ids::kFileName);
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  return FALSE;  // the focus is set
}

// The file the person named: an item of the list by its shown name first
// (so a name shown with '?' for what the code page lacks still finds its
// file), else the typed path.
std::string DiskPathOf(const OpenFileDialog& data, const std::string& typed) {
  for (const auto& file : data.files) {
    if (file.shown == typed) return Join(data.folder, file.disk);
  }
  return Absolute(data.folder, typed);
}

void Choose(HWND dialog, OpenFileDialog& data, const std::string& utf8Path) {
  data.chosen = Utf8ToAnsi(utf8Path);
  if (!(data.request->Flags & OFN_HIDEREADONLY)) {
    if (IsDlgButtonChecked(dialog, kReadOnlyBox) == BST_CHECKED) {
      data.request->Flags |= OFN_READONLY;
    } else {
      data.request->Flags &= ~OFN_READONLY;
    }
  }
  EndDialog(dialog, IDOK);
}

// OK, Enter, or a double click on a file: what the name field holds is a
// folder to go to, a pattern to list, or the file to choose.
void Ok(HWND dialog, OpenFileDialog& data) {
  HWND focus = GetFocus();
  if (focus == GetDlgItem(dialog, ids::kFolderList)) {
    const LRESULT at =
        SendDlgItemMessageA(dialog, ids::kFolderList, LB_GETCURSEL, 0, 0);
    if (at >= 0 && static_cast<std::size_t>(at) < data.folderPaths.size())
      ShowFolder(dialog, data, data.folderPaths[static_cast<std::size_t>(at)]);
    return;
  }
  std::string typed = ItemText(dialog, ids::kFileName);
  typed.erase(0, typed.find_first_not_of(' '));
  while (!typed.empty() && typed.back() == ' ') typed.pop_back();
  if (typed.empty()) return;
  const DWORD flags = data.request->Flags;
  const std::string path = DiskPathOf(data, typed);
  const std::size_t nameAt = NameOffset(path);
  const std::string folder = nameAt <= 1 ? "/" : path.substr(0, nameAt - 1);
  const std::string name = path.substr(nameAt);
  const bool listed =
      std::any_of(data.files.begin(), data.files.end(),
                  [&](const Entry& f) { return f.shown == typed; });
  if (!listed && IsFolder(path)) {
    ShowFolder(dialog, data, path);
    SetDlgItemTextA(dialog, ids::kFileName, data.patterns.c_str());
    return;
  }
  if (!listed && HasWildcard(name)) {
    if (!IsFolder(folder)) {
      Warn(dialog, data,
           Utf8ToAnsi(folder) +
               "\nPath does not exist.\nPlease verify the correct path was "
               "given.");
      return;
    }
    data.patterns = Utf8ToAnsi(name);
    ShowFolder(dialog, data, folder);
    SetDlgItemTextA(dialog, ids::kFileName, data.patterns.c_str());
    return;
  }
  if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !IsFolder(folder)) {
    Warn(dialog, data,
         Utf8ToAnsi(folder) +
             "\nPath does not exist.\nPlease verify the correct path was "
             "given.");
    return;
  }
  if ((flags & OFN_FILEMUSTEXIST) && !IsFile(folder, name)) {
    Warn(dialog, data,
         typed +
             "\nFile not found.\nPlease verify the correct file name was "
             "given.");
    return;
  }
  const auto found = FindFileNoCase(folder, name);
  Choose(dialog, data, found ? *found : path);
}

void FileListChanged(HWND dialog, OpenFileDialog& data, WORD code) {
  const LRESULT at =
      SendDlgItemMessageA(dialog, ids::kFileList, LB_GETCURSEL, 0, 0);
  if (at < 0 || static_cast<std::size_t>(at) >= data.files.size()) return;
  SetDlgItemTextA(dialog, ids::kFileName,
                  data.files[static_cast<std::size_t>(at)].shown.c_str());
  if (code == LBN_DBLCLK) {
    SetFocus(GetDlgItem(dialog, ids::kFileName));
    Ok(dialog, data);
  }
}

void FolderListDoubleClicked(HWND dialog, OpenFileDialog& data) {
  const LRESULT at =
      SendDlgItemMessageA(dialog, ids::kFolderList, LB_GETCURSEL, 0, 0);
  if (at < 0 || static_cast<std::size_t>(at) >= data.folderPaths.size()) return;
  ShowFolder(dialog, data, data.folderPaths[static_cast<std::size_t>(at)]);
  SetDlgItemTextA(dialog, ids::kFileName, data.patterns.c_str());
}

void TypeChanged(HWND dialog, OpenFileDialog& data) {
  const LRESULT at =
      SendDlgItemMessageA(dialog, ids::kFileTypes, CB_GETCURSEL, 0, 0);
  if (at < 0 || static_cast<std::size_t>(at) >= data.filters.size()) return;
  data.patterns = data.filters[static_cast<std::size_t>(at)].patterns;
  SetDlgItemTextA(dialog, ids::kFileName, data.patterns.c_str());
  FillFiles(dialog, data);
}

INT_PTR Command(HWND dialog, WPARAM wParam) {
  OpenFileDialog* data = DialogData(dialog);
  if (data == nullptr) return FALSE;
  const WORD code = HIWORD(wParam);
  switch (LOWORD(wParam)) {
    case IDOK:
      Ok(dialog, *data);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case ids::kFileList:
      if (code == LBN_SELCHANGE || code == LBN_DBLCLK)
        FileListChanged(dialog, *data, code);
      return TRUE;
    case ids::kFolderList:
      if (code == LBN_DBLCLK) FolderListDoubleClicked(dialog, *data);
      return TRUE;
    case ids::kFileTypes:
      if (code == CBN_SELCHANGE) TypeChanged(dialog, *data);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK OpenFileDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                    LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return InitDialog(dialog, *reinterpret_cast<OpenFileDialog*>(lParam));
    case WM_COMMAND:
      return Command(dialog, wParam);
    default:
      return FALSE;
  }
}

// The person's choice: an ANSI path, or nullopt when they cancelled.
std::optional<std::string> RunDialog(OPENFILENAMEA& request) {
  OpenFileDialog data;
  data.request = &request;
  data.filters = FiltersOf(FilterList(request.lpstrFilter));
  data.title = TextOf(request.lpstrTitle);
  if (data.title.empty()) data.title = "Open";
  const INT_PTR result = DialogBoxParamA(
      nullptr, MAKEINTRESOURCEA(kOpenFileTemplate), request.hwndOwner,
      OpenFileDialogProc, reinterpret_cast<LPARAM>(&data));
  if (result != IDOK) return std::nullopt;
  return data.chosen;
}

// Whether anybody could see the dialog: not on the null driver, which has
// no display.
bool DialogCanBeSeen() { return std::strcmp(TheDriver().name, "null") != 0; }

}  // namespace
}  // namespace vt::platform

BOOL GetOpenFileNameA(LPOPENFILENAMEA request) {
  using namespace vt::platform;
  if (request == nullptr) {
    tExtendedError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (request->lStructSize != OPENFILENAME_SIZE_VERSION_400A &&
      request->lStructSize != sizeof(OPENFILENAMEA)) {
    // Nothing past the size is read: the record may be shorter than ours.
    vt::testing::OpenFileRecord refused;
    refused.structSize = request->lStructSize;
    RecordOpenFile(std::move(refused));
    tExtendedError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  tExtendedError = 0;
  vt::testing::OpenFileRecord record = Describe(*request);
  std::optional<std::string> answer;
  const auto script = NextOpenFileScript();
  if (script ? script->answer == OpenFileAnswer::Show : DialogCanBeSeen()) {
    answer = RunDialog(*request);
    record.shown = true;
  } else if (script && script->answer == OpenFileAnswer::Choose) {
    answer = script->path;
    if (!answer->empty() && !Acceptable(*answer, request->Flags)) {
      // The dialog would keep asking for an existing file; the script has
      // no second answer for this dialog, so the person gives up.
      record.refusedMissing = true;
      answer.reset();
    }
  }
  const bool chosen = answer && !answer->empty() && HandBack(*request, *answer);
  if (chosen) record.chosen = *answer;
  record.succeeded = chosen;
  RecordOpenFile(std::move(record));
  return chosen ? TRUE : FALSE;
}

DWORD CommDlgExtendedError() { return vt::platform::tExtendedError; }
