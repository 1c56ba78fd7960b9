#include "platform/basic/variant.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/basic/compare.h"
#include "platform/basic/conversions.h"
#include "raises.h"

namespace platform {
namespace {

using testing::ErrorNumberOf;

static_assert(sizeof(Variant) <= 48, "a Variant stays small enough to copy freely");

struct TypeCase {
  Variant value;
  int code;
  const char* name;
};

TEST(VariantTest, TypeCodesAndNames) {
  const TypeCase cases[] = {
      {Variant(), 0, "Empty"},
      {Variant::Null(), 1, "Null"},
      {int16_t{1}, 2, "Integer"},
      {1, 3, "Long"},
      {1.0f, 4, "Single"},
      {1.0, 5, "Double"},
      {Variant::Currency(1), 6, "Currency"},
      {Variant::Date(1), 7, "Date"},
      {"x", 8, "String"},
      {std::string("x"), 8, "String"},
      {std::string_view("x"), 8, "String"},
      {Variant::Nothing(), 9, "Nothing"},
      {Variant::Error(5), 10, "Error"},
      {true, 11, "Boolean"},
      {uint8_t{1}, 17, "Byte"},
      {std::vector<uint8_t>{1, 2}, 8209, "Byte()"},
      {Variant::Array({1, "a"}), 8204, "Variant()"},
      {Variant::Array({1, 2}, 0, VarType::kString), 8200, "String()"},
      {Variant::UnallocatedArray(VarType::kLong), 8195, "Long()"},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.value.VarTypeCode(), c.code);
    EXPECT_EQ(TypeName(c.value), c.name);
  }
  EXPECT_EQ(VarTypeName(VarType::kObject), "Object");
  EXPECT_EQ(VarTypeName(static_cast<VarType>(99)), "Unknown");
  EXPECT_TRUE(Variant(static_cast<const char*>(nullptr)).StringValue().empty());
}

TEST(VariantTest, TypedAccessorsReadOnlyTheirOwnType) {
  EXPECT_EQ(Variant(5).LongValue(), 5);
  EXPECT_EQ(Variant::Date(2.5).DateValue(), 2.5);
  EXPECT_EQ(Variant("x").StringValue(), "x");
  EXPECT_EQ(ErrorNumberOf([] { Variant(5).StringValue(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { Variant::Date(1).DoubleValue(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { Variant::Error(3).LongValue(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { Variant().BoolValue(); }), 13);
  EXPECT_TRUE(Variant::Missing().IsMissing());
  EXPECT_FALSE(Variant::Error(5).IsMissing());
  EXPECT_TRUE(Variant::Nothing().IsNothing());
  EXPECT_FALSE(Variant(1).IsNothing());
}

TEST(VariantTest, ByteArraysKeepTheirBounds) {
  Variant bytes = Variant::ByteArray(std::vector<uint8_t>{7, 8, 9}, 1);
  EXPECT_EQ(LBound(bytes), 1);
  EXPECT_EQ(UBound(bytes), 3);
  EXPECT_TRUE(Identical(bytes.Element(2), Variant(uint8_t{8})));
  EXPECT_EQ(ErrorNumberOf([&] { bytes.Element(0); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { bytes.Element(4); }), 9);

  Variant empty = std::vector<uint8_t>{};
  EXPECT_EQ(LBound(empty), 0);
  EXPECT_EQ(UBound(empty), -1);

  Variant never = Variant::UnallocatedArray(VarType::kByte);
  EXPECT_FALSE(never.IsAllocated());
  EXPECT_EQ(ErrorNumberOf([&] { UBound(never); }), 9);
  EXPECT_EQ(ErrorNumberOf([] { UBound(Variant(5)); }), 13);

  // Equal bytes under other bounds are not the same array.
  EXPECT_FALSE(Identical(Variant::ByteArray("ab", 0), Variant::ByteArray("ab", 1)));
  EXPECT_TRUE(Identical(Variant::ByteArray("ab", 1), Variant::ByteArray("ab", 1)));
  EXPECT_EQ(ErrorNumberOf([] { Variant::ByteArray("ab", INT32_MAX); }), 6);
}

TEST(VariantTest, ACopiedArrayIsIndependent) {
  Variant original = std::vector<uint8_t>{1, 2};
  Variant copy = original;
  copy.SetElement(0, 200);
  copy.MutableBytes().push_back(3);
  EXPECT_EQ(original.Bytes(), (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(copy.Bytes(), (std::vector<uint8_t>{200, 2, 3}));

  Variant items = Variant::Array({1, 2});
  Variant items_copy = items;
  items_copy.SetElement(1, "two");
  EXPECT_TRUE(Identical(items.Element(1), Variant(2)));
  EXPECT_TRUE(Identical(items_copy.Element(1), Variant("two")));
}

TEST(VariantTest, ElementsAreConvertedToTheElementType) {
  Variant bytes = std::vector<uint8_t>{0};
  bytes.SetElement(0, "7");
  EXPECT_EQ(bytes.Bytes()[0], 7);
  EXPECT_EQ(ErrorNumberOf([&] { bytes.SetElement(0, "x"); }), 13);
  EXPECT_EQ(ErrorNumberOf([&] { bytes.SetElement(0, 300); }), 6);
  EXPECT_EQ(bytes.Bytes()[0], 7);  // unchanged by the failed writes

  Variant texts = Variant::Array({1, true}, 0, VarType::kString);
  EXPECT_TRUE(Identical(texts.Element(1), Variant("True")));
  EXPECT_EQ(ErrorNumberOf([] { Variant::Array({"x"}, 0, VarType::kLong); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { Variant::Array({}, 0, VarType::kNull); }), 5);
}

TEST(VariantTest, ReDimSetsBoundsAndKeepsElementsOnPreserve) {
  Variant list;  // a plain Variant becomes an array of Variants
  list.ReDim(1, 3);
  EXPECT_EQ(list.vt(), ArrayOf(VarType::kVariant));
  EXPECT_EQ(LBound(list), 1);
  EXPECT_EQ(UBound(list), 3);
  EXPECT_TRUE(list.Element(3).IsEmpty());
  list.SetElement(1, "first");
  list.ReDim(1, 5, /*preserve=*/true);
  EXPECT_TRUE(Identical(list.Element(1), Variant("first")));
  list.ReDim(0, 0);
  EXPECT_TRUE(list.Element(0).IsEmpty());
  EXPECT_EQ(ErrorNumberOf([&] { list.ReDim(5, 3); }), 9);

  Variant longs = Variant::UnallocatedArray(VarType::kLong);
  longs.ReDim(0, 1);
  EXPECT_TRUE(Identical(longs.Element(1), Variant(0)));
}

TEST(VariantTest, DebugStringShowsTypeAndValue) {
  EXPECT_EQ(DebugString(Variant(5)), "Long(5)");
  EXPECT_EQ(DebugString(Variant("x")), "String(\"x\")");
  EXPECT_EQ(DebugString(std::vector<uint8_t>{1, 2}), "Byte()[0..1]{1,2}");
  EXPECT_EQ(DebugString(Variant::Array({1, Variant()})), "Variant()[0..1]{Long(1),Empty}");
  EXPECT_EQ(DebugString(Variant::Null()), "Null");
  EXPECT_EQ(DebugString(Variant::Date(1e12)), "Date(1000000000000)");  // never throws
  std::ostringstream out;
  out << Variant(true);
  EXPECT_EQ(out.str(), "Boolean(True)");
}

// A stand-in object: the runtime only ever passes the reference to the
// hooks, so any counted allocation can play the part.
struct FakeObject {
  std::string class_name;
  Variant default_value;
  bool has_default = true;
};

com::ObjectPtr MakeObject(FakeObject fake) {
  auto holder = std::make_shared<FakeObject>(std::move(fake));
  return com::ObjectPtr(holder, reinterpret_cast<com::Object*>(holder.get()));
}

const FakeObject& FakeOf(const com::Object& object) { return *reinterpret_cast<const FakeObject*>(&object); }

class ObjectHooksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ObjectHooks hooks;
    hooks.type_name = [](const com::Object& object) { return FakeOf(object).class_name; };
    hooks.default_value = [](const com::Object& object, Variant* value) {
      if (!FakeOf(object).has_default) return false;
      *value = FakeOf(object).default_value;
      return true;
    };
    SetObjectHooks(hooks);
  }
  void TearDown() override { SetObjectHooks(ObjectHooks{}); }
};

TEST_F(ObjectHooksTest, ObjectsConvertAndCompareThroughTheirDefaultValue) {
  Variant five(MakeObject({"cCounter", 5}));
  EXPECT_EQ(TypeName(five), "cCounter");
  EXPECT_EQ(CStr(five), "5");
  EXPECT_EQ(CLng(five), 5);
  EXPECT_TRUE(IsNumeric(five));
  EXPECT_TRUE(VarEquals(five, "5") == false);  // its value is a number
  EXPECT_TRUE(VarEquals(five, 5.0));

  Variant plain(MakeObject({"cSettings", Variant(), false}));
  EXPECT_EQ(TypeName(plain), "cSettings");
  EXPECT_EQ(ErrorNumberOf([&] { CStr(plain); }), 438);
  EXPECT_EQ(ErrorNumberOf([&] { VarEquals(plain, plain); }), 438);
  EXPECT_FALSE(IsNumeric(plain));

  // An object whose default value is itself gives up instead of looping.
  Variant self(MakeObject({"cLoop", Variant(), true}));
  const_cast<FakeObject&>(FakeOf(*self.ObjectValue())).default_value = self;
  EXPECT_EQ(ErrorNumberOf([&] { CStr(self); }), 438);
  const_cast<FakeObject&>(FakeOf(*self.ObjectValue())).default_value = Variant();  // break the cycle
}

TEST(VariantObjectTest, WithoutHooksObjectsHaveNoValue) {
  Variant object(MakeObject({"cThing", 1}));
  EXPECT_EQ(TypeName(object), "Object");
  EXPECT_EQ(ErrorNumberOf([&] { CStr(object); }), 438);
  EXPECT_EQ(ErrorNumberOf([] { CStr(Variant::Nothing()); }), 91);
  EXPECT_TRUE(Identical(object, object));
  EXPECT_FALSE(Identical(object, Variant(MakeObject({"cThing", 1}))));
}

}  // namespace
}  // namespace platform
