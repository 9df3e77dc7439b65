// Keyed string table: an ordered list of NUL-terminated text entries with a
// hash index on each entry's key, the part before the first separator.
//
// The table owns its texts: every addition copies the text into a pool where
// it stays, at a fixed offset, until Clear. Removing an entry only takes it out
// of the live list. The texts that EntryAt, ValueAt and ValueOf hand out point
// into the pool and stay valid until the next addition to the same table (the
// pool may move when it grows), Clear or Destroy. Separator() lives as long as
// the table.
//
// Indexes are live-list indexes, 0 .. Count() - 1, in order of addition.
// Text arguments may be null, which counts as an absent text. string_view
// arguments are cut at their first NUL, like the stored texts.
//
// A table has no lock; use it from one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string_view>

#include "strtable/detail/pod_array.h"

namespace strtable {

inline constexpr int32_t kStringTableSlotStep = 256;    // initial slots and growth step
inline constexpr int32_t kStringTablePoolStep = 16384;  // initial pool bytes and growth step

// Ceilings on a table's memory use. Add fails with -1 rather than grow past
// them. The defaults are the largest sizes the 32-bit counts can describe;
// callers filling a table from untrusted input may set lower ones. Values
// below the initial sizes are raised to them.
struct StringTableLimits {
  int32_t max_slots =
      std::numeric_limits<int32_t>::max() / kStringTableSlotStep * kStringTableSlotStep;
  int32_t max_pool_bytes =
      std::numeric_limits<int32_t>::max() / kStringTablePoolStep * kStringTablePoolStep;
};

class StringTable {
 public:
  static constexpr int kKeyBuckets = 2043;
  static constexpr int32_t kSlotStep = kStringTableSlotStep;
  static constexpr int32_t kPoolStep = kStringTablePoolStep;
  static constexpr int kMaxSeparatorLength = 15;  // longer separators are cut
  static constexpr const char* kDefaultSeparator = "=";

  using Limits = StringTableLimits;

  // KeyAt results besides a key length.
  static constexpr int kNoSuchIndex = -1;
  static constexpr int kKeyTooLong = -2;

  // A new empty table, or null when memory cannot be obtained. An absent or
  // empty separator means "=".
  static std::unique_ptr<StringTable> Create(const char* separator = nullptr, Limits limits = {});
  // Releases the table; null is fine.
  static void Destroy(std::unique_ptr<StringTable> table);

  StringTable(const StringTable&) = delete;
  StringTable& operator=(const StringTable&) = delete;
  ~StringTable();

  // Empties entries, pool and index; capacities and separator stay.
  void Clear();

  // Appends a copy of the text as a new live entry. Returns the new count; the
  // unchanged count for an absent or empty text; -1 when the table cannot grow
  // (then nothing changes). The text may lie in this table's own pool.
  int Add(const char* text);
  int Add(std::string_view text);

  // Clear, then Add every piece of the text between delimiter occurrences.
  // Empty pieces add nothing; an empty delimiter keeps the text whole. Returns
  // the count, or -1 (table left empty) when an addition fails.
  int Split(const char* text, const char* delimiter);
  int Split(std::string_view text, std::string_view delimiter);

  // Clear, then Add every line; CR, LF, CR LF and LF CR end a line. Empty
  // lines add nothing. Returns the count, or -1 (table left empty) on failure.
  int SplitLines(const char* text);
  int SplitLines(std::string_view text);

  // Live index of the first live entry, in order of addition, whose key is the
  // given key; -1 when there is none or the key is absent.
  int FindKey(const char* key) const;
  int FindKey(std::string_view key) const;

  // The value (text after key and separator) of the entry FindKey finds, or null.
  const char* ValueOf(const char* key) const;
  const char* ValueOf(std::string_view key) const;

  // Makes the table hold "key<separator>value" as one entry. An equal value
  // changes nothing; a different one appends the new entry and then removes
  // the old, so a changed key moves to the end. An absent value counts as
  // empty. Returns the new count, or -1 when the key is absent or contains
  // the separator, or the table cannot grow (the old entry then stays).
  int Set(const char* key, const char* value);
  int Set(std::string_view key, std::string_view value);

  // Removes the live entry at index; returns the new count, or -1.
  int RemoveAt(int index);

  // Whole text of the live entry at index, or null when out of range.
  const char* EntryAt(int index) const;

  // Text after the first separator of the entry at index, or null when out of
  // range or the entry has no separator.
  const char* ValueAt(int index) const;

  // Copies the key of the entry at index into out, NUL-terminated, and
  // returns its length (0 also for an entry starting with the separator). An
  // entry without separator is copied whole and gives 0. A key of up to
  // out.size() - 1 characters fits; a longer one gives kKeyTooLong with an
  // empty text in out (when out has room for one). An index out of range
  // gives kNoSuchIndex and leaves out alone.
  int KeyAt(int index, std::span<char> out) const;
  // The same for a (buffer, size) pair; a null buffer or size <= 0 fits nothing.
  int KeyAt(int index, char* buffer, int size) const;

  int Count() const { return count_; }
  // Entries added since creation or the last Clear, removed ones included.
  // Zero means the table has not been filled since then.
  int AddedCount() const { return added_; }
  const char* Separator() const { return separator_.data(); }

  // Current sizes, for callers that watch memory use.
  int32_t SlotCapacity() const { return capacity_; }
  int32_t PoolCapacity() const { return pool_capacity_; }
  int32_t PoolUsed() const { return pool_used_; }

 private:
  StringTable() = default;
  bool Init(const char* separator, Limits limits);

  std::string_view SeparatorView() const { return {separator_.data(), separator_length_}; }
  const char* TextAt(int32_t pool_offset) const { return pool_.data() + pool_offset; }
  bool InPool(const char* p) const;

  // Copies the parts, back to back, into the pool as one new entry.
  int AppendEntry(std::span<std::string_view> parts);
  bool GrowSlots();
  bool ReservePool(size_t bytes, std::span<std::string_view> parts);
  void IndexEntry(int32_t entry_number, std::string_view text);

  bool KeyMatches(const char* entry, std::string_view key) const;
  int LiveIndexOf(int32_t entry_number) const;
  int SplitInto(std::string_view text, std::string_view delimiter, bool lines);

  // Per entry number: pool offset of the entry's text.
  detail::PodArray<int32_t> entries_;
  // Live list: pool offsets of the live entries, strictly increasing.
  detail::PodArray<int32_t> list_;
  // Per entry number: next entry number in the same bucket, or -1.
  detail::PodArray<int32_t> key_chain_;
  detail::PodArray<char> pool_;
  int32_t added_ = 0;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  int32_t pool_capacity_ = 0;
  std::array<char, kMaxSeparatorLength + 1> separator_{};
  size_t separator_length_ = 0;
  int32_t pool_used_ = 0;
  // Per bucket: first and last entry number of the chain, or -1. The tail
  // lets additions append in constant time whatever the key distribution.
  std::array<int32_t, kKeyBuckets> key_heads_{};
  std::array<int32_t, kKeyBuckets> key_tails_{};
  Limits limits_;
};

}  // namespace strtable
