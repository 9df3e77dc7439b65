#include "strtable/string_table.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "strtable/shift_fold_hash.h"

namespace strtable {
namespace {

// Stored texts end at their first NUL, so views are cut there too; otherwise a
// key with an embedded NUL could compare past an entry's terminator.
std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string_view ViewOf(const char* text) {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

constexpr size_t kMaxParts = 3;  // key, separator, value

}  // namespace

std::unique_ptr<StringTable> StringTable::Create(const char* separator, Limits limits) {
  std::unique_ptr<StringTable> table(new (std::nothrow) StringTable());
  if (!table || !table->Init(separator, limits)) return nullptr;
  return table;
}

void StringTable::Destroy(std::unique_ptr<StringTable> table) { table.reset(); }

StringTable::~StringTable() = default;

bool StringTable::Init(const char* separator, Limits limits) {
  const Limits ceiling;
  limits_.max_slots = std::clamp(limits.max_slots, kSlotStep, ceiling.max_slots);
  limits_.max_pool_bytes = std::clamp(limits.max_pool_bytes, kPoolStep, ceiling.max_pool_bytes);

  std::string_view sep = ViewOf(separator);
  if (sep.empty()) sep = kDefaultSeparator;
  sep = sep.substr(0, kMaxSeparatorLength);
  std::copy(sep.begin(), sep.end(), separator_.begin());
  separator_length_ = sep.size();

  if (!entries_.Resize(kSlotStep) || !list_.Resize(kSlotStep) || !key_chain_.Resize(kSlotStep) ||
      !pool_.Resize(kPoolStep)) {
    return false;
  }
  capacity_ = kSlotStep;
  pool_capacity_ = kPoolStep;
  Clear();
  return true;
}

void StringTable::Clear() {
  added_ = 0;
  count_ = 0;
  pool_used_ = 0;
  key_heads_.fill(-1);
  key_tails_.fill(-1);
  std::ranges::fill(key_chain_.span(), -1);
}

bool StringTable::InPool(const char* p) const {
  const std::less<const char*> before;
  const char* begin = pool_.data();
  return !before(p, begin) && before(p, begin + pool_.size());
}

int StringTable::Add(const char* text) { return text == nullptr ? count_ : Add(ViewOf(text)); }

int StringTable::Add(std::string_view text) {
  std::array<std::string_view, 1> parts{CutAtNul(text)};
  return AppendEntry(parts);
}

int StringTable::AppendEntry(std::span<std::string_view> parts) {
  size_t total = 0;
  for (const std::string_view part : parts) total += part.size();
  if (total == 0) return count_;

  // Reserve everything before touching the table, so a failure leaves it as
  // it was (no half-copied text using up pool bytes).
  if (added_ == capacity_ && !GrowSlots()) return -1;
  if (!ReservePool(total + 1, parts)) return -1;

  const int32_t offset = pool_used_;
  const std::span<char> dest = pool_.span().subspan(static_cast<size_t>(offset), total + 1);
  size_t at = 0;
  for (const std::string_view part : parts) {
    if (part.empty()) continue;
    // memmove: a part may come from this pool.
    std::memmove(dest.subspan(at).data(), part.data(), part.size());
    at += part.size();
  }
  dest[total] = '\0';

  IndexEntry(added_, std::string_view(dest.data(), total));
  entries_.span()[static_cast<size_t>(added_)] = offset;
  list_.span()[static_cast<size_t>(count_)] = offset;
  pool_used_ += static_cast<int32_t>(total + 1);
  ++added_;
  ++count_;
  return count_;
}

bool StringTable::GrowSlots() {
  if (capacity_ > limits_.max_slots - kSlotStep) return false;
  const size_t grown = static_cast<size_t>(capacity_) + kSlotStep;
  // A partial failure leaves some arrays larger than capacity_; harmless, and
  // the next attempt resizes them to the same size again.
  if (!entries_.Resize(grown) || !list_.Resize(grown) || !key_chain_.Resize(grown)) return false;
  std::ranges::fill(key_chain_.span().subspan(static_cast<size_t>(capacity_)), -1);
  capacity_ = static_cast<int32_t>(grown);
  return true;
}

bool StringTable::ReservePool(size_t bytes, std::span<std::string_view> parts) {
  if (bytes > static_cast<size_t>(limits_.max_pool_bytes - pool_used_)) return false;
  const size_t needed = static_cast<size_t>(pool_used_) + bytes;
  const size_t capacity = static_cast<size_t>(pool_capacity_);
  if (needed <= capacity) return true;

  // Whole steps only; the limit is a multiple of the step, so this stays under it.
  const size_t steps = (needed - capacity + kPoolStep - 1) / kPoolStep;
  const size_t grown = capacity + steps * kPoolStep;

  // Parts taken from this pool must follow it if it moves.
  std::array<ptrdiff_t, kMaxParts> offsets{};
  offsets.fill(-1);
  for (size_t i = 0; i < parts.size() && i < kMaxParts; ++i) {
    if (!parts[i].empty() && InPool(parts[i].data())) offsets[i] = parts[i].data() - pool_.data();
  }
  if (!pool_.Resize(grown)) return false;
  for (size_t i = 0; i < parts.size() && i < kMaxParts; ++i) {
    if (offsets[i] >= 0) parts[i] = std::string_view(pool_.data() + offsets[i], parts[i].size());
  }
  pool_capacity_ = static_cast<int32_t>(grown);
  return true;
}

void StringTable::IndexEntry(int32_t entry_number, std::string_view text) {
  const auto entry = static_cast<size_t>(entry_number);
  key_chain_.span()[entry] = -1;
  const size_t key_length = text.find(SeparatorView());
  if (key_length == std::string_view::npos) return;  // no key: listed but not indexed

  const size_t bucket = ShiftFoldHash(text.substr(0, key_length)) % kKeyBuckets;
  if (key_tails_[bucket] < 0) {
    key_heads_[bucket] = entry_number;
  } else {
    key_chain_.span()[static_cast<size_t>(key_tails_[bucket])] = entry_number;
  }
  key_tails_[bucket] = entry_number;
}

bool StringTable::KeyMatches(const char* entry, std::string_view key) const {
  const std::string_view sep = SeparatorView();
  // Only the first key + separator bytes matter; do not measure the whole value.
  const std::string_view text(entry, strnlen(entry, key.size() + sep.size()));
  if (!text.starts_with(key) || !text.substr(key.size()).starts_with(sep)) return false;
  // The separator must not occur earlier, or the entry's key is shorter than
  // the one asked for (a key containing the separator never matches).
  return text.substr(0, key.size() + sep.size() - 1).find(sep) == std::string_view::npos;
}

int StringTable::LiveIndexOf(int32_t entry_number) const {
  if (count_ == 0) return -1;
  // The live list keeps pool order, so the entry can only sit at or below its
  // entry number; search downwards from there.
  const int32_t offset = entries_.span()[static_cast<size_t>(entry_number)];
  const std::span<const int32_t> live = list_.span().first(static_cast<size_t>(count_));
  size_t i = static_cast<size_t>(std::min(entry_number, count_ - 1));
  while (live[i] > offset && i != 0) --i;
  return live[i] == offset ? static_cast<int>(i) : -1;
}

int StringTable::FindKey(const char* key) const {
  return key == nullptr ? -1 : FindKey(ViewOf(key));
}

int StringTable::FindKey(std::string_view key) const {
  key = CutAtNul(key);
  const size_t bucket = ShiftFoldHash(key) % kKeyBuckets;
  const std::span<const int32_t> chain = key_chain_.span();
  const std::span<const int32_t> entries = entries_.span();
  for (int32_t e = key_heads_[bucket]; e >= 0; e = chain[static_cast<size_t>(e)]) {
    if (!KeyMatches(TextAt(entries[static_cast<size_t>(e)]), key)) continue;
    const int index = LiveIndexOf(e);
    if (index >= 0) return index;
  }
  return -1;
}

const char* StringTable::ValueOf(const char* key) const {
  return key == nullptr ? nullptr : ValueOf(ViewOf(key));
}

const char* StringTable::ValueOf(std::string_view key) const {
  key = CutAtNul(key);
  const int index = FindKey(key);
  if (index < 0) return nullptr;
  return std::string_view(EntryAt(index)).substr(key.size() + separator_length_).data();
}

int StringTable::Set(const char* key, const char* value) {
  return key == nullptr ? -1 : Set(ViewOf(key), ViewOf(value));
}

int StringTable::Set(std::string_view key, std::string_view value) {
  key = CutAtNul(key);
  value = CutAtNul(value);
  const std::string_view sep = SeparatorView();

  // The stored text's first separator must come right after the key, or the
  // entry would be filed under a shorter key and never be found again. Look in
  // the key and in the seam where the key's tail meets the separator.
  if (key.find(sep) != std::string_view::npos) return -1;
  const std::string_view tail = key.substr(key.size() - std::min(key.size(), sep.size() - 1));
  std::array<char, 2 * kMaxSeparatorLength> seam{};
  std::ranges::copy(tail, seam.begin());
  std::ranges::copy(sep, seam.begin() + static_cast<ptrdiff_t>(tail.size()));
  if (std::string_view(seam.data(), tail.size() + sep.size()).find(sep) != tail.size()) return -1;

  const int old = FindKey(key);
  if (old >= 0 && std::string_view(ValueOf(key)) == value) return count_;

  // Add the new entry before removing the old one, so a failed addition loses
  // nothing. The new entry goes after the old one, whose index stays valid.
  std::array<std::string_view, kMaxParts> parts{key, sep, value};
  if (AppendEntry(parts) < 0) return -1;
  if (old >= 0) RemoveAt(old);
  return count_;
}

int StringTable::RemoveAt(int index) {
  if (index < 0 || index >= count_) return -1;
  const std::span<int32_t> live = list_.span().first(static_cast<size_t>(count_));
  std::copy(live.begin() + index + 1, live.end(), live.begin() + index);
  --count_;
  return count_;
}

const char* StringTable::EntryAt(int index) const {
  if (index < 0 || index >= count_) return nullptr;
  return TextAt(list_.span()[static_cast<size_t>(index)]);
}

const char* StringTable::ValueAt(int index) const {
  const char* entry = EntryAt(index);
  if (entry == nullptr) return nullptr;
  const std::string_view text(entry);
  const size_t at = text.find(SeparatorView());
  if (at == std::string_view::npos) return nullptr;
  return text.substr(at + separator_length_).data();
}

int StringTable::KeyAt(int index, std::span<char> out) const {
  const char* entry = EntryAt(index);
  if (entry == nullptr) return kNoSuchIndex;
  const std::string_view text(entry);
  const size_t at = text.find(SeparatorView());
  const std::string_view key = text.substr(0, at);
  if (key.size() >= out.size()) {
    if (!out.empty()) out[0] = '\0';
    return kKeyTooLong;
  }
  std::ranges::copy(key, out.begin());
  out[key.size()] = '\0';
  return at == std::string_view::npos ? 0 : static_cast<int>(key.size());
}

int StringTable::KeyAt(int index, char* buffer, int size) const {
  std::span<char> out;
  if (buffer != nullptr && size > 0) out = std::span<char>(buffer, static_cast<size_t>(size));
  return KeyAt(index, out);
}

int StringTable::Split(const char* text, const char* delimiter) {
  return Split(ViewOf(text), ViewOf(delimiter));
}

int StringTable::Split(std::string_view text, std::string_view delimiter) {
  return SplitInto(CutAtNul(text), CutAtNul(delimiter), false);
}

int StringTable::SplitLines(const char* text) { return SplitLines(ViewOf(text)); }

int StringTable::SplitLines(std::string_view text) { return SplitInto(CutAtNul(text), {}, true); }

int StringTable::SplitInto(std::string_view text, std::string_view delimiter, bool lines) {
  // Clear reuses the pool from its start, which would overwrite a source text
  // that lives in it; work from a private copy then.
  std::string text_copy;
  std::string delimiter_copy;
  try {
    if (!text.empty() && InPool(text.data())) text = text_copy.assign(text);
    if (!delimiter.empty() && InPool(delimiter.data())) {
      delimiter = delimiter_copy.assign(delimiter);
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }

  Clear();
  bool ok = true;
  const auto add = [&](std::string_view piece) {
    std::array<std::string_view, 1> parts{piece};
    ok = ok && AppendEntry(parts) >= 0;
  };

  if (lines) {
    // Any run of CR and LF ends a line; the empty lines between add nothing.
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\r' && text[i] != '\n') continue;
      add(text.substr(start, i - start));
      start = i + 1;
    }
    add(text.substr(start));
  } else if (delimiter.empty()) {
    add(text);
  } else {
    size_t start = 0;
    for (size_t at; (at = text.find(delimiter, start)) != std::string_view::npos;) {
      add(text.substr(start, at - start));
      start = at + delimiter.size();
    }
    add(text.substr(start));
  }

  if (!ok) {
    // A partial table would pass for a complete one; leave it empty instead.
    Clear();
    return -1;
  }
  return count_;
}

}  // namespace strtable
