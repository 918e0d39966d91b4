// The listener on a real port: connections logged newest first in the
// dialog's list box, the six fatal errors, peers that try to hold the
// service, and replies that stay whole while the profile is rewritten.
//
// The listener logs by a synchronous message to the dialog, which belongs to
// the test thread, so the test thread pumps its messages while clients run
// on threads of their own. Each test ends the listener through its only
// exit, a failing accept, and sees the quit code it posts.
#include "service/finger_listener.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "resources/resource.h"
#include "service/finger_reply.h"
#include "service/finger_test_sockets.h"
#include "service/presence_state.h"
#include "service/presence_test_support.h"
#include "vttest.h"

namespace {

using finger_test::ConnectTo;
using finger_test::ReadAll;
using finger_test::SendAll;

constexpr char kHidden[] = " hidden or not logged-in.\n";

INT_PTR CALLBACK MinimalProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == WM_INITDIALOG;
}

struct Texts {
  std::string realName;
  std::string office;
  std::string officePhone;
  std::string planFile;
};

void SetProfile(const Texts& t) {
  std::lock_guard<std::mutex> guard(presenceTextLock);
  SetPresenceText(presence.loginName, sizeof presence.loginName, "bob");
  SetPresenceText(presence.realName, sizeof presence.realName, t.realName);
  SetPresenceText(presence.office, sizeof presence.office, t.office);
  SetPresenceText(presence.officePhone, sizeof presence.officePhone,
                  t.officePhone);
  SetPresenceText(presence.home, sizeof presence.home, "");
  SetPresenceText(presence.homePhone, sizeof presence.homePhone, "");
  SetPresenceText(presence.planFile, sizeof presence.planFile, t.planFile);
  SetPresenceText(presence.awayFile, sizeof presence.awayFile, "");
  presence.idleTicks = 0;
  presence.autoAway = 0;
  presence.awayLocked = 0;
}

std::string FullReply(const Texts& t, const std::string& plan) {
  std::string reply =
      "Login:     bob\nIdle:      0 hours and 0 minutes\nReal Name: " +
      t.realName + "\n";
  if (!t.office.empty()) {
    reply += "Office:    " + t.office + ", Phone: " + t.officePhone + "\n";
  }
  return reply + "\nPlan:\n" + plan + "\n";
}

const Texts kBob = {"Bob Smith", "", "", ""};
const std::string kBobFull = FullReply(kBob, "  -- no plan --");

// A 200 KB plan in lines of 77 bytes, and the full reply that carries it.
std::string MakeBigPlan() {
  std::string plan(200 * 1024, 'p');
  for (size_t i = 76; i < plan.size(); i += 77) plan[i] = '\n';
  return plan;
}
const std::string kBigPlan = MakeBigPlan();
const std::string kBigFull = FullReply(kBob, kBigPlan);

class FingerListener : public ::testing::Test {
 protected:
  void SetUp() override {
    finger_test::StartWinsock();
    port_ = finger_test::FreePort();
    root_.WriteServices("finger " + std::to_string(port_) + "/tcp");
    dialog_ = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_CONFIG), nullptr,
                                 MinimalProc, 0);
    ASSERT_NE(dialog_, nullptr);
    configWindow = dialog_;
    SetProfile(kBob);
  }

  void TearDown() override {
    if (thread_ != nullptr) StopListener();
    SetFingerTimeLimits(10000, 30000);
    SetFingerListenerPause(250);
    DestroyWindow(dialog_);
    configWindow = nullptr;
  }

  void StartListener() {
    thread_ =
        CreateThread(nullptr, 0, FingerListenerThread, nullptr, 0, nullptr);
    ASSERT_NE(thread_, nullptr);
  }

  // Pumps this thread's messages until the listener thread has ended, and
  // returns the code of the WM_QUIT it saw, or -1.
  int PumpUntilListenerEnds(DWORD timeoutMs = 15000) {
    int quitCode = -1;
    auto drain = [&] {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          quitCode = static_cast<int>(msg.wParam);
        } else {
          DispatchMessageA(&msg);
        }
      }
    };
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
      drain();
      if (WaitForSingleObject(thread_, 10) == WAIT_OBJECT_0) {
        drain();
        CloseHandle(thread_);
        thread_ = nullptr;
        return quitCode;
      }
    }
    ADD_FAILURE() << "the listener did not end";
    return quitCode;
  }

  // Runs client on a thread of its own while this thread pumps messages.
  void WhilePumping(const std::function<void()>& client,
                    DWORD timeoutMs = 30000) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      client();
      done = true;
    });
    // PumpUntil returns early when it meets the listener's WM_QUIT, which
    // it leaves queued for PumpUntilListenerEnds; keep pumping regardless.
    DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < timeoutMs) {
      if (!vt::testing::PumpUntil([&] { return done.load(); }, 100)) Sleep(1);
    }
    EXPECT_TRUE(done) << "the client did not finish";
    worker.join();
  }

  std::string FingerPumping(const std::string& request) {
    std::string reply;
    WhilePumping([&] { reply = finger_test::Finger(port_, request); });
    return reply;
  }

  // accept is the listener's only way out. It waits in accept already, so
  // connections bring it to the call that fails; the first may be one that
  // a test's peer left in the queue, so a client keeps connecting until the
  // listener has ended.
  void StopListener() {
    vt::testing::FailSocketCall("accept", WSAENETDOWN, 1);
    std::atomic<bool> stop{false};
    std::thread client([&] {
      while (!stop) {
        SOCKET s = ConnectTo(port_);
        if (s == INVALID_SOCKET) {
          Sleep(10);
          continue;
        }
        SendAll(s, "alice\r\n");
        ReadAll(s);
        closesocket(s);
      }
    });
    EXPECT_EQ(PumpUntilListenerEnds(), 6);
    stop = true;
    client.join();
  }

  std::vector<std::string> LogEntries() {
    std::vector<std::string> entries;
    LRESULT count =
        SendDlgItemMessageA(dialog_, IDC_CONNECTION_LOG, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      char text[512] = {};
      SendDlgItemMessageA(dialog_, IDC_CONNECTION_LOG, LB_GETTEXT,
                          static_cast<WPARAM>(i),
                          reinterpret_cast<LPARAM>(text));
      entries.emplace_back(text);
    }
    return entries;
  }

  bool PortIsFree() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = finger_test::LoopbackAddress(port_, INADDR_ANY);
    bool bound = bind(s, reinterpret_cast<const sockaddr*>(&address),
                      sizeof address) == 0;
    closesocket(s);
    return bound;
  }

  vt::testing::ScopedSystemRoot root_;
  USHORT port_ = 0;
  HWND dialog_ = nullptr;
  HANDLE thread_ = nullptr;
};

// Both connections come from 127.0.0.1 within the same minute, so their
// lines look alike; a line put in at the top between them shows which of
// the two is the newer.
TEST_F(FingerListener, AnswersAndLogsNewestFirst) {
  SendDlgItemMessageA(dialog_, IDC_CONNECTION_LOG, LB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>("older entry"));
  StartListener();
  EXPECT_EQ(FingerPumping("bob\r\n"), kBobFull);
  SendDlgItemMessageA(dialog_, IDC_CONNECTION_LOG, LB_INSERTSTRING, 0,
                      reinterpret_cast<LPARAM>("between"));
  EXPECT_EQ(FingerPumping("alice\r\n"), std::string("alice") + kHidden);

  ULONG loopback = htonl(INADDR_LOOPBACK);
  hostent* host =
      gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET);
  ASSERT_NE(host, nullptr) << "127.0.0.1 has no name on this machine";
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  std::regex entry(
      std::regex_replace(host->h_name, std::regex(R"([.^$|()\[\]{}*+?\\])"),
                         R"(\$&)") +
      R"( \(127\.0\.0\.1\): [0-2][0-9]:[0-5][0-9],)" +
      std::to_string(local.tm_mon + 1) + "/" + std::to_string(local.tm_mday));
  std::vector<std::string> entries = LogEntries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_TRUE(std::regex_match(entries[0], entry)) << entries[0];
  EXPECT_EQ(entries[1], "between");
  EXPECT_TRUE(std::regex_match(entries[2], entry)) << entries[2];
  EXPECT_EQ(entries[3], "older entry");
}

// The log keeps only its newest lines: past the bound, each new line at the
// top pushes the oldest out at the bottom. The bound is lowered to 3 so a
// handful of connections shows it.
TEST_F(FingerListener, LogKeepsOnlyTheNewestLines) {
  SetConnectionLogLimit(3);
  SetFingerListenerPause(0);
  // Top to bottom, newest first.
  for (const char* line : {"old", "oldest"}) {
    SendDlgItemMessageA(dialog_, IDC_CONNECTION_LOG, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(line));
  }
  StartListener();
  auto isEntry = [](const std::string& line) {
    return line.find(" (127.0.0.1): ") != std::string::npos;
  };
  // Columns: lines expected after the connection, the oldest line kept.
  const struct {
    size_t lines;
    const char* bottom;
  } kSteps[] = {{3, "oldest"}, {3, "old"}, {3, nullptr}, {3, nullptr}};
  for (const auto& step : kSteps) {
    EXPECT_EQ(FingerPumping("alice\r\n"), std::string("alice") + kHidden);
    std::vector<std::string> entries = LogEntries();
    ASSERT_EQ(entries.size(), step.lines);
    EXPECT_TRUE(isEntry(entries[0])) << entries[0];
    if (step.bottom != nullptr) {
      EXPECT_EQ(entries.back(), step.bottom);
    } else {
      EXPECT_TRUE(isEntry(entries.back())) << entries.back();
    }
  }
  SetConnectionLogLimit(0);
}

// The pause before a connection is closed holds the listener: a client that
// connects right behind another is answered only after the first's reply
// and the pause. Its first byte can come no sooner than 250 ms after the
// first client sent its request, however fast or slow the machine.
TEST_F(FingerListener, NextClientWaitsForThePauseAfterAReply) {
  StartListener();
  EXPECT_EQ(FingerPumping("bob\r\n"), kBobFull);  // the listener is up
  DWORD firstSent = 0;
  DWORD secondFirstByte = 0;
  std::string firstReply;
  std::string secondReply;
  WhilePumping([&] {
    SOCKET first = ConnectTo(port_);
    SOCKET second = ConnectTo(port_);
    ASSERT_NE(first, INVALID_SOCKET);
    ASSERT_NE(second, INVALID_SOCKET);
    SendAll(second, "alice\r\n");
    firstSent = GetTickCount();
    SendAll(first, "bob\r\n");
    firstReply = ReadAll(first);
    closesocket(first);
    char byte;
    if (recv(second, &byte, 1, 0) == 1) {
      secondFirstByte = GetTickCount();
      secondReply = std::string(1, byte) + ReadAll(second);
    }
    closesocket(second);
  });
  EXPECT_EQ(firstReply, kBobFull);
  EXPECT_EQ(secondReply, std::string("alice") + kHidden);
  EXPECT_GE(secondFirstByte - firstSent, 250u);
}

// With a backlog of 1, the system completes at most two connections (the
// backlog and one more, on Linux) while the listener is busy with a third;
// others wait unanswered. Two more than that are tried, each for a second.
TEST_F(FingerListener, QueuesOnlyOneBacklogWhileBusy) {
  SetFingerTimeLimits(10000, 20000);
  SetFingerListenerPause(0);
  StartListener();
  EXPECT_EQ(FingerPumping("bob\r\n"), kBobFull);  // the listener is up
  std::atomic<int> completed{0};
  WhilePumping([&] {
    // Holds the listener in its wait for a request.
    SOCKET busy = ConnectTo(port_);
    ASSERT_NE(busy, INVALID_SOCKET);
    std::vector<SOCKET> queued(4, INVALID_SOCKET);
    std::vector<std::thread> connecting;
    for (SOCKET& s : queued) {
      connecting.emplace_back([&] {
        s = socket(AF_INET, SOCK_STREAM, 0);
        DWORD connectWait = 1000;
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO,
                   reinterpret_cast<const char*>(&connectWait),
                   sizeof connectWait);
        sockaddr_in address = finger_test::LoopbackAddress(port_);
        if (connect(s, reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) == 0) {
          ++completed;
        }
      });
    }
    for (std::thread& t : connecting) t.join();
    for (SOCKET s : queued) closesocket(s);
    SendAll(busy, "bob\r\n");
    EXPECT_EQ(ReadAll(busy), kBobFull);
    closesocket(busy);
  });
  EXPECT_GE(completed, 1);
  EXPECT_LE(completed, 2);
}

TEST_F(FingerListener, PeerWithoutNameIsAnsweredButNotLogged) {
  StartListener();
  vt::testing::FailSocketCall("gethostbyaddr", WSANO_DATA, 1);
  EXPECT_EQ(FingerPumping("bob\r\n"), kBobFull);
  EXPECT_TRUE(LogEntries().empty());
}

struct FatalCase {
  int number;
  const char* failingCall;  // nullptr: the port is really taken
  const char* text;
  const char* caption;
};

class FingerListenerError : public FingerListener,
                            public ::testing::WithParamInterface<FatalCase> {};

TEST_P(FingerListenerError, ShowsItsBoxAndQuitsWithItsNumber) {
  const FatalCase& c = GetParam();
  SOCKET taken = INVALID_SOCKET;
  if (c.failingCall != nullptr) {
    vt::testing::FailSocketCall(c.failingCall, WSAENETDOWN, 1);
  } else {
    taken = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = finger_test::LoopbackAddress(port_, INADDR_ANY);
    ASSERT_EQ(bind(taken, reinterpret_cast<const sockaddr*>(&address),
                   sizeof address),
              0);
    ASSERT_EQ(listen(taken, 1), 0);
  }
  StartListener();
  EXPECT_EQ(PumpUntilListenerEnds(), c.number);
  std::vector<vt::testing::MessageBoxRecord> boxes =
      vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, c.text);
  EXPECT_EQ(boxes[0].caption, c.caption);
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  EXPECT_EQ(boxes[0].owner, dialog_);
  if (taken != INVALID_SOCKET) closesocket(taken);
  // Once the listening socket existed, it is closed again.
  if (c.number >= 4) {
    EXPECT_TRUE(PortIsFree());
  }
}

// Columns: number, call made to fail, text, caption.
const FatalCase kFatalCases[] = {
    {1, "WSAStartup", "Cannot find WinSock v1.1 Support", "Velto Error 01"},
    {2, "getservbyname", "Finger Service is in use or not available",
     "Velto Error 02"},
    {3, "socket", "Cannot get a socket", "Velto Error 03"},
    {4, nullptr, "Cannot bind server to socket", "Velto Error 04"},
    {5, "listen", "Cannot listen on port", "Velto Error 05"},
    {6, "accept", "Cannot accept socket connection", "Velto Error 06"},
};

INSTANTIATE_TEST_SUITE_P(Errors, FingerListenerError,
                         ::testing::ValuesIn(kFatalCases),
                         [](const auto& info) {
                           return "Error" + std::to_string(info.param.number);
                         });

// --- peers that try to hold the service -----------------------------------

struct HostilePeer {
  const char* name;
  // Runs on a client thread while the test thread pumps; returns the
  // sockets it leaves open until the well-formed request has been answered.
  std::vector<SOCKET> (*run)(USHORT port);
};

// Connects and never sends: answered as an empty query once the request's
// time is up.
std::vector<SOCKET> SilentPeer(USHORT port) {
  SOCKET s = ConnectTo(port);
  std::string reply = ReadAll(s);
  EXPECT_EQ(reply.size(), kBigFull.size());
  EXPECT_TRUE(reply == kBigFull) << reply.substr(0, 200);
  return {s};
}

// Sends a byte at a time without a line end, until an answer arrives.
std::vector<SOCKET> DrippingPeer(USHORT port) {
  SOCKET s = ConnectTo(port);
  finger_test::SetClientTimeouts(s, 50);
  std::string reply;
  char buffer[256];
  for (int i = 0; i < 200; ++i) {
    SendAll(s, "x");
    int received = recv(s, buffer, sizeof buffer, 0);
    if (received > 0) {
      reply.assign(buffer, static_cast<size_t>(received));
      break;
    }
  }
  finger_test::SetClientTimeouts(s);
  reply += ReadAll(s);
  EXPECT_TRUE(std::regex_match(reply, std::regex("x{1,31} hidden or not "
                                                 "logged-in\\.\n")))
      << reply;
  return {s};
}

// 4 KB without a line end: the first 512 bytes are the request, and the
// whole reply arrives although the rest was never read as a request.
std::vector<SOCKET> FloodingPeer(USHORT port) {
  SOCKET s = ConnectTo(port);
  SendAll(s, std::string(4096, 'q'));
  EXPECT_EQ(ReadAll(s), std::string(31, 'q') + kHidden);
  return {s};
}

// Asks for a 200 KB plan through a small window and never reads it.
std::vector<SOCKET> NonReadingPeer(USHORT port) {
  SOCKET s = ConnectTo(port, 4096);
  SendAll(s, "bob\r\n");
  return {s};
}

// Reads a little of a 200 KB plan, then resets the connection.
std::vector<SOCKET> ResettingPeer(USHORT port) {
  SOCKET s = ConnectTo(port, 4096);
  SendAll(s, "bob\r\n");
  char buffer[100];
  EXPECT_GT(recv(s, buffer, sizeof buffer, 0), 0);
  linger hard = {1, 0};
  setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
             sizeof hard);
  closesocket(s);
  return {};
}

// Fifty connections at once, half of them with a request, none waiting
// for its answer.
std::vector<SOCKET> BurstOfPeers(USHORT port) {
  std::vector<std::thread> peers;
  for (int i = 0; i < 50; ++i) {
    peers.emplace_back([port, i] {
      SOCKET s = ConnectTo(port);
      if (s == INVALID_SOCKET) return;
      if (i % 2 == 0) SendAll(s, "bob\r\n");
      closesocket(s);
    });
  }
  for (std::thread& peer : peers) peer.join();
  return {};
}

class FingerListenerHostile
    : public FingerListener,
      public ::testing::WithParamInterface<HostilePeer> {};

TEST_P(FingerListenerHostile, ServiceAnswersAfterwardsWithoutLeaks) {
  // Bounds short enough for a test, long enough for a loaded machine to
  // answer a well-formed request within them.
  SetFingerTimeLimits(400, 2000);
  SetFingerListenerPause(10);
  finger_test::WriteFile(root_.path() + "/big.txt", kBigPlan);
  SetProfile({"Bob Smith", "", "", root_.path() + "/big.txt"});
  int withoutListener = finger_test::OpenDescriptorCount();
  StartListener();
  EXPECT_EQ(FingerPumping("alice\r\n"), std::string("alice") + kHidden);
  // The service closes its end of a connection just after the client has
  // read to the end; once that has happened, only the listening socket is
  // new, and that is the count no peer may raise.
  ASSERT_TRUE(vt::testing::PumpUntil(
      [&] { return finger_test::OpenDescriptorCount() <= withoutListener + 1; },
      5000))
      << "the first connection left a descriptor open";
  int descriptors = finger_test::OpenDescriptorCount();

  std::vector<SOCKET> held;
  WhilePumping([&] { held = GetParam().run(port_); });
  EXPECT_EQ(FingerPumping("alice\r\n"), std::string("alice") + kHidden);
  EXPECT_TRUE(FingerPumping("bob\r\n") == kBigFull);
  for (SOCKET s : held) closesocket(s);

  EXPECT_TRUE(vt::testing::PumpUntil(
      [&] { return finger_test::OpenDescriptorCount() <= descriptors; }, 5000))
      << finger_test::OpenDescriptorCount() << " descriptors, " << descriptors
      << " before";
  SetProfile(kBob);
}

const HostilePeer kHostilePeers[] = {
    {"Silent", SilentPeer},       {"Dripping", DrippingPeer},
    {"Flooding", FloodingPeer},   {"NonReading", NonReadingPeer},
    {"Resetting", ResettingPeer}, {"Burst", BurstOfPeers},
};

INSTANTIATE_TEST_SUITE_P(Peers, FingerListenerHostile,
                         ::testing::ValuesIn(kHostilePeers),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

// While the main thread rewrites the profile, every reply is one of the two
// whole profiles, never a mixture.
TEST_F(FingerListener, RepliesNeverMixProfiles) {
  const Texts first = {std::string(200, 'a'), std::string(150, 'b'),
                       std::string(100, 'c'), ""};
  const Texts second = {std::string(180, 'A'), std::string(250, 'B'),
                        std::string(90, 'C'), ""};
  const std::string firstReply = FullReply(first, "  -- no plan --");
  const std::string secondReply = FullReply(second, "  -- no plan --");
  SetFingerListenerPause(0);
  SetProfile(first);
  StartListener();

  std::vector<std::string> replies;
  std::atomic<bool> done{false};
  std::thread client([&] {
    for (int i = 0; i < 40; ++i) {
      replies.push_back(finger_test::Finger(port_, "bob\r\n"));
    }
    done = true;
  });
  DWORD start = GetTickCount();
  while (!done && GetTickCount() - start < 30000) {
    SetProfile(second);
    vt::testing::PumpPending();
    SetProfile(first);
    vt::testing::PumpPending();
  }
  client.join();
  ASSERT_EQ(replies.size(), 40u);
  for (const std::string& reply : replies) {
    EXPECT_TRUE(reply == firstReply || reply == secondReply) << reply;
  }
  SetProfile(kBob);
}

}  // namespace
