// Hash tables of fixed-size records reachable under several string keys.
//
// Every record is copied once into the table; each key of the record gets a slot
// in its own bucket array and all of them point at that one copy. Records are
// also linked in insertion order so that they can be walked with TAB_first and
// TAB_next.
#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct TabSlot {
  std::string key;            // owned copy of the key text
  void* record = nullptr;     // the record's one copy, shared by all its keys
  TabSlot* next = nullptr;    // next slot of the bucket chain
  TabSlot* next_rec = nullptr;  // next record in insertion order (first key only)
};

struct Table {
  int buckets = 0;                                   // buckets per key
  int size = 0;                                      // record size in bytes
  std::size_t cursor = static_cast<std::size_t>(-1);  // iteration cursor: records given (-1: none)
  TabSlot* first = nullptr;                          // first record entered
  TabSlot* last = nullptr;                           // last record entered
  int count = 0;                                     // number of records
  int keys = 0;                                      // number of keys per record
  std::vector<std::unique_ptr<TabSlot[]>> bucket;    // one bucket array per key
  std::vector<std::vector<TabSlot*>> tail;           // chain ends, for constant-time appends
  std::deque<TabSlot> chained;                       // slots beyond the first of a bucket
  // The records, many to a block: a table of thousands of stations would otherwise cost an
  // allocation (and its bookkeeping) a record.
  std::vector<std::unique_ptr<std::max_align_t[]>> blocks;
  std::size_t block_records = 0;                     // records the last block holds
  std::size_t block_used = 0;                        // of which in use
  // Where the cursor's next record lies: records are walked in their blocks, which hold them
  // in the order they were entered, rather than slot by slot across the bucket arrays.
  std::size_t cursor_block = 0, cursor_at = 0;
};

// Allocates the bucket arrays; 0, or -1 for bad sizes or when memory runs out.
// A table that held records is cleared first.
int TAB_create(Table* table, int buckets, int record_size, int keys);

// Enters a copy of record under one key text per key; 0, or -1 when the number of
// keys does not match the table, a key is null or memory runs out.
int TAB_enter_keys(Table* table, const void* record, const char* const* keys, int num_keys);
template <typename... Keys>
int TAB_enter(Table* table, const void* record, Keys... keys) {
  const char* list[] = {static_cast<const char*>(keys)...};
  return TAB_enter_keys(table, record, list, static_cast<int>(sizeof...(Keys)));
}

// The first record entered under text for key index key (exact comparison), or null.
void* TAB_search(const Table* table, int key, const char* text);
// Up to max records entered under text, in the order they were entered; the count.
int TAB_searches(const Table* table, int key, const char* text, void** results, int max);

// Records in insertion order; null after the last one.
void* TAB_first(Table* table);
void* TAB_next(Table* table);

// Frees all keys, slots and records; the table is empty and must be created again.
void TAB_clear(Table* table);

// Bucket of a text: h = (c + 257 h) mod 35177 over the signed bytes, then h mod buckets.
int TAB_key(const Table* table, const char* text);
