// The controller's bookkeeping of rows, apart from its decisions: a flat table of row
// pointers, the rows' prefetching on a long walk, and an autorelease pool as a scope.
// Included by ZELPreferenceController.cpp alone, hence its names stay in that file's unnamed
// namespace.
#pragma once

#include <Foundation/Foundation.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

namespace {

// Rows (object pointers) in a flat open-addressing table, each with its position in a list
// when `kPositions`: the walk looks rows up once or twice each, and a table of nodes would cost
// an allocation per row and a cache miss per look-up on a long list. Kept small for the same
// reason: filled up to three quarters, a set holding the pointers alone.
template <bool kPositions>
class RowTable {
 public:
  // Empties the table, made ready for about `expected` rows.
  void reset(size_t expected) {
    size_t size = 16;
    while (3 * size < 4 * expected) size *= 2;
    slots_.assign(size, Slot{});
    used_ = 0;
  }
  bool empty() const { return used_ == 0; }
  // Makes the first room for about `expected` rows, when the first row comes.
  void expect(size_t expected) { expected_ = expected; }

  // Adds `row` (at `position`); a row already present keeps its first position.
  void insert(id row, NSUInteger position = 0) {
    if (4 * (used_ + 1) > 3 * slots_.size()) grow();
    Slot& slot = slotFor(row);
    if (slot.row != nil) return;
    slot.row = row;
    if constexpr (kPositions) slot.position = position;
    ++used_;
  }
  // Where `row` was added; nothing when it was not.
  std::optional<NSUInteger> find(id row) const requires kPositions {
    const Slot* slot = lookUp(row);
    if (slot == nullptr) return std::nullopt;
    return slot->position;
  }
  bool contains(id row) const { return lookUp(row) != nullptr; }

 private:
  struct NoPosition {};
  struct Slot {
    id row = nil;
    [[no_unique_address]] std::conditional_t<kPositions, NSUInteger, NoPosition> position{};
  };
  const Slot* lookUp(id row) const {
    if (used_ == 0) return nullptr;
    const Slot& slot = const_cast<RowTable*>(this)->slotFor(row);
    return slot.row == nil ? nullptr : &slot;
  }
  Slot& slotFor(id row) {
    size_t mask = slots_.size() - 1;
    auto bits = reinterpret_cast<uintptr_t>(row);
    size_t at = static_cast<size_t>((bits >> 4) * 0x9E3779B97F4A7C15ull >> 20) & mask;
    while (slots_[at].row != nil && slots_[at].row != row) at = (at + 1) & mask;
    return slots_[at];
  }
  void grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    reset(old.empty() ? std::max<size_t>(expected_, 8) : old.size());
    for (const Slot& slot : old) {
      if (slot.row == nil) continue;
      if constexpr (kPositions) {
        insert(slot.row, slot.position);
      } else {
        insert(slot.row);
      }
    }
  }

  std::vector<Slot> slots_;
  size_t used_ = 0;
  size_t expected_ = 0;
};
using RowPositions = RowTable<true>;
using RowSet = RowTable<false>;

// On a long list each row the walk reads lies far in memory from the one before, and reading
// its attributes waits on memory several times over. A hint to fetch the row a few places
// ahead of `rows[i]` (the walk goes backwards), with what follows it (a row read from a list is
// followed by its attribute dictionary), lets those loads overlap with the work on the rows
// before it.
inline void fetchAhead(const id* rows, NSUInteger i) {
  constexpr NSUInteger kAhead = 16;  // rows
  constexpr int kAheadLines = 6;     // cache lines of 64 bytes
  if (i >= kAhead) {
    const char* ahead = reinterpret_cast<const char*>(rows[i - kAhead]);
    for (int line = 0; line < kAheadLines; ++line) __builtin_prefetch(ahead + 64 * line);
  }
}

// `@autoreleasepool { ... }`, as a scope.
class AutoreleasePoolScope {
 public:
  AutoreleasePoolScope() : token_(objc_autoreleasePoolPush()) {}
  ~AutoreleasePoolScope() { objc_autoreleasePoolPop(token_); }
  AutoreleasePoolScope(const AutoreleasePoolScope&) = delete;
  AutoreleasePoolScope& operator=(const AutoreleasePoolScope&) = delete;

 private:
  void* token_;
};

}  // namespace
