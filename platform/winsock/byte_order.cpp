// Byte order. Kept apart from the files that include the C library's network
// headers, which may define htons and friends as macros.
#include <bit>

#include "platform/winsock/winsock_internal.h"

namespace winsock {
namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

}  // namespace

USHORT htons(USHORT value) {
  return kLittleEndian ? __builtin_bswap16(value) : value;
}

USHORT ntohs(USHORT value) { return htons(value); }

ULONG htonl(ULONG value) {
  return kLittleEndian ? __builtin_bswap32(value) : value;
}

ULONG ntohl(ULONG value) { return htonl(value); }

}  // namespace winsock
