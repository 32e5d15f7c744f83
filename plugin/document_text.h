#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace pagefields {

// The bytes of a loaded page. Unlike a std::string it can grow without clearing the new
// room first, so a file is read straight into memory that nothing else has written; clearing
// would cost one more pass over the whole page.
class DocumentText {
 public:
  DocumentText() = default;
  explicit DocumentText(std::string_view bytes) {
    std::memcpy(Grow(bytes.size()), bytes.data(), bytes.size());
  }

  std::string_view view() const { return {bytes_.get(), size_}; }
  operator std::string_view() const { return view(); }
  std::size_t size() const { return size_; }
  char* data() { return bytes_.get(); }

  // Adds `extra` bytes of unset value behind the present ones and returns the first of them.
  // Throws std::bad_alloc when memory runs out, leaving the text as it was.
  char* Grow(std::size_t extra) {
    if (extra == 0) return bytes_.get() + size_;
    auto grown = std::make_unique_for_overwrite<char[]>(size_ + extra);
    if (size_ != 0) std::memcpy(grown.get(), bytes_.get(), size_);
    bytes_ = std::move(grown);
    size_ += extra;
    return bytes_.get() + size_ - extra;
  }

  // Keeps the first `size` bytes; `size` is at most size().
  void Shorten(std::size_t size) { size_ = size; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
};

}  // namespace pagefields
