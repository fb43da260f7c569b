// Station identifiers found again by open addressing: a network of tens of thousands of
// stations is matched without an allocation per identifier, as a node-based map would make.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class IdIndex {
 public:
  static constexpr std::uint32_t none = UINT32_MAX;

  // Room for n identifiers.
  explicit IdIndex(std::size_t n) {
    std::size_t cap = 16;
    while (cap < 2 * n) cap <<= 1;
    slot_.assign(cap, Slot{none, 0});
    mask_ = cap - 1;
  }

  // The slot of an identifier: none where it is new (the caller puts its own number there),
  // else the number put there; id_of(number) is the identifier a number stands for. Each slot
  // keeps the upper half of its identifier's hash, so that a probe reads another
  // identifier's text only when the halves agree.
  template <class IdOf>
  std::uint32_t& slot(std::string_view id, IdOf&& id_of) {
    const std::uint64_t h = hash(id);
    const auto tag = static_cast<std::uint32_t>(h >> 32);
    std::size_t at = static_cast<std::size_t>(h) & mask_;
    while (slot_[at].number != none && (slot_[at].tag != tag || id_of(slot_[at].number) != id)) at = (at + 1) & mask_;
    slot_[at].tag = tag;
    return slot_[at].number;
  }

 private:
  struct Slot {
    std::uint32_t number;
    std::uint32_t tag;
  };

  // FNV-1a: identifiers are a few characters, where it is quicker than a general hash.
  static std::uint64_t hash(std::string_view id) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : id) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return h ^ (h >> 29);
  }

  std::vector<Slot> slot_;
  std::size_t mask_ = 0;
};
