// The Variant: the one value type of the Basic-style runtime. It keeps the
// variant type code (Empty, Null, Integer, Long, ..., arrays 8192 + element)
// so that code which records or tests that code (XML "VT" attributes,
// TypeName, "=" between variants) behaves as the original runtime does.
//
//   Variant a = 5;                       // Long
//   Variant b = "5";                     // String
//   Variant c = Variant::Date(36526.5);  // 1/1/2000 12:00:00 PM
//   Variant d = std::vector<uint8_t>{1, 2};  // Byte(), bounds 0 to 1
//
// Copies are cheap: numbers live inline, strings use the small-string buffer,
// objects are shared references and arrays are shared until written to
// (copy on write), so a copied array behaves as Basic's copy by value.
//
// Conversions (CStr, CLng, ...) are in conversions.h, the "=" comparison in
// compare.h, text forms of dates in date_time.h.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/com/object_fwd.h"

namespace platform {

// Variant type codes, as Basic's VarType reports them.
enum class VarType : uint16_t {
  kEmpty = 0,
  kNull = 1,
  kInteger = 2,   // int16
  kLong = 3,      // int32
  kSingle = 4,    // float
  kDouble = 5,
  kCurrency = 6,  // int64 in ten-thousandths
  kDate = 7,      // serial: days since 30 December 1899
  kString = 8,
  kObject = 9,
  kError = 10,
  kBoolean = 11,
  kVariant = 12,  // only as an array element type
  kByte = 17,
  kArray = 8192,  // flag added to the element type
};

// The code of an array of `element` (ArrayOf(kByte) is 8209).
constexpr VarType ArrayOf(VarType element) {
  return static_cast<VarType>(static_cast<uint16_t>(element) | static_cast<uint16_t>(VarType::kArray));
}
constexpr bool IsArrayType(VarType vt) {
  return (static_cast<uint16_t>(vt) & static_cast<uint16_t>(VarType::kArray)) != 0;
}
// The element type of an array type (kEmpty for a non-array).
constexpr VarType ElementTypeOf(VarType vt) {
  return IsArrayType(vt) ? static_cast<VarType>(static_cast<uint16_t>(vt) & ~static_cast<uint16_t>(VarType::kArray))
                         : VarType::kEmpty;
}

// The Win32 code Basic uses for an omitted optional argument.
inline constexpr int32_t kDispParamNotFound = static_cast<int32_t>(0x80020004u);

struct VariantArray;  // one-dimensional array storage, defined in variant.cpp

class Variant {
 public:
  // Empty.
  Variant() noexcept = default;
  Variant(bool value) noexcept : vt_(VarType::kBoolean), data_(value) {}
  Variant(uint8_t value) noexcept : vt_(VarType::kByte), data_(value) {}
  Variant(int16_t value) noexcept : vt_(VarType::kInteger), data_(value) {}
  Variant(int32_t value) noexcept : vt_(VarType::kLong), data_(value) {}
  Variant(float value) noexcept : vt_(VarType::kSingle), data_(value) {}
  Variant(double value) noexcept : vt_(VarType::kDouble), data_(value) {}
  Variant(std::string value) noexcept : vt_(VarType::kString), data_(std::move(value)) {}
  Variant(std::string_view value) : vt_(VarType::kString), data_(std::string(value)) {}
  // A null pointer is the empty text.
  Variant(const char* value) : vt_(VarType::kString), data_(std::string(value ? value : "")) {}
  // An object reference; an empty pointer is Nothing (still of type Object).
  Variant(com::ObjectPtr object) noexcept : vt_(VarType::kObject), data_(std::move(object)) {}
  template <class T>
    requires(!std::is_same_v<T, com::Object> && std::is_convertible_v<T*, com::Object*>)
  Variant(std::shared_ptr<T> object) noexcept : Variant(com::ObjectPtr(std::move(object))) {}
  // A byte array with the bounds 0 to size - 1.
  Variant(std::vector<uint8_t> bytes);
  // Characters are not numbers here: say Variant(std::string(1, c)) or a cast.
  Variant(char) = delete;

  static Variant Null() { return Variant(VarType::kNull); }
  static Variant Nothing() { return Variant(com::ObjectPtr()); }
  static Variant Integer(int16_t value) { return Variant(value); }
  static Variant Long(int32_t value) { return Variant(value); }
  static Variant Single(float value) { return Variant(value); }
  static Variant Byte(uint8_t value) { return Variant(value); }
  // `ten_thousandths` is the amount times 10000 (Currency(15000) is 1.5).
  static Variant Currency(int64_t ten_thousandths);
  static Variant Date(double serial);
  static Variant Error(int32_t code);
  // The value Basic passes for an omitted optional argument.
  static Variant Missing() { return Error(kDispParamNotFound); }
  static Variant ByteArray(std::vector<uint8_t> bytes, int32_t lower_bound = 0);
  static Variant ByteArray(std::string_view bytes, int32_t lower_bound = 0);
  // An array of `element` (kVariant by default); items are converted to the
  // element type as Basic assigns them (raises 13 or 6 when they don't fit).
  static Variant Array(std::vector<Variant> items, int32_t lower_bound = 0,
                       VarType element = VarType::kVariant);
  // A declared but never dimensioned array (`Dim a() As Byte`): it has no
  // bounds; LBound/UBound raise 9.
  static Variant UnallocatedArray(VarType element);

  VarType vt() const { return vt_; }
  int VarTypeCode() const { return static_cast<int>(vt_); }
  bool IsEmpty() const { return vt_ == VarType::kEmpty; }
  bool IsNull() const { return vt_ == VarType::kNull; }
  bool IsString() const { return vt_ == VarType::kString; }
  bool IsBoolean() const { return vt_ == VarType::kBoolean; }
  bool IsDate() const { return vt_ == VarType::kDate; }
  bool IsObject() const { return vt_ == VarType::kObject; }
  // An object reference that is Nothing.
  bool IsNothing() const;
  bool IsError() const { return vt_ == VarType::kError; }
  bool IsMissing() const;
  bool IsArray() const { return IsArrayType(vt_); }
  bool IsByteArray() const { return vt_ == ArrayOf(VarType::kByte); }
  // Integer, Long, Single, Double, Currency or Byte (not Boolean, not Date).
  bool IsNumber() const;
  // The number a number, Boolean (True is -1), date (its serial) or Empty (0)
  // stands for. Texts are not read (that is CDbl); anything else raises 13.
  double NumericValue() const;

  // Typed accessors: the value as stored. A different type raises 13; use the
  // conversions (CLng, CStr, ...) to convert.
  bool BoolValue() const;
  uint8_t ByteValue() const;
  int16_t IntegerValue() const;
  int32_t LongValue() const;
  float SingleValue() const;
  double DoubleValue() const;
  int64_t CurrencyValue() const;  // ten-thousandths
  double DateValue() const;       // the serial
  const std::string& StringValue() const;
  const com::ObjectPtr& ObjectValue() const;
  int32_t ErrorValue() const;

  // Arrays (one dimension). Non-arrays raise 13; an undimensioned array
  // raises 9 for bounds and elements.
  VarType ElementType() const { return ElementTypeOf(vt_); }
  bool IsAllocated() const;      // false for UnallocatedArray and non-arrays
  int32_t LowerBound() const;
  int32_t UpperBound() const;    // LowerBound() - 1 when the array has no elements
  int32_t ElementCount() const;  // 0 for an undimensioned array
  // One element, by Basic index (from LowerBound). Out of range raises 9.
  Variant Element(int32_t index) const;
  void SetElement(int32_t index, const Variant& value);
  // ReDim [Preserve] a(lower To upper): new elements are the element type's
  // default (0, "", Empty, ...). upper = lower - 1 gives no elements.
  void ReDim(int32_t lower, int32_t upper, bool preserve = false);
  // The bytes of a byte array (raises 13 for any other type).
  const std::vector<uint8_t>& Bytes() const;
  std::vector<uint8_t>& MutableBytes();
  // The elements of any other array (raises 13 for a byte array).
  const std::vector<Variant>& Items() const;

 private:
  using ArrayPtr = std::shared_ptr<VariantArray>;
  using Data = std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, int64_t, float, double,
                            std::string, com::ObjectPtr, ArrayPtr>;

  explicit Variant(VarType vt) noexcept : vt_(vt) {}
  Variant(VarType vt, Data data) noexcept : vt_(vt), data_(std::move(data)) {}

  const VariantArray& ArrayStorage() const;  // raises 13 when not an array
  VariantArray& MutableArrayStorage();       // unshares first
  [[noreturn]] void Mismatch() const;

  VarType vt_ = VarType::kEmpty;
  Data data_;
};

// LBound / UBound of an array variant (13 for non-arrays, 9 undimensioned).
int32_t LBound(const Variant& array);
int32_t UBound(const Variant& array);

// Basic's TypeName for a type code: "Empty", "Null", "Integer", "Long",
// "Single", "Double", "Currency", "Date", "String", "Object", "Error",
// "Boolean", "Variant", "Byte"; arrays add "()" ("Byte()", "Variant()").
std::string VarTypeName(VarType vt);
// TypeName of a value: as above, except that an object gives its class name
// (through the object hooks; "Object" without them) and Nothing "Nothing".
std::string TypeName(const Variant& value);

// Same type and same contents (texts byte for byte, objects the same
// reference, arrays element by element). Not Basic's "=": see compare.h.
bool Identical(const Variant& a, const Variant& b);

// For logs and test output: "Long(5)", "String(\"x\")", "Byte()[0..1]{1,2}".
std::string DebugString(const Variant& value);
std::ostream& operator<<(std::ostream& out, const Variant& value);

// What the runtime needs to know about objects, which it cannot see: the
// object model installs these once at start-up. Both may be left unset.
struct ObjectHooks {
  // The class name TypeName reports.
  std::string (*type_name)(const com::Object& object) = nullptr;
  // The object's default value, when it has one; false when it has none.
  // Conversions and comparisons of objects go through it.
  bool (*default_value)(const com::Object& object, Variant* value) = nullptr;
};
void SetObjectHooks(const ObjectHooks& hooks);
ObjectHooks GetObjectHooks();

}  // namespace platform
