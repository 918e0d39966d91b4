#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/internal/platform.h"

namespace {

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = vt::platform::SystemRoot() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// The pieces a reader gets with fgets-style reads of at most size - 1
// bytes, as the finger reply streams a plan file (size 78).
std::vector<std::string> Pieces(const std::string& path, int size = 78) {
  std::vector<std::string> pieces;
  TEXTFILE* file = OpenTextFileA(path.c_str());
  EXPECT_NE(file, nullptr) << path;
  if (file == nullptr) return pieces;
  std::vector<char> buffer(static_cast<std::size_t>(size));
  while (ReadTextLineA(buffer.data(), size, file) != nullptr) {
    pieces.emplace_back(buffer.data());
  }
  CloseTextFile(file);
  return pieces;
}

// Everything, NUL bytes included.
std::string AllText(const std::string& path) {
  TEXTFILE* file = OpenTextFileA(path.c_str());
  EXPECT_NE(file, nullptr) << path;
  if (file == nullptr) return {};
  std::string text;
  char buffer[100];
  while (const SIZE_T got = ReadTextA(buffer, sizeof buffer, file)) {
    text.append(buffer, got);
  }
  CloseTextFile(file);
  return text;
}

TEST(TextFile, TranslatesAsTheTargetRuntimeReads) {
  // Columns: file bytes, the pieces fgets(buf, 78) would give.
  const struct {
    std::string bytes;
    std::vector<std::string> pieces;
  } cases[] = {
      {"one\r\ntwo\r\n", {"one\n", "two\n"}},
      {"unix\nends\n", {"unix\n", "ends\n"}},
      {"lone\rcr\n", {"lone\rcr\n"}},
      {"cr at end\r", {"cr at end\r"}},
      {"cr cr lf\r\r\n", {"cr cr lf\r\n"}},
      {"before\x1a"
       "after\r\n",
       {"before"}},
      {"cr then eof mark\r\x1a"
       "x",
       {"cr then eof mark\r"}},
      {"\x1a", {}},
      {"", {}},
      {"no line end", {"no line end"}},
      {std::string(77, 'x') + "\n", {std::string(77, 'x'), "\n"}},
      {std::string(76, 'x') + "\r\n", {std::string(76, 'x') + "\n"}},
      {std::string(200, 'y'),
       {std::string(77, 'y'), std::string(77, 'y'), std::string(46, 'y')}},
  };
  int n = 0;
  for (const auto& c : cases) {
    const auto path = WriteFile("case" + std::to_string(n++), c.bytes);
    EXPECT_EQ(Pieces(path), c.pieces) << "bytes: " << c.bytes;
  }
}

TEST(TextFile, NulBytesPassThrough) {
  const auto path = WriteFile("nul", std::string("a\0b\r\nc", 6));
  EXPECT_EQ(AllText(path), std::string("a\0b\nc", 5));
  // A line reader's piece holds the NUL; a caller reading it as a C string
  // sees only "a".
  TEXTFILE* file = OpenTextFileA(path.c_str());
  ASSERT_NE(file, nullptr);
  char buffer[78];
  ASSERT_NE(ReadTextLineA(buffer, sizeof buffer, file), nullptr);
  EXPECT_EQ(std::string(buffer, 4), std::string("a\0b\n", 4));
  CloseTextFile(file);
}

TEST(TextFile, CrLfSplitAcrossReadsIsStillOneLineEnd) {
  // The reader loads the file in pieces of 4096 bytes; put the CR of a
  // CR LF pair at the last byte of a piece, and on either side of it.
  for (const std::size_t before : {4094u, 4095u, 4096u, 8191u}) {
    const std::string bytes = std::string(before, 'x') + "\r\nend\r";
    const auto path = WriteFile("split" + std::to_string(before), bytes);
    EXPECT_EQ(AllText(path), std::string(before, 'x') + "\nend\r")
        << "CR at offset " << before;
  }
}

TEST(TextFile, CrLfSplitAcrossPipeWritesIsStillOneLineEnd) {
  // From a pipe a read returns what is in it, so a write made only once the
  // reader has taken everything before it arrives in a read of its own: the
  // CR ends one read and the LF starts the next.
  const std::string path = vt::platform::SystemRoot() + "/fifo";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    // Waits (bounded) until the reader has emptied the pipe.
    auto waitUntilTaken = [fd] {
      for (int i = 0; i < 10000; ++i) {
        int unread = 0;
        if (ioctl(fd, FIONREAD, &unread) != 0 || unread == 0) return true;
        usleep(1000);
      }
      return false;
    };
    for (const std::string piece : {"ab\r", "\ncd\r", "\r\n"}) {
      EXPECT_TRUE(waitUntilTaken());
      EXPECT_EQ(write(fd, piece.data(), piece.size()),
                static_cast<ssize_t>(piece.size()));
    }
    close(fd);
  });
  const std::string text = AllText(path);
  writer.join();
  EXPECT_EQ(text, "ab\ncd\r\n");
}

TEST(TextFile, FindsTheFileWithoutRegardToCaseAndInAnsi) {
  WriteFile("Plan.TXT", "plan\r\n");
  WriteFile("caf\xC3\xA9.txt", "away\r\n");
  const std::string root = vt::platform::SystemRoot();
  EXPECT_EQ(Pieces(root + "/plan.txt"), std::vector<std::string>{"plan\n"});
  EXPECT_EQ(Pieces(root + "/CAF\xC9.TXT"), std::vector<std::string>{"away\n"});
}

TEST(TextFile, OpensWhileAnotherHasItOpenForWriting) {
  const auto path = WriteFile("shared.txt", "");
  std::ofstream writer(path, std::ios::binary);
  writer << "text\r\n" << std::flush;
  EXPECT_EQ(Pieces(path), std::vector<std::string>{"text\n"});
}

TEST(TextFile, WhatCannotBeOpenedIsRefused) {
  const std::string root = vt::platform::SystemRoot();
  SetLastError(0);
  EXPECT_EQ(OpenTextFileA((root + "/missing.txt").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenTextFileA((root + "/none/missing.txt").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(OpenTextFileA(root.c_str()), nullptr);  // a folder
  EXPECT_EQ(OpenTextFileA(""), nullptr);
  EXPECT_EQ(OpenTextFileA(nullptr), nullptr);
}

TEST(TextFile, LineReaderAlwaysTerminates) {
  const auto path = WriteFile("short", "abc");
  TEXTFILE* file = OpenTextFileA(path.c_str());
  ASSERT_NE(file, nullptr);
  char buffer[3] = {'#', '#', '#'};
  ASSERT_NE(ReadTextLineA(buffer, sizeof buffer, file), nullptr);
  EXPECT_STREQ(buffer, "ab");
  ASSERT_NE(ReadTextLineA(buffer, sizeof buffer, file), nullptr);
  EXPECT_STREQ(buffer, "c");
  // At the end: nullptr, and still an empty string for a caller that does
  // not look at the result.
  EXPECT_EQ(ReadTextLineA(buffer, sizeof buffer, file), nullptr);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(ReadTextLineA(buffer, 0, file), nullptr);
  CloseTextFile(file);
}

}  // namespace
