// The query window, the query thread and the response window: what the
// window shows of an answer, what typing sends, which failures show no
// window, and queries that run side by side.
#include "client/query_windows.h"

#include <gtest/gtest.h>
#include <vttest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "client/client_fixture.h"
#include "client/loopback_servers.h"

namespace {

using clienttest::ClientTest;
using clienttest::Outcome;
using clienttest::ResponseWindows;
using loopback::Ending;
using loopback::FingerServer;

std::string Converted(const std::string& answer,
                      int size = kDisplayBufferSize) {
  std::vector<char> display(static_cast<std::size_t>(size) + 1, '#');
  int length = ConvertAnswerForDisplay(answer.c_str(), display.data(), size);
  EXPECT_EQ(display[static_cast<std::size_t>(length)], '\0');
  EXPECT_EQ(display[static_cast<std::size_t>(size)], '#');  // never past size
  return std::string(display.data(), static_cast<std::size_t>(length));
}

TEST(ResponseConversion, EveryLineShown) {
  // Columns: answer as received, text of the edit control.
  const struct {
    const char* answer;
    const char* shown;
  } kCases[] = {
      {"a\nb\n", "a\r\nb\r\n"},
      {"a\nb", "a\r\nb"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"no line end at all", "no line end at all"},
      {"lone\rcr\n", "lone\rcr\r\n"},
      {"two\r\r\n", "two\r\r\n"},
      {"\n\n", "\r\n\r\n"},
      {"", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.answer);
    EXPECT_EQ(Converted(c.answer), c.shown);
  }
}

// A converted answer longer than the buffer is cut at a character, never
// between the CR and LF of a line end, and stays terminated.
TEST(ResponseConversion, CutsSafelyAtTheBufferSize) {
  // Columns: answer, buffer size, text kept.
  const struct {
    const char* answer;
    int size;
    const char* shown;
  } kCases[] = {
      {"abcdef", 4, "abc"},
      {"ab\ncd", 4, "ab"},  // CR LF would not fit after "ab"
      {"ab\ncd", 5, "ab\r\n"},
      {"a\r\nb", 3, "a"},  // dropping the CR frees no room for half
      {"x", 1, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.answer);
    EXPECT_EQ(Converted(c.answer, c.size), c.shown);
  }
  const std::string big = loopback::NumberedLines(kFingerAnswerSize - 1);
  std::string shown = Converted(big);
  EXPECT_EQ(shown.size(), std::size_t{kDisplayBufferSize - 1});
  EXPECT_EQ(shown, big.substr(0, shown.size()));
}

class QueryWindowsTest : public ClientTest {
 protected:
  // The query window as a person uses it, with empty entries: types user
  // and host and presses Enter.
  void TypeIntoQueryWindow(const char* user, const char* host) {
    HWND dialog = nullptr;
    vt::testing::WhenIdle([&] {
      dialog = GetActiveWindow();
      EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_QUERY_USER));
      vt::testing::TypeText(user);
    });
    // Keys go to the window that has the focus when they are given, so the
    // host is typed once the Tab has moved it.
    vt::testing::WhenIdle([] { vt::testing::PressKey(VK_TAB); });
    vt::testing::WhenIdle([&] {
      EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_QUERY_HOST));
      vt::testing::TypeText(host);
    });
    vt::testing::WhenIdle([] { vt::testing::PressKey(VK_RETURN); });
    ShowQueryWindow();
    EXPECT_FALSE(IsWindow(dialog));
  }

  // Waits for a response window and closes it; returns its text.
  std::string ReadAndCloseResponse() {
    EXPECT_TRUE(vt::testing::PumpUntil(
        [] { return !ResponseWindows().empty(); }, clienttest::kQueryWaitMs));
    std::vector<HWND> windows = ResponseWindows();
    if (windows.empty()) return "<no window>";
    std::string shown = clienttest::ShownText(windows[0]);
    PostMessageA(windows[0], WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(vt::testing::PumpUntil([&] { return !IsWindow(windows[0]); },
                                       clienttest::kQueryWaitMs));
    return shown;
  }
};

// What the entries send: given to the query thread as they are, or typed
// into the query window, whose edits lower-case them.
TEST_F(QueryWindowsTest, RequestBytes) {
  enum class Entry { Given, Typed };
  // Columns: how the user is entered, the user, bytes the server receives.
  const struct {
    Entry entry;
    const char* user;
    const char* request;
  } kCases[] = {
      {Entry::Given, "alice", "/W alice\r\n"},
      {Entry::Given, "", "\r\n\r\n"},
      {Entry::Typed, "Alice", "/W alice\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.user);
    queryUser[0] = '\0';
    queryHost[0] = '\0';
    FingerServer server("127.0.0.1", 0, {{"Login: alice\r\n", 0}});
    ASSERT_TRUE(server.ok());
    SetFingerQueryPort(server.port());
    if (c.entry == Entry::Typed) {
      TypeIntoQueryWindow(c.user, "127.0.0.1");
      EXPECT_STREQ(queryUser, "alice");
      EXPECT_STREQ(queryHost, "127.0.0.1");
      EXPECT_EQ(ReadAndCloseResponse(), "Login: alice\r\n");
    } else {
      Outcome outcome = QueryThroughThread(c.user, "127.0.0.1");
      EXPECT_TRUE(outcome.responseShown);
      EXPECT_EQ(outcome.shown, "Login: alice\r\n");
      EXPECT_TRUE(outcome.threadEnded);
    }
    EXPECT_EQ(server.WaitForRequest(), c.request);
  }
}

// The window shows the last entries again, and Cancel starts nothing.
TEST_F(QueryWindowsTest, QueryWindowKeepsTheLastEntries) {
  std::strcpy(queryUser, "alice");
  std::strcpy(queryHost, "tea.party");
  HWND dialog = nullptr;
  std::string user, host, caption;
  vt::testing::WhenIdle([&] {
    dialog = GetActiveWindow();
    caption = vt::testing::TextOf(dialog);
    user = vt::testing::TextOf(GetDlgItem(dialog, IDC_QUERY_USER));
    host = vt::testing::TextOf(GetDlgItem(dialog, IDC_QUERY_HOST));
    vt::testing::PressKey(VK_ESCAPE);
  });
  ShowQueryWindow();
  EXPECT_EQ(caption, "Vellumtide Finger");
  EXPECT_EQ(user, "alice");
  EXPECT_EQ(host, "tea.party");
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_TRUE(clienttest::MessageTexts().empty());
  EXPECT_TRUE(ResponseWindows().empty());
}

// The query window returns at once; the query runs on while the main
// thread goes on with its messages, and its answer arrives later.
TEST_F(QueryWindowsTest, MainThreadNeverWaitsForTheQuery) {
  FingerServer server("127.0.0.1", 0, {}, Ending::Hold);
  ASSERT_TRUE(server.ok());
  SetFingerQueryPort(server.port());
  TypeIntoQueryWindow("alice", "127.0.0.1");
  // The server has not answered, and with the normal bound the query cannot
  // have ended: the window did not wait for it.
  EXPECT_TRUE(ResponseWindows().empty());
  EXPECT_TRUE(clienttest::MessageTexts().empty());
  ASSERT_TRUE(vt::testing::PumpUntil([&] { return server.Connected(); },
                                     clienttest::kQueryWaitMs));
  server.Release();
  EXPECT_EQ(ReadAndCloseResponse(), "");
  EXPECT_EQ(server.WaitForRequest(), "/W alice\r\n");
}

TEST_F(QueryWindowsTest, WholeAnswerShownLineByLine) {
  // Columns: the pieces the server sends (with pauses), the text shown.
  const std::string big = loopback::NumberedLines(100 * 1024);
  const struct {
    const char* name;
    std::vector<loopback::Piece> pieces;
    std::string shown;
  } kCases[] = {
      {"pieces",
       {{"Login: alice\r\n", 0}, {"Plan:\n", 300}, {"Tea at four.", 500}},
       "Login: alice\r\nPlan:\r\nTea at four."},
      {"100 KB", {{big, 0}}, Converted(big.substr(0, kFingerAnswerSize - 1))},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    FingerServer server("127.0.0.1", 0, c.pieces);
    ASSERT_TRUE(server.ok());
    SetFingerQueryPort(server.port());
    Outcome outcome = QueryThroughThread("alice", "127.0.0.1");
    EXPECT_TRUE(outcome.responseShown);
    EXPECT_EQ(outcome.shown, c.shown);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_TRUE(outcome.threadEnded);
  }
}

// Failures before the request goes out: each shows its message and no
// response window, and the thread ends by itself.
TEST_F(QueryWindowsTest, FailuresShowTheirMessageAndNoWindow) {
  loopback::RefusingPort refusing;
  ASSERT_NE(refusing.port(), 0);
  FingerServer listening("127.0.0.1", 0, {{"unused\r\n", 0}});
  ASSERT_TRUE(listening.ok());
  // Columns: case, host, port, winsock call made to fail, message shown.
  const struct {
    const char* name;
    const char* host;
    unsigned short port;
    const char* failing;
    const char* message;
  } kCases[] = {
      {"unknown host", "no-such-host.invalid", 79, nullptr,
       "Unknown remote host"},
      {"digit first", "1stfloor", 79, nullptr, "Unknown remote host"},
      {"broadcast", "255.255.255.255", 79, nullptr, "Unknown remote host"},
      {"refused", "127.0.0.1", refusing.port(), nullptr,
       "Sorry, couldn't send finger request"},
      {"no socket", "127.0.0.1", listening.port(), "socket",
       "Sorry, could not send finger request"},
      {"receive buffer", "127.0.0.1", listening.port(), "setsockopt",
       "Sorry, couldn't send finger request"},
      {"send", "127.0.0.1", listening.port(), "send",
       "Sorry, couldn't send finger request"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    vt::testing::Reset();
    SetFingerQueryPort(c.port);
    if (c.failing != nullptr) {
      vt::testing::FailSocketCall(c.failing, WSAENOBUFS);
    }
    Outcome outcome = QueryThroughThread("alice", c.host);
    vt::testing::ClearSocketFailures();
    EXPECT_FALSE(outcome.responseShown);
    EXPECT_TRUE(outcome.threadEnded);
    EXPECT_EQ(outcome.messages, std::vector<std::string>{c.message});
  }
}

// Two queries at once, to two servers with different answers: each window
// shows its own answer. The servers share a port on two loopback addresses,
// since the query's port is one for the process.
TEST_F(QueryWindowsTest, TwoQueriesAtOnceKeepTheirOwnAnswers) {
  std::unique_ptr<FingerServer> first, second;
  // The second address's free port may be taken on the first; try again.
  for (int attempt = 0; attempt < 5 && !(first && first->ok()); ++attempt) {
    second = std::make_unique<FingerServer>(
        "127.0.0.2", 0,
        std::vector<loopback::Piece>{{"Login: bob\r\n", 300},
                                     {"Plan: none\r\n", 300}});
    ASSERT_TRUE(second->ok());
    first = std::make_unique<FingerServer>(
        "127.0.0.1", second->port(),
        std::vector<loopback::Piece>{{"Login: alice\r\n", 300},
                                     {"Plan: tea\r\n", 300}});
  }
  ASSERT_TRUE(first->ok());
  SetFingerQueryPort(second->port());
  HANDLE threads[] = {StartFingerQuery("alice", "127.0.0.1"),
                      StartFingerQuery("bob", "127.0.0.2")};
  ASSERT_NE(threads[0], nullptr);
  ASSERT_NE(threads[1], nullptr);
  ASSERT_TRUE(vt::testing::PumpUntil(
      [] { return ResponseWindows().size() == 2; }, clienttest::kQueryWaitMs));
  std::vector<std::string> shown;
  for (HWND window : ResponseWindows()) {
    shown.push_back(clienttest::ShownText(window));
  }
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(shown, (std::vector<std::string>{"Login: alice\r\nPlan: tea\r\n",
                                             "Login: bob\r\nPlan: none\r\n"}));
  // Closing one leaves the other, and its answer, as it was.
  std::vector<HWND> windows = ResponseWindows();
  const std::string keptText = clienttest::ShownText(windows[1]);
  SendMessageA(windows[0], WM_CLOSE, 0, 0);
  ASSERT_TRUE(vt::testing::PumpUntil([&] { return !IsWindow(windows[0]); },
                                     clienttest::kQueryWaitMs));
  ASSERT_TRUE(IsWindow(windows[1]));
  EXPECT_EQ(clienttest::ShownText(windows[1]), keptText);
  EXPECT_TRUE(keptText == "Login: alice\r\nPlan: tea\r\n" ||
              keptText == "Login: bob\r\nPlan: none\r\n")
      << keptText;
  PostMessageA(windows[1], WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitForThread(threads[0]));
  EXPECT_TRUE(WaitForThread(threads[1]));
  EXPECT_EQ(first->WaitForRequest(), "/W alice\r\n");
  EXPECT_EQ(second->WaitForRequest(), "/W bob\r\n");
  EXPECT_TRUE(clienttest::MessageTexts().empty());
}

}  // namespace
