// The finger reply, byte for byte, over real loopback connections: each row
// of the table is a presence state, the bytes a client sends, and the exact
// bytes it must receive before the orderly end of the connection.
#include "service/finger_reply.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "service/finger_test_sockets.h"
#include "service/presence_state.h"
#include "service/presence_test_support.h"
#include "vttest.h"

namespace {

using namespace std::string_literals;
using finger_test::LoopbackPair;

enum class File { Unnamed, Missing, Present };

struct Profile {
  const char* login = "bob";
  const char* realName = "Bob Smith";
  const char* office = "";
  const char* officePhone = "";
  const char* home = "";
  const char* homePhone = "";
  File plan = File::Unnamed;
  std::string planBytes = {};
  File away = File::Unnamed;
  std::string awayBytes = {};
  int idleTicks = 0;
  int autoAway = 0;
  int awayLocked = 0;
};

struct ReplyCase {
  const char* name;
  Profile profile;
  std::string request;
  std::string reply;
};

std::string FilePath(const std::string& folder, File kind, const char* name,
                     const std::string& bytes) {
  if (kind == File::Unnamed) return "";
  std::string path = folder + "/" + name;
  if (kind == File::Present) finger_test::WriteFile(path, bytes);
  return path;
}

void SetPresence(const Profile& p, const std::string& folder) {
  std::string plan = FilePath(folder, p.plan, "plan.txt", p.planBytes);
  std::string away = FilePath(folder, p.away, "away.txt", p.awayBytes);
  std::lock_guard<std::mutex> guard(presenceTextLock);
  SetPresenceText(presence.loginName, sizeof presence.loginName, p.login);
  SetPresenceText(presence.realName, sizeof presence.realName, p.realName);
  SetPresenceText(presence.office, sizeof presence.office, p.office);
  SetPresenceText(presence.officePhone, sizeof presence.officePhone,
                  p.officePhone);
  SetPresenceText(presence.home, sizeof presence.home, p.home);
  SetPresenceText(presence.homePhone, sizeof presence.homePhone, p.homePhone);
  SetPresenceText(presence.planFile, sizeof presence.planFile, plan);
  SetPresenceText(presence.awayFile, sizeof presence.awayFile, away);
  presence.idleTicks = p.idleTicks;
  presence.autoAway = p.autoAway;
  presence.awayLocked = p.awayLocked;
}

using finger_test::AnswerOverLoopback;

const std::string kBobFull =
    "Login:     bob\n"
    "Idle:      0 hours and 0 minutes\n"
    "Real Name: Bob Smith\n"
    "\nPlan:\n"
    "  -- no plan --\n";
const std::string kBobAway = "bob away and idle for 1 hours and 15 minutes\n\n";
const std::string k31 = "abcdefghijklmnopqrstuvwxyz01234";

// A line of 100 bytes with a zero at 10: the first piece of 77 bytes loses
// what follows the zero, the second piece is sent whole.
const std::string kZeroInLongLine = std::string(10, 'a') + '\0' +
                                    std::string(66, 'b') +
                                    std::string(23, 'c') + "\n";

using finger_test::Peer;

class FingerReply : public ::testing::TestWithParam<ReplyCase> {
 protected:
  void SetUp() override { finger_test::StartWinsock(); }
  vt::testing::ScopedSystemRoot root_;
};

// Each row runs twice where it can: with the client's sending side ended,
// and with the client still open, which only a request with a line end can
// be answered for without waiting for the request's time to run out.
TEST_P(FingerReply, SendsExactBytes) {
  const ReplyCase& c = GetParam();
  SetPresence(c.profile, root_.path());
  EXPECT_EQ(AnswerOverLoopback(c.request, Peer::HalfClosed), c.reply)
      << "with the peer half-closed";
  if (c.request.find('\n') != std::string::npos) {
    EXPECT_EQ(AnswerOverLoopback(c.request, Peer::Open), c.reply)
        << "with the peer still open";
  }
}

// Columns: name, presence, request bytes, reply bytes.
const ReplyCase kReplyCases[] = {
    // Whom the request asks for.
    {"EmptyLine", {}, "\r\n", kBobFull},
    {"Login", {}, "bob\r\n", kBobFull},
    {"LoginInCapitals", {}, "BOB\r\n", kBobFull},
    {"LoginWithoutLineEnd", {}, "bob", kBobFull},
    {"OtherUser", {}, "alice\r\n", "alice hidden or not logged-in.\n"},
    {"VerboseSwitch", {}, "/W bob\r\n", kBobFull},
    {"VerboseSwitchJoined", {}, "/wbob\r\n", kBobFull},
    {"VerboseSwitchAlone", {}, "/W \r\n", kBobFull},
    {"VerboseSwitchAloneNoLineEnd", {}, "/W", kBobFull},
    {"VerboseSwitchForOther",
     {},
     "/W alice\r\n",
     "alice hidden or not logged-in.\n"},
    {"BlankBeforeVerboseSwitch",
     {},
     " /W bob\r\n",
     "W hidden or not logged-in.\n"},
    {"ForwardingRequest", {}, "x@y\r\n", "x@y hidden or not logged-in.\n"},
    {"NothingSent", {}, "", kBobFull},
    {"OnlyBlanks", {}, " \t \r\n", kBobFull},
    {"ZeroByteFirst", {}, "\0bob\r\n"s, kBobFull},
    {"CarriageReturnFirst", {}, "\ralice\r\n", kBobFull},
    {"LongWordIsCut",
     {},
     k31 + "56789\r\n",
     k31 + " hidden or not logged-in.\n"},
    // A word is compared whole: one that only begins with a login of 31
    // characters names someone else, and gets the hidden line as cut.
    {"LongerWordThanLoginOf31",
     {.login = k31.c_str()},
     k31 + "x\r\n",
     k31 + " hidden or not logged-in.\n"},
    {"LongerWordThanLoginOf31AfterSwitch",
     {.login = k31.c_str()},
     "/W " + k31 + "xyz\r\n",
     k31 + " hidden or not logged-in.\n"},
    {"LoginOf31",
     {.login = k31.c_str(), .realName = ""},
     k31 + "\r\n",
     "Login:     " + k31 +
         "\nIdle:      0 hours and 0 minutes\nReal Name: \n\nPlan:\n"
         "  -- no plan --\n"},
    {"FullRequestWithoutLineEnd",
     {},
     std::string(512, 'z'),
     std::string(31, 'z') + " hidden or not logged-in.\n"},
    {"MoreThanARequest",
     {},
     std::string(4096, 'q'),
     std::string(31, 'q') + " hidden or not logged-in.\n"},
    {"OnlyAsciiLettersFold",
     {.login = "j\xd6rg"},
     "J\xd6RG\r\n",
     "Login:     j\xd6rg\nIdle:      0 hours and 0 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\n  -- no plan --\n"},
    {"HighLettersDoNotFold",
     {.login = "j\xd6rg"},
     "j\xf6rg\r\n",
     "j\xf6rg hidden or not logged-in.\n"},

    // Login names.
    {"EmptyLoginFull",
     {.login = ""},
     "\r\n",
     "Login:     unknown\nIdle:      0 hours and 0 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\n  -- no plan --\n"},
    {"EmptyLoginHidesNames",
     {.login = ""},
     "bob\r\n",
     "bob hidden or not logged-in.\n"},
    {"EmptyLoginAway",
     {.login = "", .autoAway = 1},
     "\r\n",
     " away and idle for 0 hours and 0 minutes\n\n"},
    {"LongestLogin",
     {.login = k31.c_str()},
     k31 + "\r\n",
     "Login:     " + k31 +
         "\nIdle:      0 hours and 0 minutes\n"
         "Real Name: Bob Smith\n\nPlan:\n  -- no plan --\n"},

    // Profile lines and idle time.
    {"OfficeAndHomeWithPhones",
     {.realName = "",
      .office = "Room 4",
      .officePhone = "555-1234",
      .home = "Elm St",
      .homePhone = "555-9876",
      .idleTicks = 1500},
     "bob\r\n",
     "Login:     bob\nIdle:      1 hours and 15 minutes\nReal Name: \n"
     "Office:    Room 4, Phone: 555-1234\n"
     "Home:      Elm St, Phone: 555-9876\n"
     "\nPlan:\n  -- no plan --\n"},
    {"PlacesWithoutPhones",
     {.office = "Room 4", .home = "Elm St", .idleTicks = 30000},
     "bob\r\n",
     "Login:     bob\nIdle:      25 hours and 0 minutes\n"
     "Real Name: Bob Smith\n"
     "Office:    Room 4, Phone: ?~????\n"
     "Home:      Elm St, Phone: ?~????\n"
     "\nPlan:\n  -- no plan --\n"},
    {"PhonesWithoutPlaces",
     {.officePhone = "555-1234", .homePhone = "555-9876", .idleTicks = 1199},
     "bob\r\n",
     "Login:     bob\nIdle:      0 hours and 59 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\n  -- no plan --\n"},

    // Plan files.
    {"PlanWithCrLf",
     {.plan = File::Present, .planBytes = "line one\r\nline two\r\n"},
     "bob\r\n",
     "Login:     bob\nIdle:      0 hours and 0 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\nline one\nline two\n\n"},
    {"PlanWithLoneCr",
     {.plan = File::Present, .planBytes = "a\rb"},
     "bob\r\n",
     "Login:     bob\nIdle:      0 hours and 0 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\na\rb\n"},
    {"PlanEndsAtCtrlZ",
     {.plan = File::Present, .planBytes = "before\x1a after\n"},
     "bob\r\n",
     "Login:     bob\nIdle:      0 hours and 0 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\nbefore\n"},
    {"PlanZeroCutsItsPiece",
     {.plan = File::Present, .planBytes = "ab\0cd\nef\n"s},
     "bob\r\n",
     "Login:     bob\nIdle:      0 hours and 0 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\nabef\n\n"},
    {"PlanLongLineInPieces",
     {.plan = File::Present, .planBytes = kZeroInLongLine},
     "bob\r\n",
     "Login:     bob\nIdle:      0 hours and 0 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\n" +
         std::string(10, 'a') + std::string(23, 'c') + "\n\n"},
    {"PlanEmpty",
     {.plan = File::Present, .planBytes = ""},
     "bob\r\n",
     "Login:     bob\nIdle:      0 hours and 0 minutes\n"
     "Real Name: Bob Smith\n\nPlan:\n\n"},
    {"PlanMissing", {.plan = File::Missing}, "bob\r\n", kBobFull},

    // Away.
    {"AwayUnnamedFile",
     {.idleTicks = 1500, .autoAway = 1},
     "bob\r\n",
     kBobAway},
    {"AwayMissingFile",
     {.away = File::Missing, .idleTicks = 1500, .autoAway = 1},
     "\r\n",
     kBobAway},
    {"AwayEmptyFile",
     {.away = File::Present, .idleTicks = 1500, .awayLocked = 1},
     "/W bob\r\n",
     kBobAway},
    {"AwayWithFile",
     {.away = File::Present,
      .awayBytes = "Gone fishing.\r\nBack Monday.",
      .idleTicks = 1500,
      .autoAway = 1},
     "BOB\r\n",
     "bob away and idle for 1 hours and 15 minutes\n"
     "Gone fishing.\nBack Monday.\n"},
    {"AwayStillHidesOthers",
     {.autoAway = 1},
     "alice\r\n",
     "alice hidden or not logged-in.\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, FingerReply, ::testing::ValuesIn(kReplyCases),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

// No word is carried from one connection to the next: an empty line after
// a request for someone else is still an empty query.
TEST(FingerReplySequence, WordDoesNotCrossConnections) {
  finger_test::StartWinsock();
  vt::testing::ScopedSystemRoot root;
  SetPresence({}, root.path());
  EXPECT_EQ(AnswerOverLoopback("/Walice\r\n"),
            "alice hidden or not logged-in.\n");
  EXPECT_EQ(AnswerOverLoopback("\r\n"), kBobFull);
  EXPECT_EQ(AnswerOverLoopback("/W alice\r\n"),
            "alice hidden or not logged-in.\n");
  EXPECT_EQ(AnswerOverLoopback(" \r\n"), kBobFull);
}

// Debian's finger writes the switch, the name and the line end separately
// and then waits with the connection open; the request is read up to its
// line end however it arrives, and no further.
TEST(FingerReplySequence, RequestArrivingInPieces) {
  finger_test::StartWinsock();
  vt::testing::ScopedSystemRoot root;
  SetPresence({}, root.path());
  EXPECT_EQ(AnswerOverLoopback({"/W ", "b", "ob", "\r\n"}, Peer::Open),
            kBobFull);
  EXPECT_EQ(AnswerOverLoopback({"al", "ice", "\r", "\n"}, Peer::Open),
            "alice hidden or not logged-in.\n");
}

// A client that sends part of a word and then nothing is answered as what
// arrived once the request's time is up, and the connection does not
// outlast its bound even though the client never ends it.
TEST(FingerReplySequence, SilentAfterPartOfWord) {
  finger_test::StartWinsock();
  vt::testing::ScopedSystemRoot root;
  SetPresence({}, root.path());
  SetFingerTimeLimits(200, 800);
  LoopbackPair pair = finger_test::MakeLoopbackPair();
  finger_test::SendAll(pair.client, "bo");
  DWORD acceptedAt = GetTickCount();
  AnswerFingerRequest(pair.server, acceptedAt);
  CloseFingerConnection(pair.server, acceptedAt);
  SetFingerTimeLimits(10000, 30000);
  EXPECT_EQ(finger_test::ReadAll(pair.client), "bo hidden or not logged-in.\n");
  closesocket(pair.client);
}

}  // namespace
