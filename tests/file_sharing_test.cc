// Value requests for a page that other handles hold open: simultaneous requests, readers
// and writers.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/loaded_plugin.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

enum Access { kRead, kWrite };
enum Sharing { kShareNone = 0, kShareRead = 1, kShareWrite = 2 };

// Another program's open handle on a file. On Windows it asks for `access` and lets others
// share as `sharing` says; POSIX has no share modes, so there it is a plain open.
class OtherHandle {
 public:
  OtherHandle(const std::string& path, Access access, int sharing) {
#if defined(_WIN32)
    const DWORD share = ((sharing & kShareRead) != 0 ? FILE_SHARE_READ : 0) |
                        ((sharing & kShareWrite) != 0 ? FILE_SHARE_WRITE : 0);
    handle_ = ::CreateFileA(path.c_str(), access == kWrite ? GENERIC_WRITE : GENERIC_READ, share,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    (void)sharing;
    fd_ = ::open(path.c_str(), access == kWrite ? O_WRONLY : O_RDONLY);
#endif
  }
  ~OtherHandle() {
#if defined(_WIN32)
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
#else
    if (fd_ >= 0) ::close(fd_);
#endif
  }
  OtherHandle(const OtherHandle&) = delete;
  OtherHandle& operator=(const OtherHandle&) = delete;

  bool is_open() const {
#if defined(_WIN32)
    return handle_ != INVALID_HANDLE_VALUE;
#else
    return fd_ >= 0;
#endif
  }

 private:
#if defined(_WIN32)
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

class FileSharing : public ::testing::Test {
 protected:
  TempFolder folder_;
};

// The page is opened for reading and shared with readers only. On Windows a reader that
// shares reading does not stand in the way, but a handle with write access does, so a page
// being written is never read half-done; so does a reader that shares nothing. POSIX has no
// share modes: every request is answered.
TEST_F(FileSharing, RequestWhileAnotherHandleHoldsThePage) {
  struct Case {
    const char* holder;
    Access access;
    int sharing;
    bool answered_on_windows;
  };
  const Case cases[] = {
      {"another request (reader sharing read)", kRead, kShareRead, true},
      {"viewer (reader sharing read and write)", kRead, kShareRead | kShareWrite, true},
      {"reader sharing nothing", kRead, kShareNone, false},
      {"writer sharing read", kWrite, kShareRead, false},
      {"writer sharing read and write", kWrite, kShareRead | kShareWrite, false},
      {"writer sharing nothing", kWrite, kShareNone, false},
  };
#if defined(_WIN32)
  constexpr bool kWindows = true;
#else
  constexpr bool kWindows = false;
#endif
  const std::string page = folder_.Write("held.html", "<html><title>T</title>");
  for (const auto& c : cases) {
    const OtherHandle holder(page, c.access, c.sharing);
    ASSERT_TRUE(holder.is_open()) << c.holder;
    const Answer answer = Ask(page, Field::kTitle, 16);
    if (c.answered_on_windows || !kWindows) {
      EXPECT_EQ(answer.result, PAGEFIELDS_FIELD_TYPE_STRING) << c.holder;
      EXPECT_EQ(answer.text(), "T") << c.holder;
    } else {
      EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_NOT_SUPPORTED) << c.holder;
      EXPECT_EQ(answer.bytes_written(16), 0) << c.holder;
    }
  }
  // Once the holders are gone the page reads again.
  EXPECT_EQ(AskText(page, Field::kTitle), "T");
}

// Two host threads asking for the same page at once: each request holds the file while it
// reads the large page, so the opens overlap, and every request must still be answered.
TEST_F(FileSharing, SimultaneousRequestsForOnePageAllSucceed) {
  const std::string page =
      folder_.Write("big.html", "<html><title>T</title>" + std::string(1 << 20, 'x'));
  constexpr int kRequestsPerThread = 40;
  std::atomic<int> ready{0};
  std::atomic<int> answered{0};
  auto asker = [&] {
    ready.fetch_add(1);
    while (ready.load() < 2) std::this_thread::yield();
    for (int i = 0; i < kRequestsPerThread; ++i) {
      const Answer answer = Ask(page, Field::kTitle, 16);
      if (answer.result == PAGEFIELDS_FIELD_TYPE_STRING && answer.text() == "T") {
        answered.fetch_add(1);
      }
    }
  };
  ASSERT_NE(LoadedPlugin().get_value, nullptr);
  std::thread first(asker);
  std::thread second(asker);
  first.join();
  second.join();
  EXPECT_EQ(answered.load(), 2 * kRequestsPerThread);
}

}  // namespace
}  // namespace pagefields::testing
