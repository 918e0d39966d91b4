// What reaches beyond one thread's windows: message boxes, windows of
// other processes, the screen-saver setting, metrics. Other processes are
// real: a copy of this test program, started in a role.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/internal/driver.h"
#include "platform/internal/platform.h"
#include "platform/user/user_test_support.h"
#include "vtresource.h"

extern char** environ;

namespace {

using vt::user_test::NewRecorder;

class System : public vt::user_test::UserTest {};

// --- a copy of this program in a role ---------------------------------------

struct Child {
  pid_t pid = -1;
  int signal = -1;  // what the child writes to its fd 3
  int input = -1;   // the child's stdin; closing it ends a waiting child
  int errors = -1;  // the child's stderr
};

Child Spawn(const char* role, std::vector<std::string> extra = {}) {
  int signalPipe[2], inputPipe[2], errorPipe[2];
  EXPECT_EQ(pipe(signalPipe), 0);
  EXPECT_EQ(pipe(inputPipe), 0);
  EXPECT_EQ(pipe(errorPipe), 0);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    // The child's own settings come after; an inherited display or driver
    // choice would be found first and win.
    if (std::strncmp(*e, "VELLUMTIDE_", 11) != 0 &&
        std::strncmp(*e, "DISPLAY=", 8) != 0)
      env.emplace_back(*e);
  }
  env.push_back(std::string("VT_USER_CHILD_ROLE=") + role);
  env.push_back("VT_USER_CHILD_ROOT=" + vt::platform::SystemRoot());
  for (auto& e : extra) env.push_back(e);
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string exe = "/proc/self/exe";
  std::string filter = "--gtest_filter=UserChildProcess.Role";
  char* argv[] = {exe.data(), filter.data(), nullptr};
  Child child;
  child.pid = fork();
  if (child.pid == 0) {
    dup2(inputPipe[0], 0);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(errorPipe[1], 2);
    dup2(signalPipe[1], 3);
    execve(exe.c_str(), argv, envp.data());
    _exit(127);
  }
  close(signalPipe[1]);
  close(inputPipe[0]);
  close(errorPipe[1]);
  child.signal = signalPipe[0];
  child.input = inputPipe[1];
  child.errors = errorPipe[0];
  return child;
}

// Everything the fd gives until it closes, or until ten seconds pass.
std::string ReadAll(int fd, const char* until = nullptr) {
  std::string all;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[512];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    all.append(buffer, static_cast<std::size_t>(n));
    if (until && all.find(until) != std::string::npos) break;
  }
  return all;
}

int Finish(Child& child) {
  for (int* fd : {&child.signal, &child.input, &child.errors}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  int status = 0;
  waitpid(child.pid, &status, 0);
  return status;
}

LRESULT CALLBACK ChildWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, m, wp, lp);
}

TEST(UserChildProcess, Role) {
  const char* role = std::getenv("VT_USER_CHILD_ROLE");
  if (!role) GTEST_SKIP() << "a role for a copy of this program, started below";
  setenv("VELLUMTIDE_ROOT", std::getenv("VT_USER_CHILD_ROOT"), 1);
  if (std::strcmp(role, "window") == 0) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ChildWindowProc;
    wc.lpszClassName = "VtFindChild";
    RegisterClassA(&wc);
    CreateWindowExA(0, "VtFindChild", "Child Title", WS_OVERLAPPEDWINDOW, 0, 0,
                    10, 10, nullptr, nullptr, nullptr, nullptr);
    (void)!write(3, "ready\n", 6);
    char c;
    while (read(0, &c, 1) > 0) {
    }
  } else if (std::strcmp(role, "answers") == 0) {
    std::string line = "answers:";
    line +=
        " " + std::to_string(MessageBoxA(nullptr, "First?", "Ask", MB_YESNO));
    line +=
        " " + std::to_string(MessageBoxA(nullptr, "Second?", "Ask", MB_YESNO));
    line +=
        " " + std::to_string(MessageBoxA(nullptr, "Third?", "Ask", MB_YESNO));
    line +=
        " " + std::to_string(MessageBoxA(
                  nullptr, "Cannot find Velto.DLL\nIn the current directory",
                  "Velto Error", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND));
    line += "\n";
    (void)!write(3, line.data(), line.size());
  } else if (std::strcmp(role, "never-a-window") == 0) {
    // No window is ever made; the request ends the process after its
    // grace period, while the main thread waits for input that never
    // comes.
    vt::platform::SetTerminationGrace(std::chrono::milliseconds(50));
    vt::platform::OnTerminationRequest();
    char c;
    while (read(0, &c, 1) > 0) {
    }
    (void)!write(3, "still here\n", 11);
  } else if (std::strcmp(role, "driver") == 0) {
    std::string line =
        std::string("driver: ") + vt::platform::TheDriver().name + "\n";
    (void)!write(3, line.data(), line.size());
  }
}

bool RunEntryOf(pid_t pid) {
  std::string folder = vt::platform::SystemRoot() + "/run";
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  std::string mark = "." + std::to_string(pid) + ".";
  while (dirent* e = readdir(dir)) {
    if (std::string(e->d_name).find(mark) != std::string::npos) found = true;
  }
  closedir(dir);
  return found;
}

TEST_F(System, FindWindowSeesAnotherProcessUntilItDies) {
  Child child = Spawn("window");
  ASSERT_NE(ReadAll(child.signal, "ready").find("ready"), std::string::npos);

  HWND theirs = FindWindowA("vtfindchild", nullptr);
  ASSERT_NE(theirs, nullptr) << "class names compare without regard to case";
  EXPECT_TRUE(IsWindow(theirs));
  DWORD pid = 0;
  GetWindowThreadProcessId(theirs, &pid);
  EXPECT_EQ(pid, static_cast<DWORD>(child.pid));
  EXPECT_EQ(FindWindowA("VtFindChild", "child title"), theirs);
  EXPECT_EQ(FindWindowA("VtFindChild", "Another Title"), nullptr);
  char title[32];
  EXPECT_EQ(GetWindowTextA(theirs, title, sizeof title), 11);
  EXPECT_STREQ(title, "Child Title");
  // Another process's window is seen, not reached.
  EXPECT_EQ(SendMessageA(theirs, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(theirs, WM_CLOSE, 0, 0));
  EXPECT_FALSE(DestroyWindow(theirs));

  kill(child.pid, SIGKILL);
  Finish(child);
  EXPECT_EQ(FindWindowA("VtFindChild", nullptr), nullptr);
  EXPECT_FALSE(IsWindow(theirs));
  EXPECT_FALSE(RunEntryOf(child.pid)) << "a dead process's entry is removed";
}

TEST_F(System, FindWindowPrefersThisProcessAndIgnoresUnlockedEntries) {
  std::string folder = vt::platform::SystemRoot() + "/run";
  mkdir(folder.c_str(), 0700);
  std::string stale = folder + "/vtrecorder.999999.10010";
  int fd = open(stale.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  (void)!write(fd, "1\nrecorder", 10);
  close(fd);
  EXPECT_EQ(FindWindowA("VtRecorder", nullptr), nullptr);
  EXPECT_NE(access(stale.c_str(), F_OK), 0) << "nobody held it, so it went";

  HWND mine = NewRecorder("Mine");
  EXPECT_EQ(FindWindowA("VTRECORDER", "mine"), mine);
  EXPECT_TRUE(RunEntryOf(getpid()));
  DestroyWindow(mine);
  EXPECT_FALSE(RunEntryOf(getpid()));
  EXPECT_EQ(FindWindowA("VtRecorder", nullptr), nullptr);
}

TEST_F(System, MessageBoxesAnswerWithTheirDefaultButton) {
  struct Case {
    UINT type;
    int answer;
  } cases[] = {
      {MB_OK, IDOK},
      {MB_OK | MB_DEFBUTTON3, IDOK},
      {MB_OKCANCEL, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNO | MB_ICONWARNING, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
      {MB_RETRYCANCEL, IDRETRY},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", c.type), c.answer);
  }
  auto boxes = vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), std::size(cases));
  EXPECT_EQ(boxes[4].type, MB_YESNO | MB_ICONWARNING);
  EXPECT_EQ(boxes[4].answer, IDYES);
}

TEST_F(System, MessageBoxDisablesItsOwnerAndTakesScriptedAnswersInOrder) {
  HWND owner = NewRecorder("owner");
  HWND child = NewRecorder("child", WS_CHILD | WS_VISIBLE, owner, 9);
  ShowWindow(owner, SW_SHOW);
  std::atomic<int> enabledInside{-1};
  vt::testing::WhenIdle([&] { enabledInside = IsWindowEnabled(owner); });
  vt::testing::ScriptMessageBoxAnswers({IDNO, IDCANCEL});
  EXPECT_EQ(MessageBoxA(child, "Sure?", "Question", MB_YESNOCANCEL), IDNO);
  EXPECT_EQ(enabledInside, FALSE) << "the owner's top-level window is disabled";
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(MessageBoxA(owner, "Again?", "Question", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxA(owner, "Once more?", "Question", MB_YESNOCANCEL), IDYES)
      << "the script ran out";
  auto boxes = vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "Sure?");
  EXPECT_EQ(boxes[0].caption, "Question");
  EXPECT_EQ(boxes[0].owner, child);
  EXPECT_TRUE(boxes[0].ownerWasDisabled);
  EXPECT_EQ(boxes[0].threadId, GetCurrentThreadId());
  EXPECT_EQ(boxes[0].answer, IDNO);
}

TEST_F(System, MessageBoxOfAnotherThreadIsSeenByWaiting) {
  HWND owner = NewRecorder("owner");
  std::atomic<DWORD> threadId{0};
  std::thread listener([&] {
    threadId = GetCurrentThreadId();
    MessageBoxA(owner, "Listen failed", "Velto Error 04",
                MB_OK | MB_ICONWARNING);
  });
  EXPECT_TRUE(vt::testing::WaitForMessageBoxes(1));
  listener.join();
  auto boxes = vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].threadId, threadId);
  EXPECT_TRUE(boxes[0].ownerWasDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_FALSE(vt::testing::WaitForMessageBoxes(2, 50));
}

TEST_F(System, AnswersFromTheEnvironmentAndEveryBoxOnStandardError) {
  Child child = Spawn("answers", {"VELLUMTIDE_ANSWERS=no, Yes"});
  std::string answers = ReadAll(child.signal, "\n");
  std::string errors = ReadAll(child.errors);
  EXPECT_EQ(Finish(child), 0);
  EXPECT_EQ(answers, "answers: 7 6 6 1\n") << "then the default button";
  EXPECT_NE(errors.find("Ask: First?\nAsk: Second?\nAsk: Third?\n"),
            std::string::npos)
      << errors;
  EXPECT_NE(
      errors.find(
          "Velto Error: Cannot find Velto.DLL\nIn the current directory\n"),
      std::string::npos)
      << errors;
}

TEST_F(System, AskingForTheMissingX11DriverFallsBackToTheHeadlessOne) {
  Child child = Spawn("driver", {"VELLUMTIDE_DRIVER=x11", "DISPLAY=:99",
                                 "VT_TEST_KEEP_DRIVER=1"});
  std::string said = ReadAll(child.signal, "\n");
  std::string errors = ReadAll(child.errors);
  EXPECT_EQ(Finish(child), 0);
  EXPECT_EQ(said, "driver: null\n");
  EXPECT_NE(errors.find("VELLUMTIDE_DRIVER=x11"), std::string::npos) << errors;
  EXPECT_NE(errors.find("using the headless driver"), std::string::npos)
      << errors;
}

TEST_F(System, AProcessThatMakesNoWindowStillEndsOnATerminationRequest) {
  Child child = Spawn("never-a-window");
  std::string said = ReadAll(child.signal);
  int status = Finish(child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 143);
  EXPECT_EQ(said, "");
}

TEST_F(System, ScreenSaverTimeOutComesFromTheDesktopKey) {
  UINT seconds = 99;
  EXPECT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &seconds, 0));
  EXPECT_EQ(seconds, 0u) << "absent means none";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char text[] = "600";
  RegSetValueExA(key, "ScreenSaveTimeOut", 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(key);
  EXPECT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &seconds, 0));
  EXPECT_EQ(seconds, 600u);
  EXPECT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, 900, nullptr, 0));
  EXPECT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &seconds, 0));
  EXPECT_EQ(seconds, 900u);
  EXPECT_FALSE(SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, nullptr, 0));
}

constexpr int kFixedDialog = 9003;
const vtres::DialogItem kFixedItems[] = {
    {"EDIT", "", 10, ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_VISIBLE, 0, 7,
     7, 100, 50}};
const vtres::Dialog kFixedTemplate = {
    WS_CAPTION | WS_SYSMENU, 0, 0,           0, 120, 64, "Fixed",
    "Courier New",           8, kFixedItems, 1};
VT_RESOURCE(Dialog, kFixedDialog, kFixedTemplate);

TEST_F(System, MetricsOfTheHeadlessScreenAndFonts) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  vt::testing::SetScreenSize(800, 600);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  vt::testing::SetScreenSize(1024, 768);
  EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(6, 13));

  HWND dialog = CreateDialogParamA(
      nullptr, MAKEINTRESOURCEA(kFixedDialog), nullptr,
      [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  ASSERT_NE(dialog, nullptr);
  HWND edit = GetDlgItem(dialog, 10);
  HDC dc = GetDC(edit);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmAveCharWidth, 6);
  EXPECT_EQ(tm.tmHeight, 13);
  EXPECT_EQ(tm.tmMaxCharWidth, 6) << "a fixed-pitch face";
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "abcd", 4, &size));
  EXPECT_EQ(size.cx, 24);
  RECT r{0, 0, 1000, 0};
  EXPECT_EQ(DrawTextA(dc, "one\r\ntwo\r\nthree", -1, &r, DT_CALCRECT), 39);
  EXPECT_EQ(r.right, 30);
  ReleaseDC(edit, dc);
  // The multi-line edit keeps CR LF text as it is given.
  SetWindowTextA(edit, "a\r\nb\r\n");
  EXPECT_EQ(vt::testing::TextOf(edit), "a\r\nb\r\n");
  EXPECT_EQ(SendMessageA(edit, EM_GETLINECOUNT, 0, 0), 3);
}

}  // namespace
