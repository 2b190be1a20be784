#include "console/duration_table.h"

#include <utility>

void DurationTable::Store(std::u16string key, float seconds) {
  entries_.insert_or_assign(std::move(key), seconds);
}
