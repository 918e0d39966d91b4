// A model of which reply a finger request gets, written apart from the
// service's code so that tests can check the service against it: the
// finger reply's fuzzer, and the hostile peers that load a running daemon.
//
// The request is the bytes the service read (at most 512) up to the first
// zero byte. Its first word names whom it asks for; a word that starts with
// "/W" or "/w" has the request's first two bytes blanked and the word taken
// again. No word, the login name (only A to Z folded, the whole word
// compared) or a request whose first byte is CR asks for the user; any
// other word gets the hidden line with its first 31 bytes.
#pragma once

#include <string>

namespace vt::replymodel {

constexpr size_t kRequestBytes = 512;
constexpr size_t kWordBytes = 31;
constexpr char kHiddenTail[] = " hidden or not logged-in.\n";

struct Expected {
  // True for the full or the away reply, whichever the flags give.
  bool forUser;
  // The whole hidden reply when forUser is false.
  std::string hiddenReply;
};

inline bool IsBlank(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte == ' ' || (byte >= 9 && byte <= 13);
}

inline std::string FirstWord(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  size_t end = start;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  return text.substr(start, end - start);
}

inline std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// request: the bytes as the service read them.
inline Expected Expect(std::string request, const std::string& login) {
  if (request.size() > kRequestBytes) request.resize(kRequestBytes);
  request = request.substr(0, request.find('\0'));
  std::string word = FirstWord(request);
  if (word.size() >= 2 && word[0] == '/' &&
      (word[1] == 'W' || word[1] == 'w')) {
    // The word may start after blanks; only the request's first two bytes
    // are blanked, whatever they hold.
    request.replace(0, 2, "  ");
    word = FirstWord(request);
  }
  bool forUser = word.empty() || AsciiLower(word) == AsciiLower(login) ||
                 (!request.empty() && request[0] == '\r');
  if (forUser) return {true, ""};
  return {false, word.substr(0, kWordBytes) + kHiddenTail};
}

}  // namespace vt::replymodel
