#pragma once

#include <map>
#include <string>

// Probe results keyed by text, iterated in ascending order of UTF-16 code units taken as
// unsigned numbers (case-sensitive, not locale-aware; a proper prefix sorts first).
class DurationTable {
 public:
  using Entries = std::map<std::u16string, float>;

  // Stores `seconds` under `key`; a later store under the same key replaces the earlier one.
  void Store(std::u16string key, float seconds);

  Entries::const_iterator begin() const { return entries_.begin(); }
  Entries::const_iterator end() const { return entries_.end(); }
  bool empty() const { return entries_.empty(); }

 private:
  // std::u16string compares char16_t, an unsigned type, element by element: the order wanted.
  Entries entries_;
};
