#include "platform/file_access.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/temp_folder.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace pagefields::platform {
namespace {

using testing::TempFolder;

// Everything the file holds from where it stands, read in pieces of `piece` bytes.
std::string ReadAll(ReadOnlyFile& file, int piece) {
  std::string bytes;
  std::string buffer(static_cast<std::size_t>(piece), '\0');
  for (int got; (got = file.Read(buffer.data(), piece)) > 0;) bytes.append(buffer.data(), got);
  return bytes;
}

TEST(ReadOnlyFile, ReadsTheWholeFileInPiecesAndTellsItsSize) {
  const TempFolder folder;
  std::string contents;
  for (int i = 0; i < 1000; ++i) contents += static_cast<char>(i * 7);
  const std::string path = folder.Write("page.html", contents);
  for (const int piece : {1, 64, 999, 4096}) {
    ReadOnlyFile file(path.c_str());
    ASSERT_TRUE(file.is_open()) << file.ErrorText();
    EXPECT_EQ(file.size(), 1000);
    EXPECT_EQ(ReadAll(file, piece), contents) << piece;
    char byte = 0;
    EXPECT_EQ(file.Read(&byte, 1), 0);  // the end stays the end
    EXPECT_EQ(file.Read(&byte, 0), 0);
    EXPECT_EQ(file.ErrorText(), "");
  }
}

TEST(ReadOnlyFile, EmptyFileOpensWithSizeZero) {
  const TempFolder folder;
  ReadOnlyFile file(folder.Write("empty.html", "").c_str());
  ASSERT_TRUE(file.is_open());
  EXPECT_EQ(file.size(), 0);
  char byte = 0;
  EXPECT_EQ(file.Read(&byte, 1), 0);
}

TEST(ReadOnlyFile, MissingFileIsRefusedWithThePlatformsReason) {
  const TempFolder folder;
  const ReadOnlyFile file((folder.path() / "none.html").string().c_str());
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(file.size(), -1);
#if defined(_WIN32)
  // The system's own words (they differ between Windows versions), not the bare code.
  EXPECT_NE(file.ErrorText(), "");
  EXPECT_EQ(file.ErrorText().find("system error"), std::string::npos) << file.ErrorText();
  EXPECT_NE(file.ErrorText().back(), '\n');
#else
  EXPECT_EQ(file.ErrorText(), "No such file or directory");
#endif
}

TEST(ReadOnlyFile, FolderIsRefused) {
  const TempFolder folder;
  const ReadOnlyFile file(folder.MakeFolder("docs").c_str());
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(file.size(), -1);
}

#if !defined(_WIN32)
// A pipe with no writer would make a blocking open wait for ever.
TEST(ReadOnlyFile, PipeIsRefusedWithoutWaiting) {
  const TempFolder folder;
  const std::string pipe = (folder.path() / "pipe.html").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const ReadOnlyFile file(pipe.c_str());
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(file.ErrorText(), "");  // refused for its kind, not by the system
}

// Reading this process's memory from its start fails: the read, not the open, says why.
TEST(ReadOnlyFile, FailedReadTellsWhy) {
  ReadOnlyFile file("/proc/self/mem");
  if (!file.is_open()) GTEST_SKIP() << "no /proc/self/mem here";
  char buffer[64];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), -1);
  EXPECT_EQ(file.ErrorText(), "Input/output error");
}
#endif

TEST(QueryPath, TellsFilesFoldersAndNothing) {
  const TempFolder folder;
  EXPECT_EQ(QueryPath(folder.Write("a.html", "x").c_str()), PathKind::kOther);
  EXPECT_EQ(QueryPath(folder.MakeFolder("d").c_str()), PathKind::kDirectory);
  EXPECT_EQ(QueryPath((folder.path() / "none").string().c_str()), PathKind::kMissing);
  EXPECT_EQ(QueryPath(nullptr), PathKind::kMissing);
}

}  // namespace
}  // namespace pagefields::platform
