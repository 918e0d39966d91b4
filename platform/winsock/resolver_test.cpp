// The resolver calls: services from the system root before /etc/services,
// host names both ways, dotted addresses, and per-thread results.
#include <gtest/gtest.h>
#include <winsock.h>

#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "platform/winsock/winsock_test_util.h"
#include "vttest.h"

namespace vt::winsock_test {
namespace {

using Resolver = WinsockTest;

TEST_F(Resolver, ServicesComeFromTheRootBeforeEtcServices) {
  // Without a file in the root, /etc/services answers.
  servent* standard = getservbyname("finger", "tcp");
  ASSERT_NE(standard, nullptr);
  EXPECT_EQ(ntohs(static_cast<USHORT>(standard->s_port)), 79);

  vt::testing::ScopedSystemRoot root;
  root.WriteServices(
      "# moved for the test\n"
      "broken line\n"
      "nonumber abc/tcp\n"
      "toolarge 99999/tcp\n"
      "finger\t7979/tcp  fingerd   # the daemon\n"
      "echo 7007/udp\n");
  // service, protocol, port expected (0: none found)
  const struct {
    const char* name;
    const char* protocol;
    int port;
  } kCases[] = {
      {"finger", "tcp", 7979},  {"FINGER", "TCP", 7979},
      {"fingerd", "tcp", 7979}, {"finger", nullptr, 7979},
      {"echo", "tcp", 7},       {"echo", "udp", 7007},
      {"toolarge", "tcp", 0},   {"no-such-service", "tcp", 0},
  };
  for (const auto& c : kCases) {
    servent* entry = getservbyname(c.name, c.protocol);
    if (c.port == 0) {
      EXPECT_EQ(entry, nullptr) << c.name;
      EXPECT_EQ(WSAGetLastError(), WSANO_DATA) << c.name;
      continue;
    }
    ASSERT_NE(entry, nullptr) << c.name;
    EXPECT_EQ(ntohs(static_cast<USHORT>(entry->s_port)), c.port) << c.name;
  }
  servent* finger = getservbyname("fingerd", "tcp");
  ASSERT_NE(finger, nullptr);
  EXPECT_STREQ(finger->s_name, "finger");
  EXPECT_STREQ(finger->s_proto, "tcp");
  ASSERT_NE(finger->s_aliases[0], nullptr);
  EXPECT_STREQ(finger->s_aliases[0], "fingerd");
  EXPECT_EQ(finger->s_aliases[1], nullptr);
}

TEST_F(Resolver, HostNamesResolveToAddresses) {
  hostent* local = gethostbyname("localhost");
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->h_addrtype, AF_INET);
  EXPECT_EQ(local->h_length, 4);
  ULONG address;
  std::memcpy(&address, local->h_addr, 4);
  EXPECT_EQ(address, htonl(INADDR_LOOPBACK));

  hostent* dotted = gethostbyname("10.1.2.3");
  ASSERT_NE(dotted, nullptr);
  std::memcpy(&address, dotted->h_addr_list[0], 4);
  EXPECT_EQ(address, inet_addr("10.1.2.3"));
  EXPECT_EQ(dotted->h_addr_list[1], nullptr);

  // An empty name is this machine.
  EXPECT_NE(gethostbyname(""), nullptr);

  EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
  EXPECT_NE(WSAGetLastError(), 0);
}

TEST_F(Resolver, AddressesResolveToNamesOnlyWhenTheyHaveOne) {
  const ULONG loopback = inet_addr("127.0.0.1");
  hostent* named =
      gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET);
  ASSERT_NE(named, nullptr);
  EXPECT_STREQ(named->h_name, "localhost");
  EXPECT_EQ(std::memcmp(named->h_addr, &loopback, 4), 0);

  // A documentation address has no name; its dotted text must not be
  // passed off as one.
  const ULONG nameless = inet_addr("192.0.2.1");
  EXPECT_EQ(gethostbyaddr(reinterpret_cast<const char*>(&nameless), 4, AF_INET),
            nullptr);
  EXPECT_NE(WSAGetLastError(), 0);

  EXPECT_WSA_FAILURE(
      gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, 23), nullptr,
      WSAEAFNOSUPPORT);
  EXPECT_WSA_FAILURE(
      gethostbyaddr(reinterpret_cast<const char*>(&loopback), 2, AF_INET),
      nullptr, WSAEFAULT);
}

TEST_F(Resolver, HostNameFitsOrIsRefused) {
  // The lengths are ints as declared: with a size_t the C library's
  // gethostname would be the better overload.
  char name[256];
  ASSERT_EQ(gethostname(name, static_cast<int>(sizeof name)), 0);
  EXPECT_GT(std::strlen(name), 0u);
  char tiny[1];
  EXPECT_SOCKET_ERROR(gethostname(tiny, 1), WSAEFAULT);
}

TEST(DottedAddress, ConvertsAsTheTargetSystemDoes) {
  // text, address in host order (INADDR_NONE: refused)
  const struct {
    const char* text;
    ULONG hostOrder;
  } kCases[] = {
      {"10.1.2.3", 0x0a010203u},   {"127.0.0.1", 0x7f000001u},
      {"0.0.0.0", 0x00000000u},    {"255.255.255.255", INADDR_NONE},
      {"1stfloor", INADDR_NONE},   {"", INADDR_NONE},
      {"1.2.3.4.5", INADDR_NONE},  {"256.1.1.1", INADDR_NONE},
      {"1.2.3.", INADDR_NONE},     {".1.2.3", INADDR_NONE},
      {"1..2.3", INADDR_NONE},     {"1.2.3.4 ", INADDR_NONE},
      {"-1.2.3.4", INADDR_NONE},   {"0x7f.1", 0x7f000001u},
      {"010.0.0.1", 0x08000001u},  {"09.1.1.1", INADDR_NONE},
      {"10.65535", 0x0a00ffffu},   {"10.1.65535", 0x0a01ffffu},
      {"10.1.65536", INADDR_NONE}, {"167772161", 0x0a000001u},
      {"4294967296", INADDR_NONE},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ntohl(inet_addr(c.text)), c.hostOrder) << '"' << c.text << '"';
  }
  EXPECT_EQ(inet_addr(nullptr), INADDR_NONE);
}

TEST(DottedAddress, TextOfAnAddressInNetworkOrder) {
  in_addr address;
  address.s_addr = htonl(0x0a000007u);
  EXPECT_STREQ(inet_ntoa(address), "10.0.0.7");
  address.s_addr = INADDR_NONE;
  EXPECT_STREQ(inet_ntoa(address), "255.255.255.255");
}

TEST_F(Resolver, ResultsBelongToTheCallingThread) {
  vt::testing::ScopedSystemRoot root;
  root.WriteServices("alpha 1111/tcp\nbeta 2222/tcp\n");
  // Each thread keeps looking up its own entry; a result shared between
  // threads would show the other's port sooner or later.
  auto lookUp = [](const char* service, int port, const char* host) {
    int wrong = 0;
    for (int i = 0; i < 200; ++i) {
      servent* entry = getservbyname(service, "tcp");
      hostent* resolved = gethostbyname(host);
      char* text = nullptr;
      if (resolved != nullptr) {
        in_addr address;
        std::memcpy(&address.s_addr, resolved->h_addr, 4);
        text = inet_ntoa(address);
      }
      if (entry == nullptr ||
          ntohs(static_cast<USHORT>(entry->s_port)) != port ||
          text == nullptr || std::strcmp(text, host) != 0) {
        ++wrong;
      }
    }
    return wrong;
  };
  auto a = std::async(std::launch::async, lookUp, "alpha", 1111, "10.0.0.1");
  auto b = std::async(std::launch::async, lookUp, "beta", 2222, "10.0.0.2");
  EXPECT_EQ(a.get(), 0);
  EXPECT_EQ(b.get(), 0);
}

}  // namespace
}  // namespace vt::winsock_test
