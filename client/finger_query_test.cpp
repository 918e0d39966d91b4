// The finger query against servers on loopback: what goes out, that the
// whole answer comes back, that every wait is bounded, and that each
// failure says what it should and leaves nothing behind.
#include "client/finger_query.h"

#include <gtest/gtest.h>
#include <vttest.h>

#include <string>

#include "client/client_fixture.h"
#include "client/loopback_servers.h"

namespace {

using clienttest::ClientTest;
using loopback::Ending;
using loopback::FingerServer;
using loopback::Piece;

constexpr const char* kNotSent = "Sorry, couldn't send finger request";

// A query run on the test thread, which owns the message boxes' owner.
struct DirectResult {
  int result = -1;
  std::string answer;
  bool answerGiven = false;
};

DirectResult QueryDirectly(const char* user, const char* host) {
  DirectResult direct;
  char* answer = reinterpret_cast<char*>(1);
  direct.result = RunFingerQuery(user, host, &answer);
  direct.answerGiven = answer != nullptr;
  if (answer != nullptr) direct.answer = answer;
  ReleaseFingerAnswer(answer);
  return direct;
}

class FingerQueryTest : public ClientTest {};

TEST_F(FingerQueryTest, RequestBytes) {
  // Columns: user given to the query, bytes the server receives.
  const struct {
    const char* user;
    const char* request;
  } kCases[] = {
      {"alice", "/W alice\r\n"},
      {"", "\r\n\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.user);
    FingerServer server("127.0.0.1", 0, {{"ok\r\n", 0}});
    ASSERT_TRUE(server.ok());
    SetFingerQueryPort(server.port());
    DirectResult direct = QueryDirectly(c.user, "127.0.0.1");
    EXPECT_EQ(direct.result, 1);
    EXPECT_EQ(direct.answer, "ok\r\n");
    EXPECT_EQ(server.WaitForRequest(), c.request);
  }
  EXPECT_TRUE(clienttest::MessageTexts().empty());
}

TEST_F(FingerQueryTest, ReadsEveryPieceUntilTheServerCloses) {
  FingerServer server("127.0.0.1", 0,
                      {{"Login: alice\r\n", 0},
                       {"Name: Alice Liddell\r\n", 400},
                       {"Plan:\r\nTea at four.\r\n", 600}});
  ASSERT_TRUE(server.ok());
  SetFingerQueryPort(server.port());
  DirectResult direct = QueryDirectly("alice", "127.0.0.1");
  EXPECT_EQ(direct.result, 1);
  EXPECT_EQ(direct.answer,
            "Login: alice\r\nName: Alice Liddell\r\nPlan:\r\nTea at four.\r\n");
  EXPECT_TRUE(clienttest::MessageTexts().empty());
}

TEST_F(FingerQueryTest, LongAnswerFillsTheBufferAndStaysTerminated) {
  const std::string sent = loopback::NumberedLines(100 * 1024);
  FingerServer server("127.0.0.1", 0, {{sent, 0}});
  ASSERT_TRUE(server.ok());
  SetFingerQueryPort(server.port());
  DirectResult direct = QueryDirectly("alice", "127.0.0.1");
  EXPECT_EQ(direct.result, 1);
  ASSERT_EQ(direct.answer.size(), std::size_t{kFingerAnswerSize - 1});
  EXPECT_EQ(direct.answer, sent.substr(0, kFingerAnswerSize - 1));
  EXPECT_TRUE(clienttest::MessageTexts().empty());
}

TEST_F(FingerQueryTest, CloseWithoutDataGivesAnEmptyAnswer) {
  FingerServer server("127.0.0.1", 0, {});
  ASSERT_TRUE(server.ok());
  SetFingerQueryPort(server.port());
  DirectResult direct = QueryDirectly("alice", "127.0.0.1");
  EXPECT_EQ(direct.result, 1);
  EXPECT_TRUE(direct.answerGiven);
  EXPECT_EQ(direct.answer, "");
  EXPECT_TRUE(clienttest::MessageTexts().empty());
}

// A server that stops talking without closing: the read gives up at the
// bound with its message, and keeps what had arrived for the window.
TEST_F(FingerQueryTest, SilentServerEndsAtTheBound) {
  SetFingerQueryBound(1000);
  // Columns: what the server sends before it falls silent.
  const char* kCases[] = {"", "Login: alice\r\n"};
  for (const char* before : kCases) {
    SCOPED_TRACE(before);
    vt::testing::Reset();
    std::vector<Piece> pieces;
    if (before[0] != '\0') pieces.push_back({before, 0});
    FingerServer server("127.0.0.1", 0, pieces, Ending::Hold);
    ASSERT_TRUE(server.ok());
    SetFingerQueryPort(server.port());
    DirectResult direct = QueryDirectly("alice", "127.0.0.1");
    EXPECT_EQ(direct.result, 1);
    EXPECT_EQ(direct.answer, before);
    EXPECT_EQ(clienttest::MessageTexts(), std::vector<std::string>{kNotSent});
    // The query closed its side at the bound, which ends the server's wait.
    EXPECT_EQ(server.WaitForRequest(), "/W alice\r\n");
  }
}

// A machine that never completes the connection: connecting gives up at
// the bound.
TEST_F(FingerQueryTest, UnansweredConnectEndsAtTheBound) {
  loopback::FullListener listener;
  if (!listener.ok()) GTEST_SKIP() << "could not fill a listener's queue";
  SetFingerQueryBound(1000);
  SetFingerQueryPort(listener.port());
  DirectResult direct = QueryDirectly("alice", "127.0.0.1");
  EXPECT_EQ(direct.result, 0);
  EXPECT_FALSE(direct.answerGiven);
  EXPECT_EQ(clienttest::MessageTexts(), std::vector<std::string>{kNotSent});
}

// A receive that fails after the request went out: the message, then the
// (empty) answer is still shown, since the request was sent.
TEST_F(FingerQueryTest, ReceiveFailureIsReportedAndTheQueryGoesOn) {
  FingerServer server("127.0.0.1", 0, {{"never read\r\n", 0}});
  ASSERT_TRUE(server.ok());
  SetFingerQueryPort(server.port());
  vt::testing::FailSocketCall("recv", WSAECONNRESET);
  DirectResult direct = QueryDirectly("alice", "127.0.0.1");
  EXPECT_EQ(direct.result, 1);
  EXPECT_EQ(direct.answer, "");
  EXPECT_EQ(clienttest::MessageTexts(), std::vector<std::string>{kNotSent});
}

TEST_F(FingerQueryTest, MessagesAreOwnedByTheConfigurationWindow) {
  QueryDirectly("alice", "1stfloor");
  auto boxes = vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Unknown remote host");
  EXPECT_EQ(boxes[0].caption, "Velto Error");
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  EXPECT_EQ(boxes[0].owner, configWindow);
}

// The query's own copies: a caller's text that is unterminated or too long
// is cut to 255 characters, never read past.
TEST_F(FingerQueryTest, OverlongUserIsCutToTheEntrySize) {
  FingerServer server("127.0.0.1", 0, {{"ok\r\n", 0}});
  ASSERT_TRUE(server.ok());
  SetFingerQueryPort(server.port());
  std::string user(400, 'u');
  QueryDirectly(user.c_str(), "127.0.0.1");
  EXPECT_EQ(server.WaitForRequest(), "/W " + std::string(255, 'u') + "\r\n");
}

}  // namespace
