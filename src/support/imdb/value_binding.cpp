#include "support/imdb/value_binding.h"

#include <sqlite3.h>

#include <string>

#include "platform/basic/conversions.h"
#include "support/imdb/imdb_error.h"

namespace support {

void BindValue(sqlite3_stmt* stmt, int index, const platform::Variant& value) {
  using platform::VarType;
  int rc = SQLITE_OK;
  switch (value.vt()) {
    case VarType::kEmpty:
    case VarType::kNull:
      rc = sqlite3_bind_null(stmt, index);
      break;
    case VarType::kBoolean:
      rc = sqlite3_bind_int(stmt, index, value.BoolValue() ? 1 : 0);
      break;
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
      rc = sqlite3_bind_int64(stmt, index, platform::CLng(value));
      break;
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
      rc = sqlite3_bind_double(stmt, index, platform::CDbl(value));
      break;
    case VarType::kString: {
      const std::string& text = value.StringValue();
      rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
      break;
    }
    default:
      if (value.IsByteArray()) {
        const auto& bytes = value.Bytes();
        rc = sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
        break;
      }
      platform::RaiseError(platform::kErrTypeMismatch, {}, kImdbProgId);
  }
  if (rc != SQLITE_OK) RaiseImdbError(sqlite3_errmsg(sqlite3_db_handle(stmt)));
}

void BindValues(sqlite3_stmt* stmt, std::span<const platform::Variant> values) {
  int expected = sqlite3_bind_parameter_count(stmt);
  if (static_cast<size_t>(expected) != values.size()) {
    RaiseImdbError("the statement has " + std::to_string(expected) + " placeholders but " +
                   std::to_string(values.size()) + " values were given");
  }
  for (size_t i = 0; i < values.size(); ++i) BindValue(stmt, static_cast<int>(i + 1), values[i]);
}

}  // namespace support
