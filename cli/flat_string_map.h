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
  // stored. A key of 64 KiB or more, or one past 4 GiB of keys, is not stored.
  Value Insert(std::uint32_t group, std::string_view key, Value value) {
    if (key.size() > UINT16_MAX || keys_.size() + key.size() > UINT32_MAX) return value;
    if (4 * (size_ + 1) > 3 * slots_.size()) Grow();
    const std::uint64_t hash = Hash(group, key);
    std::size_t i = hash & Mask();
    for (; slots_[i].used; i = (i + 1) & Mask()) {
      if (Holds(slots_[i], hash, group, key)) return slots_[i].value;
    }
    slots_[i] = {Check(hash), static_cast<std::uint32_t>(keys_.size()),
                 group,       static_cast<std::uint16_t>(key.size()),
                 true,        value};
    keys_.append(key);
    ++size_;
    return value;
  }

  std::size_t size() const { return size_; }

  // Forgets every entry and keeps the slots for the next ones.
  void Clear() {
    std::fill(slots_.begin(), slots_.end(), Slot{});
    keys_.clear();
    size_ = 0;
  }

 private:
  // Small, so that many slots share the processor's caches.
  struct Slot {
    std::uint32_t check = 0;   // the hash bits that do not choose the slot
    std::uint32_t offset = 0;  // where the key's bytes start in keys_
    std::uint32_t group = 0;
    std::uint16_t size = 0;
    bool used = false;
    Value value{};
  };

  static std::uint64_t Hash(std::uint32_t group, std::string_view key) {
    return std::hash<std::string_view>{}(key) ^ (group * 0x9E3779B97F4A7C15ull);
  }
  static std::uint32_t Check(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

  bool Holds(const Slot& slot, std::uint64_t hash, std::uint32_t group,
             std::string_view key) const {
    return slot.check == Check(hash) && slot.group == group && slot.size == key.size() &&
           (key.empty() || std::memcmp(keys_.data() + slot.offset, key.data(), key.size()) == 0);
  }

  std::size_t Mask() const { return slots_.size() - 1; }

  // Doubles the slots (64 at first) and places every entry again by its hash.
  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 64 : 2 * slots_.size());
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (!slot.used) continue;
      const std::string_view key(keys_.data() + slot.offset, slot.size);
      std::size_t i = Hash(slot.group, key) & Mask();
      while (slots_[i].used) i = (i + 1) & Mask();
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;  // a power of two of them, at most three quarters used
  std::string keys_;
  std::size_t size_ = 0;
};

}  // namespace pagefields::cli
