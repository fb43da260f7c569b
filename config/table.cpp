#include "config/table.h"

#include <array>
#include <cstring>
#include <new>

TabSlot::~TabSlot() {
  // Unlink the chain one slot at a time: a long chain (thousands of records under
  // one key) would otherwise be destroyed by recursion.
  std::unique_ptr<TabSlot> rest = std::move(next);
  while (rest) rest = std::move(rest->next);
}

namespace {

constexpr int hash_modulus = 35177;

bool valid_key_index(const Table* table, int key) {
  return table && key >= 0 && key < table->keys && static_cast<std::size_t>(key) < table->bucket.size() &&
         table->buckets > 0;
}

}  // namespace

int TAB_key(const Table* table, const char* text) {
  if (!table || table->buckets <= 0 || !text) return 0;
  int h = 0;
  for (const char* p = text; *p; ++p) {
    const int c = static_cast<signed char>(*p);
    h = (c + 257 * h) % hash_modulus;
    if (h < 0) h += hash_modulus;  // bytes above 127 are negative; keep the bucket in range
  }
  return h % table->buckets;
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
    // Build everything that can fail before linking anything in, so that a failed
    // entry leaves the table unchanged.
    const std::size_t units = (static_cast<std::size_t>(table->size) + sizeof(std::max_align_t) - 1) /
                              sizeof(std::max_align_t);
    auto copy = std::make_shared<std::max_align_t[]>(units == 0 ? 1 : units);
    if (record && table->size > 0) std::memcpy(copy.get(), record, static_cast<std::size_t>(table->size));

    // A record has a few keys: their pieces live on the stack unless there are many.
    struct Pending {
      std::string text;
      std::unique_ptr<TabSlot> fresh;
      int where = 0;
    };
    constexpr int few = 4;
    std::array<Pending, few> on_stack;
    std::vector<Pending> on_heap(num_keys > few ? static_cast<std::size_t>(num_keys) : 0);
    Pending* pending = num_keys > few ? on_heap.data() : on_stack.data();
    for (int k = 0; k < num_keys; ++k) {
      Pending& p = pending[k];
      p.text = keys[k];
      p.where = TAB_key(table, keys[k]);
      if (table->bucket[k][p.where].record) p.fresh = std::make_unique<TabSlot>();
    }

    TabSlot* first_slot = nullptr;
    for (int k = 0; k < num_keys; ++k) {
      Pending& p = pending[k];
      TabSlot& head = table->bucket[k][p.where];
      TabSlot*& tail = table->tail[k][p.where];
      TabSlot* slot;
      if (!head.record) {
        slot = &head;
      } else {
        TabSlot* end = tail ? tail : &head;
        end->next = std::move(p.fresh);
        slot = end->next.get();
      }
      tail = slot;
      slot->key = std::move(p.text);
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
       slot = slot->next.get()) {
    if (slot->record && slot->key == text) results[n++] = slot->record.get();
  }
  return n;
}

void* TAB_first(Table* table) {
  if (!table) return nullptr;
  table->cursor = table->first;
  return table->cursor ? table->cursor->record.get() : nullptr;
}

void* TAB_next(Table* table) {
  if (!table || !table->cursor) return nullptr;
  table->cursor = table->cursor->next_rec;
  return table->cursor ? table->cursor->record.get() : nullptr;
}

void TAB_clear(Table* table) {
  if (!table) return;
  table->bucket.clear();
  table->tail.clear();
  table->cursor = table->first = table->last = nullptr;
  table->count = 0;
  table->buckets = 0;
  table->size = 0;
  table->keys = 0;
}
