#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pagefields::cli {

// A hash table from a key, a string and a number (say, which folder a name is in), to a
// small value. Slots sit in one array and the key bytes in another, so a lookup touches a
// slot or two and the bytes of the key it compares: far fewer scattered reads than the
// nodes of std::unordered_map. Entries are never removed.
template <typename Value>
class FlatStringMap {
 public:
  // The value stored for (`group`, `key`), or null.
  Value* Find(std::uint32_t group, std::string_view key) {
    if (slots_.empty()) return nullptr;
    const std::uint64_t hash = Hash(group, key);
    for (std::size_t i = hash & Mask();; i = (i + 1) & Mask()) {
      Slot& slot = slots_[i];
      if (!slot.used) return nullptr;
      if (Holds(slot, hash, group, key)) return &slot.value;
    }
  }

  // Stores `value` for (`group`, `key`) unless a value is stored already; returns the one
  // stored.
  Value& Insert(std::uint32_t group, std::string_view key, Value value) {
    if (2 * (size_ + 1) > slots_.size()) Grow();
    const std::uint64_t hash = Hash(group, key);
    std::size_t i = hash & Mask();
    for (; slots_[i].used; i = (i + 1) & Mask()) {
      if (Holds(slots_[i], hash, group, key)) return slots_[i].value;
    }
    Slot& slot = slots_[i];
    slot = {hash, keys_.size(), static_cast<std::uint32_t>(key.size()), group, true, value};
    keys_.append(key);
    ++size_;
    return slot.value;
  }

  std::size_t size() const { return size_; }

  // Forgets every entry and keeps the slots for the next ones.
  void Clear() {
    std::fill(slots_.begin(), slots_.end(), Slot{});
    keys_.clear();
    size_ = 0;
  }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::size_t offset = 0;  // where the key's bytes start in keys_
    std::uint32_t size = 0;
    std::uint32_t group = 0;
    bool used = false;
    Value value{};
  };

  static std::uint64_t Hash(std::uint32_t group, std::string_view key) {
    return std::hash<std::string_view>{}(key) ^ (group * 0x9E3779B97F4A7C15ull);
  }

  bool Holds(const Slot& slot, std::uint64_t hash, std::uint32_t group,
             std::string_view key) const {
    return slot.hash == hash && slot.group == group && slot.size == key.size() &&
           (key.empty() || std::memcmp(keys_.data() + slot.offset, key.data(), key.size()) == 0);
  }

  std::size_t Mask() const { return slots_.size() - 1; }

  // Doubles the slots (64 at first) and places every entry again by its stored hash.
  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 64 : 2 * slots_.size());
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (!slot.used) continue;
      std::size_t i = slot.hash & Mask();
      while (slots_[i].used) i = (i + 1) & Mask();
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;  // a power of two of them, at most half used
  std::string keys_;
  std::size_t size_ = 0;
};

}  // namespace pagefields::cli
