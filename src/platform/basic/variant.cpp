#include "platform/basic/variant.h"

#include <atomic>
#include <ostream>

#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"

namespace platform {

struct VariantArray {
  VarType element = VarType::kVariant;
  bool allocated = true;
  int32_t lower = 0;
  std::vector<uint8_t> bytes;   // element kByte
  std::vector<Variant> items;   // every other element type

  size_t size() const { return element == VarType::kByte ? bytes.size() : items.size(); }
};

namespace {

bool IsValidElementType(VarType element) {
  switch (element) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
    case VarType::kString:
    case VarType::kObject:
    case VarType::kError:
    case VarType::kBoolean:
    case VarType::kVariant:
    case VarType::kByte:
      return true;
    default:
      return false;
  }
}

// What a fresh element of a dimensioned array holds.
Variant DefaultElement(VarType element) {
  switch (element) {
    case VarType::kInteger: return Variant(int16_t{0});
    case VarType::kLong: return Variant(int32_t{0});
    case VarType::kSingle: return Variant(0.0f);
    case VarType::kDouble: return Variant(0.0);
    case VarType::kCurrency: return Variant::Currency(0);
    case VarType::kDate: return Variant::Date(0);
    case VarType::kString: return Variant(std::string());
    case VarType::kObject: return Variant::Nothing();
    case VarType::kError: return Variant::Error(0);
    case VarType::kBoolean: return Variant(false);
    default: return Variant();
  }
}

Variant ToElement(const Variant& value, VarType element) {
  if (element == VarType::kVariant) return value;
  return ConvertTo(value, element);
}

// The element count of bounds lower..upper; raises 9 when upper < lower - 1.
size_t CountOf(int32_t lower, int32_t upper) {
  int64_t count = int64_t{upper} - int64_t{lower} + 1;
  if (count < 0) RaiseError(kErrSubscript);
  return static_cast<size_t>(count);
}

void CheckUpperBoundFits(int32_t lower, size_t count) {
  if (count > 0 && int64_t{lower} + static_cast<int64_t>(count) - 1 > INT32_MAX) RaiseError(kErrOverflow);
}

std::atomic<std::string (*)(const com::Object&)> g_type_name_hook{nullptr};
std::atomic<bool (*)(const com::Object&, Variant*)> g_default_value_hook{nullptr};

}  // namespace

Variant::Variant(std::vector<uint8_t> bytes) : Variant(ByteArray(std::move(bytes))) {}

Variant Variant::Currency(int64_t ten_thousandths) { return Variant(VarType::kCurrency, ten_thousandths); }
Variant Variant::Date(double serial) { return Variant(VarType::kDate, serial); }
Variant Variant::Error(int32_t code) { return Variant(VarType::kError, code); }

Variant Variant::ByteArray(std::vector<uint8_t> bytes, int32_t lower_bound) {
  CheckUpperBoundFits(lower_bound, bytes.size());
  auto array = std::make_shared<VariantArray>();
  array->element = VarType::kByte;
  array->lower = lower_bound;
  array->bytes = std::move(bytes);
  return Variant(ArrayOf(VarType::kByte), std::move(array));
}

Variant Variant::ByteArray(std::string_view bytes, int32_t lower_bound) {
  return ByteArray(std::vector<uint8_t>(bytes.begin(), bytes.end()), lower_bound);
}

Variant Variant::Array(std::vector<Variant> items, int32_t lower_bound, VarType element) {
  if (!IsValidElementType(element)) RaiseError(kErrInvalidCall, "", "Array");
  CheckUpperBoundFits(lower_bound, items.size());
  auto array = std::make_shared<VariantArray>();
  array->element = element;
  array->lower = lower_bound;
  if (element == VarType::kByte) {
    array->bytes.reserve(items.size());
    for (const Variant& item : items) array->bytes.push_back(CByte(item));
  } else {
    if (element != VarType::kVariant) {
      for (Variant& item : items) item = ToElement(item, element);
    }
    array->items = std::move(items);
  }
  return Variant(ArrayOf(element), std::move(array));
}

Variant Variant::UnallocatedArray(VarType element) {
  if (!IsValidElementType(element)) RaiseError(kErrInvalidCall, "", "Array");
  auto array = std::make_shared<VariantArray>();
  array->element = element;
  array->allocated = false;
  return Variant(ArrayOf(element), std::move(array));
}

bool Variant::IsNothing() const {
  const auto* object = std::get_if<com::ObjectPtr>(&data_);
  return vt_ == VarType::kObject && (object == nullptr || *object == nullptr);
}

bool Variant::IsMissing() const { return vt_ == VarType::kError && ErrorValue() == kDispParamNotFound; }

bool Variant::IsNumber() const {
  switch (vt_) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kByte:
      return true;
    default:
      return false;
  }
}

double Variant::NumericValue() const {
  switch (vt_) {
    case VarType::kEmpty: return 0;
    case VarType::kBoolean: return BoolValue() ? -1 : 0;
    case VarType::kByte: return ByteValue();
    case VarType::kInteger: return IntegerValue();
    case VarType::kLong: return LongValue();
    case VarType::kSingle: return SingleValue();
    case VarType::kDouble: return DoubleValue();
    case VarType::kCurrency: return static_cast<double>(CurrencyValue()) / 10000.0;
    case VarType::kDate: return DateValue();
    default: Mismatch();
  }
}

void Variant::Mismatch() const { RaiseError(kErrTypeMismatch); }

// Each typed accessor checks the type code first: several codes share a
// storage type (Date and Double, Error and Long).
#define HEARTH_TYPED_ACCESSOR(Name, Type, Code)             \
  Type Variant::Name() const {                              \
    if (vt_ != VarType::Code) Mismatch();                   \
    return std::get<Type>(data_);                           \
  }
HEARTH_TYPED_ACCESSOR(BoolValue, bool, kBoolean)
HEARTH_TYPED_ACCESSOR(ByteValue, uint8_t, kByte)
HEARTH_TYPED_ACCESSOR(IntegerValue, int16_t, kInteger)
HEARTH_TYPED_ACCESSOR(LongValue, int32_t, kLong)
HEARTH_TYPED_ACCESSOR(SingleValue, float, kSingle)
HEARTH_TYPED_ACCESSOR(DoubleValue, double, kDouble)
HEARTH_TYPED_ACCESSOR(CurrencyValue, int64_t, kCurrency)
HEARTH_TYPED_ACCESSOR(DateValue, double, kDate)
HEARTH_TYPED_ACCESSOR(ErrorValue, int32_t, kError)
#undef HEARTH_TYPED_ACCESSOR

const std::string& Variant::StringValue() const {
  if (vt_ != VarType::kString) Mismatch();
  return std::get<std::string>(data_);
}

const com::ObjectPtr& Variant::ObjectValue() const {
  if (vt_ != VarType::kObject) Mismatch();
  return std::get<com::ObjectPtr>(data_);
}

const VariantArray& Variant::ArrayStorage() const {
  if (!IsArray()) Mismatch();
  return *std::get<ArrayPtr>(data_);
}

VariantArray& Variant::MutableArrayStorage() {
  if (!IsArray()) Mismatch();
  ArrayPtr& array = std::get<ArrayPtr>(data_);
  if (array.use_count() > 1) array = std::make_shared<VariantArray>(*array);
  return *array;
}

bool Variant::IsAllocated() const { return IsArray() && ArrayStorage().allocated; }

int32_t Variant::LowerBound() const {
  const VariantArray& array = ArrayStorage();
  if (!array.allocated) RaiseError(kErrSubscript);
  return array.lower;
}

int32_t Variant::UpperBound() const {
  const VariantArray& array = ArrayStorage();
  if (!array.allocated) RaiseError(kErrSubscript);
  return static_cast<int32_t>(int64_t{array.lower} + static_cast<int64_t>(array.size()) - 1);
}

int32_t Variant::ElementCount() const {
  const VariantArray& array = ArrayStorage();
  return static_cast<int32_t>(array.size());
}

namespace {

size_t OffsetOf(const VariantArray& array, int32_t index) {
  if (!array.allocated) RaiseError(kErrSubscript);
  int64_t offset = int64_t{index} - array.lower;
  if (offset < 0 || offset >= static_cast<int64_t>(array.size())) RaiseError(kErrSubscript);
  return static_cast<size_t>(offset);
}

}  // namespace

Variant Variant::Element(int32_t index) const {
  const VariantArray& array = ArrayStorage();
  size_t offset = OffsetOf(array, index);
  if (array.element == VarType::kByte) return Variant(array.bytes[offset]);
  return array.items[offset];
}

void Variant::SetElement(int32_t index, const Variant& value) {
  // Convert before unsharing, so a failed conversion leaves the array alone.
  VarType element = ArrayStorage().element;
  OffsetOf(ArrayStorage(), index);
  if (element == VarType::kByte) {
    uint8_t byte = CByte(value);
    VariantArray& array = MutableArrayStorage();
    array.bytes[OffsetOf(array, index)] = byte;
  } else {
    Variant converted = ToElement(value, element);
    VariantArray& array = MutableArrayStorage();
    array.items[OffsetOf(array, index)] = std::move(converted);
  }
}

void Variant::ReDim(int32_t lower, int32_t upper, bool preserve) {
  size_t count = CountOf(lower, upper);
  if (!IsArray()) {
    // ReDim of a plain Variant makes it an array of Variants.
    *this = Array({}, 0, VarType::kVariant);
    preserve = false;
  }
  VariantArray& array = MutableArrayStorage();
  if (array.element == VarType::kByte) {
    if (!preserve) array.bytes.clear();
    array.bytes.resize(count, 0);
  } else {
    if (!preserve) array.items.clear();
    array.items.resize(count, DefaultElement(array.element));
  }
  array.lower = lower;
  array.allocated = true;
}

const std::vector<uint8_t>& Variant::Bytes() const {
  if (!IsByteArray()) Mismatch();
  return ArrayStorage().bytes;
}

std::vector<uint8_t>& Variant::MutableBytes() {
  if (!IsByteArray()) Mismatch();
  VariantArray& array = MutableArrayStorage();
  array.allocated = true;
  return array.bytes;
}

const std::vector<Variant>& Variant::Items() const {
  if (!IsArray() || IsByteArray()) Mismatch();
  return ArrayStorage().items;
}

int32_t LBound(const Variant& array) { return array.LowerBound(); }
int32_t UBound(const Variant& array) { return array.UpperBound(); }

std::string VarTypeName(VarType vt) {
  if (IsArrayType(vt)) {
    VarType element = ElementTypeOf(vt);
    if (element == VarType::kEmpty || IsArrayType(element)) return "Unknown()";
    return VarTypeName(element) + "()";
  }
  switch (vt) {
    case VarType::kEmpty: return "Empty";
    case VarType::kNull: return "Null";
    case VarType::kInteger: return "Integer";
    case VarType::kLong: return "Long";
    case VarType::kSingle: return "Single";
    case VarType::kDouble: return "Double";
    case VarType::kCurrency: return "Currency";
    case VarType::kDate: return "Date";
    case VarType::kString: return "String";
    case VarType::kObject: return "Object";
    case VarType::kError: return "Error";
    case VarType::kBoolean: return "Boolean";
    case VarType::kVariant: return "Variant";
    case VarType::kByte: return "Byte";
    default: return "Unknown";
  }
}

std::string TypeName(const Variant& value) {
  if (!value.IsObject()) return VarTypeName(value.vt());
  const com::ObjectPtr& object = value.ObjectValue();
  if (!object) return "Nothing";
  auto hook = g_type_name_hook.load();
  if (hook == nullptr) return "Object";
  std::string name = hook(*object);
  return name.empty() ? "Object" : name;
}

bool Identical(const Variant& a, const Variant& b) {
  if (a.vt() != b.vt()) return false;
  switch (a.vt()) {
    case VarType::kEmpty:
    case VarType::kNull: return true;
    case VarType::kBoolean: return a.BoolValue() == b.BoolValue();
    case VarType::kByte: return a.ByteValue() == b.ByteValue();
    case VarType::kInteger: return a.IntegerValue() == b.IntegerValue();
    case VarType::kLong: return a.LongValue() == b.LongValue();
    case VarType::kError: return a.ErrorValue() == b.ErrorValue();
    case VarType::kCurrency: return a.CurrencyValue() == b.CurrencyValue();
    case VarType::kSingle: return a.SingleValue() == b.SingleValue();
    case VarType::kDouble: return a.DoubleValue() == b.DoubleValue();
    case VarType::kDate: return a.DateValue() == b.DateValue();
    case VarType::kString: return a.StringValue() == b.StringValue();
    case VarType::kObject: return a.ObjectValue() == b.ObjectValue();
    default: break;
  }
  if (a.IsAllocated() != b.IsAllocated()) return false;
  if (!a.IsAllocated()) return true;
  if (a.LowerBound() != b.LowerBound()) return false;
  if (a.IsByteArray()) return a.Bytes() == b.Bytes();
  const std::vector<Variant>& x = a.Items();
  const std::vector<Variant>& y = b.Items();
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    if (!Identical(x[i], y[i])) return false;
  }
  return true;
}

std::string DebugString(const Variant& value) {
  std::string type = VarTypeName(value.vt());
  switch (value.vt()) {
    case VarType::kEmpty:
    case VarType::kNull: return type;
    case VarType::kString: return type + "(\"" + value.StringValue() + "\")";
    case VarType::kObject: return value.IsNothing() ? "Nothing" : TypeName(value);
    case VarType::kError: return type + "(" + std::to_string(value.ErrorValue()) + ")";
    case VarType::kDate: return type + "(" + FormatDouble(value.DateValue()) + ")";
    default: break;
  }
  if (!value.IsArray()) return type + "(" + CStr(value) + ")";
  if (!value.IsAllocated()) return type + "[]";
  std::string text = type + "[" + std::to_string(value.LowerBound()) + ".." +
                     std::to_string(value.UpperBound()) + "]{";
  for (int32_t i = 0; i < value.ElementCount(); ++i) {
    if (i > 0) text += ",";
    text += value.IsByteArray() ? std::to_string(value.Bytes()[static_cast<size_t>(i)])
                                : DebugString(value.Items()[static_cast<size_t>(i)]);
  }
  return text + "}";
}

std::ostream& operator<<(std::ostream& out, const Variant& value) { return out << DebugString(value); }

void SetObjectHooks(const ObjectHooks& hooks) {
  g_type_name_hook.store(hooks.type_name);
  g_default_value_hook.store(hooks.default_value);
}

ObjectHooks GetObjectHooks() {
  ObjectHooks hooks;
  hooks.type_name = g_type_name_hook.load();
  hooks.default_value = g_default_value_hook.load();
  return hooks;
}

}  // namespace platform
