// Variants as SQLite values.
#pragma once

#include <span>

#include "platform/basic/variant.h"

struct sqlite3_stmt;

namespace support {

// Binds `value` to placeholder `index` (1-based): Empty and Null as NULL,
// Booleans as 1 and 0, whole numbers as integers, other numbers and dates as
// reals (dates as their serial), texts as text, byte arrays as blobs. Texts
// are bound without a copy: `value` must outlive the statement's run.
// Anything else raises 13.
void BindValue(sqlite3_stmt* stmt, int index, const platform::Variant& value);

// Binds all values in order; raises when their number differs from the
// statement's placeholders.
void BindValues(sqlite3_stmt* stmt, std::span<const platform::Variant> values);

}  // namespace support
