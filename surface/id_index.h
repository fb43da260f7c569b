// Station identifiers found again by open addressing: a network of tens of thousands of
// stations is matched without an allocation per identifier, as a node-based map would make.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

class IdIndex {
 public:
  static constexpr std::size_t none = static_cast<std::size_t>(-1);

  // Room for n identifiers.
  explicit IdIndex(std::size_t n) {
    std::size_t cap = 16;
    while (cap < 2 * n) cap <<= 1;
    slot_.assign(cap, none);
    mask_ = cap - 1;
  }

  // The slot of an identifier: none where it is new (the caller puts its own number there),
  // else the number put there; id_of(number) is the identifier a number stands for.
  template <class IdOf>
  std::size_t& slot(std::string_view id, IdOf&& id_of) {
    std::size_t h = std::hash<std::string_view>{}(id) & mask_;
    while (slot_[h] != none && id_of(slot_[h]) != id) h = (h + 1) & mask_;
    return slot_[h];
  }

 private:
  std::vector<std::size_t> slot_;
  std::size_t mask_ = 0;
};
