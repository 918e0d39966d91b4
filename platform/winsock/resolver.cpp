// The resolver calls: service, host name and address look-ups, and the
// dotted-address text helpers.
//
// Results live in storage that belongs to the calling thread and is reused
// by its next call of the same kind, as the target system's do; several
// threads may therefore resolve at once without a lock. Service entries come
// from the system root's services file before /etc/services, so a test can
// move the finger service to a free port without privileges.
#include "platform/winsock/winsock_internal.h"

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/internal/platform.h"
#include "platform/internal/text.h"

namespace vt::platform::winsock_detail {

int WsaErrorFromResolver(int eaiCode, int posixErrno) {
  switch (eaiCode) {
    case EAI_NONAME:
      return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
      return WSATRY_AGAIN;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return WSANO_DATA;
    case EAI_MEMORY:
      return WSAENOBUFS;
    case EAI_SYSTEM:
      return WsaErrorFromErrno(posixErrno);
    default:
      return WSANO_RECOVERY;
  }
}

using vt::platform::EqualNoCase;

namespace {

// --- services --------------------------------------------------------------

struct ServiceEntry {
  std::string name;
  std::vector<std::string> aliases;
  int port = 0;
  std::string protocol;
};

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() &&
           std::isspace(static_cast<unsigned char>(line[at])))
      ++at;
    const std::size_t start = at;
    while (at < line.size() &&
           !std::isspace(static_cast<unsigned char>(line[at])))
      ++at;
    if (at > start) words.push_back(line.substr(start, at - start));
  }
  return words;
}

// One line of a services file: "name port/protocol [alias...] [# comment]".
// Lines that do not have that form are skipped, as the C library skips
// them.
std::optional<ServiceEntry> ParseServiceLine(std::string_view line) {
  if (const auto hash = line.find('#'); hash != std::string_view::npos) {
    line = line.substr(0, hash);
  }
  const auto words = Words(line);
  if (words.size() < 2) return std::nullopt;
  const auto slash = words[1].find('/');
  if (slash == std::string_view::npos || slash == 0 ||
      slash + 1 == words[1].size()) {
    return std::nullopt;
  }
  int port = 0;
  for (const char c : words[1].substr(0, slash)) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
    if (port > 65535) return std::nullopt;
  }
  ServiceEntry entry;
  entry.name = words[0];
  entry.port = port;
  entry.protocol = words[1].substr(slash + 1);
  for (std::size_t i = 2; i < words.size(); ++i) {
    entry.aliases.emplace_back(words[i]);
  }
  return entry;
}

std::optional<ServiceEntry> FindService(const std::string& path,
                                        std::string_view name,
                                        const char* protocol) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    auto entry = ParseServiceLine(line);
    if (!entry) continue;
    if (protocol != nullptr && !EqualNoCase(entry->protocol, protocol)) {
      continue;
    }
    if (EqualNoCase(entry->name, name)) return entry;
    for (const auto& alias : entry->aliases) {
      if (EqualNoCase(alias, name)) return entry;
    }
  }
  return std::nullopt;
}

struct ServiceStorage {
  ServiceEntry entry;
  std::vector<char*> aliasPointers;
  winsock::servent result{};
};

thread_local ServiceStorage tService;

winsock::servent* StoreService(ServiceEntry entry) {
  ServiceStorage& storage = tService;
  storage.entry = std::move(entry);
  storage.aliasPointers.clear();
  for (auto& alias : storage.entry.aliases) {
    storage.aliasPointers.push_back(alias.data());
  }
  storage.aliasPointers.push_back(nullptr);
  storage.result.s_name = storage.entry.name.data();
  storage.result.s_aliases = storage.aliasPointers.data();
  storage.result.s_port =
      static_cast<SHORT>(htons(static_cast<std::uint16_t>(storage.entry.port)));
  storage.result.s_proto = storage.entry.protocol.data();
  return &storage.result;
}

// --- hosts -----------------------------------------------------------------

struct HostStorage {
  std::string name;
  std::vector<char*> aliasPointers;
  std::vector<std::array<char, 4>> addresses;
  std::vector<char*> addressPointers;
  winsock::hostent result{};
};

thread_local HostStorage tHost;

winsock::hostent* StoreHost(std::string name,
                            std::vector<std::array<char, 4>> addresses) {
  HostStorage& storage = tHost;
  storage.name = std::move(name);
  storage.addresses = std::move(addresses);
  storage.aliasPointers.assign(1, nullptr);
  storage.addressPointers.clear();
  for (auto& address : storage.addresses) {
    storage.addressPointers.push_back(address.data());
  }
  storage.addressPointers.push_back(nullptr);
  storage.result.h_name = storage.name.data();
  storage.result.h_aliases = storage.aliasPointers.data();
  storage.result.h_addrtype = static_cast<SHORT>(winsock::kAfInet);
  storage.result.h_length = 4;
  storage.result.h_addr_list = storage.addressPointers.data();
  return &storage.result;
}

std::array<char, 4> AddressBytes(const ::in_addr& address) {
  std::array<char, 4> bytes;
  std::memcpy(bytes.data(), &address.s_addr, bytes.size());
  return bytes;
}

std::optional<std::string> LocalHostName() {
  std::array<char, 256> buffer{};
  if (::gethostname(buffer.data(), buffer.size() - 1) != 0) return std::nullopt;
  return std::string(buffer.data());
}

struct AddrInfoDeleter {
  void operator()(::addrinfo* list) const { ::freeaddrinfo(list); }
};

// --- dotted addresses ------------------------------------------------------

// One part of a dotted address: decimal, octal with a leading 0, or
// hexadecimal with 0x, as the C library's inet_aton reads them.
std::optional<std::uint32_t> ParseAddressPart(const char*& text) {
  if (!std::isdigit(static_cast<unsigned char>(*text))) return std::nullopt;
  unsigned base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
    if (!std::isxdigit(static_cast<unsigned char>(*text))) return std::nullopt;
  } else if (text[0] == '0') {
    base = 8;
  }
  std::uint64_t value = 0;
  for (;; ++text) {
    const unsigned char c = static_cast<unsigned char>(*text);
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(c)) {
      digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
    } else {
      break;
    }
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > 0xffffffffu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// The address in host byte order, or nullopt when text is not an address.
std::optional<std::uint32_t> ParseDottedAddress(const char* text) {
  std::array<std::uint32_t, 4> parts{};
  std::size_t count = 0;
  for (;;) {
    const auto part = ParseAddressPart(text);
    if (!part || count == parts.size()) return std::nullopt;
    parts[count++] = *part;
    if (*text == '\0') break;
    if (*text != '.') return std::nullopt;
    ++text;
  }
  // a, a.b (b is 24 bits), a.b.c (c is 16 bits), a.b.c.d.
  const std::uint32_t lastLimit =
      count == 1 ? 0xffffffffu : 0xffffffffu >> (8 * (count - 1));
  for (std::size_t i = 0; i + 1 < count; ++i) {
    if (parts[i] > 0xff) return std::nullopt;
  }
  if (parts[count - 1] > lastLimit) return std::nullopt;
  std::uint32_t value = parts[count - 1];
  for (std::size_t i = 0; i + 1 < count; ++i) {
    value |= parts[i] << (24 - 8 * i);
  }
  return value;
}

thread_local std::array<char, 16> tAddressText;

}  // namespace
}  // namespace vt::platform::winsock_detail

namespace winsock {

using namespace vt::platform::winsock_detail;

servent* getservbyname(const char* name, const char* protocol) {
  if (!Enter("getservbyname")) return nullptr;
  if (name == nullptr) {
    SetError(WSAEFAULT);
    return nullptr;
  }
  auto entry =
      FindService(vt::platform::SystemRoot() + "/services", name, protocol);
  if (!entry) entry = FindService("/etc/services", name, protocol);
  if (!entry) {
    SetError(WSANO_DATA);
    return nullptr;
  }
  return StoreService(std::move(*entry));
}

hostent* gethostbyname(const char* name) {
  if (!Enter("gethostbyname")) return nullptr;
  // An empty name stands for this machine, as on the target system.
  std::string host = name != nullptr ? vt::platform::AnsiToUtf8(name) : "";
  if (host.empty()) {
    auto local = LocalHostName();
    if (!local) {
      SetError(WsaErrorFromErrno(errno));
      return nullptr;
    }
    host = std::move(*local);
  }
  ::addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  ::addrinfo* list = nullptr;
  const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (result != 0) {
    SetError(WsaErrorFromResolver(result, errno));
    return nullptr;
  }
  const std::unique_ptr<::addrinfo, AddrInfoDeleter> owner(list);
  std::string canonical =
      list->ai_canonname != nullptr ? list->ai_canonname : host;
  std::vector<std::array<char, 4>> addresses;
  for (const ::addrinfo* item = list; item != nullptr; item = item->ai_next) {
    if (item->ai_family != AF_INET ||
        item->ai_addrlen < sizeof(::sockaddr_in)) {
      continue;
    }
    ::sockaddr_in address;
    std::memcpy(&address, item->ai_addr, sizeof address);
    const auto bytes = AddressBytes(address.sin_addr);
    bool seen = false;
    for (const auto& known : addresses) seen |= known == bytes;
    if (!seen) addresses.push_back(bytes);
  }
  if (addresses.empty()) {
    SetError(WSANO_DATA);
    return nullptr;
  }
  return StoreHost(vt::platform::Utf8ToAnsi(canonical), std::move(addresses));
}

hostent* gethostbyaddr(const char* address, int length, int type) {
  if (!Enter("gethostbyaddr")) return nullptr;
  if (type != kAfInet) {
    SetError(WSAEAFNOSUPPORT);
    return nullptr;
  }
  if (address == nullptr || length < 4) {
    SetError(WSAEFAULT);
    return nullptr;
  }
  ::sockaddr_in native{};
  native.sin_family = AF_INET;
  std::memcpy(&native.sin_addr.s_addr, address, 4);
  std::array<char, NI_MAXHOST> name{};
  // NI_NAMEREQD: an address without a name must give no name, not its own
  // dotted text, so that the caller can tell the two apart.
  const int result =
      ::getnameinfo(reinterpret_cast<const ::sockaddr*>(&native), sizeof native,
                    name.data(), name.size(), nullptr, 0, NI_NAMEREQD);
  if (result != 0) {
    SetError(WsaErrorFromResolver(result, errno));
    return nullptr;
  }
  return StoreHost(vt::platform::Utf8ToAnsi(name.data()),
                   {AddressBytes(native.sin_addr)});
}

int gethostname(char* name, int length) {
  if (!Enter("gethostname")) return kSocketError;
  if (name == nullptr || length <= 0) {
    SetError(WSAEFAULT);
    return kSocketError;
  }
  const auto local = LocalHostName();
  if (!local) {
    SetError(WsaErrorFromErrno(errno));
    return kSocketError;
  }
  const std::string ansi = vt::platform::Utf8ToAnsi(*local);
  if (ansi.size() + 1 > static_cast<std::size_t>(length)) {
    SetError(WSAEFAULT);
    return kSocketError;
  }
  std::memcpy(name, ansi.c_str(), ansi.size() + 1);
  return 0;
}

ULONG inet_addr(const char* text) {
  if (text == nullptr) return kInaddrNone;
  const auto value = ParseDottedAddress(text);
  if (!value) return kInaddrNone;
  return htonl(*value);
}

char* inet_ntoa(in_addr address) {
  unsigned char bytes[4];
  std::memcpy(bytes, &address.s_addr, sizeof bytes);
  std::snprintf(tAddressText.data(), tAddressText.size(), "%u.%u.%u.%u",
                bytes[0], bytes[1], bytes[2], bytes[3]);
  return tAddressText.data();
}

}  // namespace winsock
