#include "config/table.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr int hash_modulus = 35177;
// The cursor when no walk is under way: no record to give until TAB_first.
constexpr std::size_t walked_out = static_cast<std::size_t>(-1);
// Blocks of records grow from a few records to this many, so that small tables stay small.
constexpr std::size_t max_block_records = 1024;

std::size_t record_units(const Table* table) {
  const std::size_t units =
      (static_cast<std::size_t>(table->size) + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
  return units == 0 ? 1 : units;
}

// Records block k holds: blocks grow as the table does.
std::size_t block_size(std::size_t k) { return std::min(max_block_records, std::size_t{16} << std::min<std::size_t>(k, 6)); }

// Room for one more record, a new block when the last is full; nothing counts as used until
// the caller says so (a failed entry leaves the room for the next).
std::max_align_t* record_room(Table* table) {
  const std::size_t units = record_units(table);
  if (table->blocks.empty() || table->block_used == table->block_records) {
    const std::size_t n = block_size(table->blocks.size());
    // Not cleared: every record is written whole before it is used.
    table->blocks.push_back(std::make_unique_for_overwrite<std::max_align_t[]>(n * units));
    table->block_records = n;
    table->block_used = 0;
  }
  return table->blocks.back().get() + table->block_used * units;
}

bool valid_key_index(const Table* table, int key) {
  return table && key >= 0 && key < table->keys && static_cast<std::size_t>(key) < table->bucket.size() &&
         table->buckets > 0;
}

}  // namespace

int TAB_key(const Table* table, const char* text) {
  if (!table || table->buckets <= 0 || !text) return 0;
  // The remainder taken every few characters instead of at each: the same number, as long
  // as the sum cannot overflow (below 2^16 * 257^5 < 2^57 between reductions).
  std::int64_t h = 0;
  int since = 0;
  for (const char* p = text; *p; ++p) {
    h = static_cast<signed char>(*p) + 257 * h;  // bytes above 127 count as negative
    if (++since == 5) h %= hash_modulus, since = 0;
  }
  h %= hash_modulus;
  if (h < 0) h += hash_modulus;  // keep the bucket in range
  return static_cast<int>(h % table->buckets);
}

int TAB_create(Table* table, int buckets, int record_size, int keys) {
  if (!table) return -1;
  TAB_clear(table);
  if (buckets < 1 || record_size < 0 || keys < 1) return -1;
  try {
    std::vector<std::unique_ptr<TabSlot[]>> arrays;
    std::vector<std::vector<TabSlot*>> tails;
    arrays.reserve(static_cast<std::size_t>(keys));
    tails.reserve(static_cast<std::size_t>(keys));
    for (int k = 0; k < keys; ++k) {
      arrays.push_back(std::make_unique<TabSlot[]>(static_cast<std::size_t>(buckets)));
      tails.emplace_back(static_cast<std::size_t>(buckets), nullptr);
    }
    table->bucket = std::move(arrays);
    table->tail = std::move(tails);
  } catch (const std::bad_alloc&) {
    return -1;
  } catch (const std::length_error&) {
    return -1;
  }
  table->buckets = buckets;
  table->size = record_size;
  table->keys = keys;
  return 0;
}

int TAB_enter_keys(Table* table, const void* record, const char* const* keys, int num_keys) {
  if (!table || table->buckets <= 0 || num_keys != table->keys || !keys) return -1;
  if (static_cast<int>(table->bucket.size()) != table->keys) return -1;
  for (int k = 0; k < num_keys; ++k)
    if (!keys[k]) return -1;
  try {
    // Everything that can fail comes before anything is linked in, so that a failed entry
    // leaves the table as it was.
    std::max_align_t* copy = record_room(table);
    constexpr int few = 4;
    std::array<std::string, few> on_stack;
    std::vector<std::string> on_heap(num_keys > few ? static_cast<std::size_t>(num_keys) : 0);
    std::string* text = num_keys > few ? on_heap.data() : on_stack.data();
    std::array<int, few> where_few{};
    std::vector<int> where_many(num_keys > few ? static_cast<std::size_t>(num_keys) : 0);
    int* where = num_keys > few ? where_many.data() : where_few.data();
    int more = 0;
    for (int k = 0; k < num_keys; ++k) {
      text[k] = keys[k];
      where[k] = TAB_key(table, keys[k]);
      if (table->bucket[static_cast<std::size_t>(k)][static_cast<std::size_t>(where[k])].record) ++more;
    }
    const std::size_t chained = table->chained.size();
    try {
      for (int k = 0; k < more; ++k) table->chained.emplace_back();
    } catch (...) {
      table->chained.resize(chained);
      throw;
    }

    const std::size_t bytes = record_units(table) * sizeof(std::max_align_t);
    if (record && table->size > 0) {
      std::memcpy(copy, record, static_cast<std::size_t>(table->size));
      std::memset(reinterpret_cast<unsigned char*>(copy) + table->size, 0, bytes - static_cast<std::size_t>(table->size));
    } else {
      std::memset(copy, 0, bytes);
    }
    ++table->block_used;
    std::size_t next_chained = chained;
    TabSlot* first_slot = nullptr;
    for (int k = 0; k < num_keys; ++k) {
      TabSlot& head = table->bucket[static_cast<std::size_t>(k)][static_cast<std::size_t>(where[k])];
      TabSlot*& tail = table->tail[static_cast<std::size_t>(k)][static_cast<std::size_t>(where[k])];
      TabSlot* slot = &head;
      if (head.record) {
        slot = &table->chained[next_chained++];
        (tail ? tail : &head)->next = slot;
      }
      tail = slot;
      slot->key = std::move(text[k]);
      slot->record = copy;
      if (k == 0) first_slot = slot;
    }
    if (table->last)
      table->last->next_rec = first_slot;
    else
      table->first = first_slot;
    table->last = first_slot;
    ++table->count;
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

void* TAB_search(const Table* table, int key, const char* text) {
  void* found = nullptr;
  TAB_searches(table, key, text, &found, 1);
  return found;
}

int TAB_searches(const Table* table, int key, const char* text, void** results, int max) {
  if (!valid_key_index(table, key) || !text || !results || max < 1) return 0;
  int n = 0;
  for (const TabSlot* slot = &table->bucket[key][TAB_key(table, text)]; slot && n < max;
       slot = slot->next) {
    if (slot->record && slot->key == text) results[n++] = slot->record;
  }
  return n;
}

namespace {

void* give_next(Table* table) {
  if (table->cursor >= static_cast<std::size_t>(table->count)) {
    table->cursor = walked_out;
    return nullptr;
  }
  void* record = table->blocks[table->cursor_block].get() + table->cursor_at * record_units(table);
  ++table->cursor;
  if (++table->cursor_at == block_size(table->cursor_block)) ++table->cursor_block, table->cursor_at = 0;
  return record;
}

}  // namespace

void* TAB_first(Table* table) {
  if (!table) return nullptr;
  table->cursor = table->cursor_block = table->cursor_at = 0;
  return give_next(table);
}

void* TAB_next(Table* table) {
  if (!table || table->cursor == walked_out) return nullptr;
  return give_next(table);
}

void TAB_clear(Table* table) {
  if (!table) return;
  table->bucket.clear();
  table->tail.clear();
  table->chained.clear();
  table->blocks.clear();
  table->block_records = table->block_used = 0;
  table->first = table->last = nullptr;
  table->cursor = walked_out;
  table->cursor_block = table->cursor_at = 0;
  table->count = 0;
  table->buckets = 0;
  table->size = 0;
  table->keys = 0;
}
