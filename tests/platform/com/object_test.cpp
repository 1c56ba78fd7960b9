#include "platform/com/object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"

namespace platform::com {
namespace {

// A small class written the way the system's classes are.
class Counter : public Object {
 public:
  explicit Counter(bool* destroyed = nullptr) : destroyed_(destroyed) {}
  ~Counter() override {
    if (destroyed_) *destroyed_ = true;
  }

  int32_t total = 0;
  ObjectPtr held;  // lets a test drop the last reference during a call

 protected:
  const DispatchTable* Dispatch() const override {
    static const DispatchTable table = DispatchTable::Of<Counter>({
        {kDispIdValue, "Total", 0, [](Counter& self) { return self.total; }},
        {"Total", kPut, [](Counter& self, Variant& value) { self.total = CLng(value); }},
        {"Add", 1, [](Counter& self, Args args) { self.total += CLng(args[0]); }},
        // Out-parameters: writes the halves back into its arguments.
        {"Split", ArgRange{2, 3},
         [](Counter& self, Args args) {
           args[0] = self.total / 2;
           args[1] = self.total - self.total / 2;
           if (HasArg(args, 2)) args[2] = std::string("split");
           return true;
         }},
        {"Fail", [](Counter&) { RaiseError(kErrFileNotFound, "", "Counter.Fail"); }},
        {"DropHeld",
         [](Counter& self) {
           self.held.reset();  // may be the last reference to self
           return self.total;
         }},
    });
    return &table;
  }

 private:
  bool* destroyed_;
};

TEST(ObjectTest, CallsByNameInAnyLetterCase) {
  auto counter = std::make_shared<Counter>();
  for (const char* name : {"Add", "add", "ADD", "aDd"}) counter->Invoke(name, {Variant(2)});
  EXPECT_EQ(counter->total, 8);
  EXPECT_EQ(counter->Invoke("TOTAL").LongValue(), 8);
  EXPECT_TRUE(counter->Invoke("add", {Variant(1)}).IsEmpty());  // a call without result gives Empty
}

TEST(ObjectTest, OutParametersTravelBack) {
  auto counter = std::make_shared<Counter>();
  counter->total = 7;
  std::vector<Variant> args{Variant(), Variant(), Variant()};
  EXPECT_TRUE(CallByName(ObjectPtr(counter), "Split", args).BoolValue());
  EXPECT_EQ(args[0].LongValue(), 3);
  EXPECT_EQ(args[1].LongValue(), 4);
  EXPECT_EQ(args[2].StringValue(), "split");
  // An omitted optional argument is left alone.
  std::vector<Variant> with_missing{Variant(), Variant(), Variant::Missing()};
  counter->Invoke("Split", with_missing);
  EXPECT_TRUE(with_missing[2].IsMissing());
}

TEST(ObjectTest, CallErrors) {
  auto counter = std::make_shared<Counter>();
  struct Case {
    const char* member;
    std::vector<Variant> args;
    int32_t number;
    const char* description;
  } cases[] = {
      {"NoSuchThing", {}, 438, "Object doesn't support this property or method"},
      {"Add", {}, 449, "Argument not optional"},
      {"Split", {Variant()}, 449, "Argument not optional"},
      {"Add", {Variant(1), Variant(2)}, 450, "Wrong number of arguments or invalid property assignment"},
      {"Fail", {}, 53, "File not found"},
  };
  for (Case& c : cases) {
    try {
      counter->Invoke(c.member, c.args);
      ADD_FAILURE() << c.member << " did not raise";
    } catch (const BasicError& e) {
      EXPECT_EQ(e.number(), c.number) << c.member;
      EXPECT_EQ(e.description(), c.description) << c.member;
    }
  }
  EXPECT_EQ(counter->total, 0);  // nothing ran for a wrong count
  // Through Step, as the system's routines call: recorded, not thrown.
  Err::Clear();
  Step([&] { counter->Invoke("nosuchthing"); });
  EXPECT_EQ(Err::Number(), 438);
  Err::Clear();
}

TEST(ObjectTest, NothingAndNonObjects) {
  struct Case {
    std::function<void()> call;
    int32_t number;
  } cases[] = {
      {[] { CallByName(ObjectPtr(), "Add"); }, 91},
      {[] { LetProperty(ObjectPtr(), "Total", Variant(1)); }, 91},
      {[] { ObjectOf(Variant::Nothing()); }, 91},
      {[] { ObjectOf(Variant("text")); }, 424},
      {[] { ObjectOf(Variant()); }, 424},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    try {
      cases[i].call();
      ADD_FAILURE() << "case " << i << " did not raise";
    } catch (const BasicError& e) {
      EXPECT_EQ(e.number(), cases[i].number) << "case " << i;
    }
  }
}

TEST(ObjectTest, PropertyAssignment) {
  auto counter = std::make_shared<Counter>();
  counter->PutProperty("total", Variant("41"));
  EXPECT_EQ(counter->total, 41);
  try {
    counter->PutProperty("Add", Variant(1));  // a method, not assignable
    ADD_FAILURE();
  } catch (const BasicError& e) {
    EXPECT_EQ(e.number(), 438);
  }
}

TEST(ObjectTest, MemberIds) {
  auto counter = std::make_shared<Counter>();
  counter->total = 5;
  EXPECT_EQ(counter->GetIdOfName("total"), kDispIdValue);
  const DispId add = counter->GetIdOfName("ADD");
  EXPECT_NE(add, kDispIdUnknown);
  EXPECT_EQ(add, AutoDispId("add"));  // the same name has the same id in every class
  EXPECT_EQ(counter->GetIdOfName("NoSuchThing"), kDispIdUnknown);
  EXPECT_FALSE(counter->HasMember("NoSuchThing"));
  std::vector<Variant> args{Variant(3)};
  counter->Invoke(add, args);
  EXPECT_EQ(counter->total, 8);
  EXPECT_FALSE(counter->TryInvoke(DispId{12345}, Args()).has_value());
}

TEST(ObjectTest, DefaultMemberAndTypeNameServeTheVariantRuntime) {
  auto counter = std::make_shared<Counter>();
  counter->total = 12;
  Variant value(counter);
  EXPECT_EQ(CStr(value), "12");
  EXPECT_EQ(CLng(value), 12);
  EXPECT_EQ(TypeName(value), "Counter");
  EXPECT_EQ(TypeName(Variant::Nothing()), "Nothing");
}

TEST(ObjectTest, ReleasedWhenTheLastReferenceGoes) {
  bool destroyed = false;
  {
    ObjectPtr first = std::make_shared<Counter>(&destroyed);
    Variant second(first);
    first.reset();
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
}

TEST(ObjectTest, ACallThatDropsTheLastReferenceFinishesFirst) {
  bool destroyed = false;
  auto counter = std::make_shared<Counter>(&destroyed);
  counter->total = 9;
  Counter* raw = counter.get();
  raw->held = std::move(counter);  // the object now owns the only reference
  EXPECT_EQ(raw->Invoke("DropHeld").LongValue(), 9);
  EXPECT_TRUE(destroyed);
}

// Interfaces: a class may implement several; each reaches Object virtually.
class IGreeter : public virtual Object {
 public:
  virtual std::string Greet(const std::string& who) = 0;

 protected:
  const DispatchTable* Dispatch() const override {
    static const DispatchTable table = DispatchTable::Of<IGreeter>({
        {"Greet", 1, [](IGreeter& self, Args args) { return self.Greet(CStr(args[0])); }},
    });
    return &table;
  }
};

class IStatus : public virtual Object {
 public:
  virtual bool GetStatus(Variant& sub_status) = 0;

 protected:
  const DispatchTable* Dispatch() const override {
    static const DispatchTable table = DispatchTable::Of<IStatus>({
        {"GetStatus", 1, [](IStatus& self, Args args) { return self.GetStatus(args[0]); }},
    });
    return &table;
  }
};

class Both : public IGreeter, public IStatus {
 public:
  std::string Greet(const std::string& who) override { return "Hello, " + who; }
  bool GetStatus(Variant& sub_status) override {
    sub_status = std::string("fine");
    return true;
  }

 protected:
  const DispatchTable* Dispatch() const override {
    static const DispatchTable table = DispatchTable::Of<Both>(
        {{"Name", [](Both&) { return std::string("both"); }}},
        {IGreeter::Dispatch(), IStatus::Dispatch()});
    return &table;
  }
};

class GreeterOnly : public IGreeter {
 public:
  std::string Greet(const std::string& who) override { return "Hi " + who; }
};

TEST(ObjectTest, InterfaceQueries) {
  ObjectPtr both = std::make_shared<Both>();
  ObjectPtr greeter = std::make_shared<GreeterOnly>();
  EXPECT_NE(QueryInterface<IGreeter>(both), nullptr);
  EXPECT_NE(QueryInterface<IStatus>(both), nullptr);
  EXPECT_NE(QueryInterface<IGreeter>(greeter), nullptr);
  EXPECT_EQ(QueryInterface<IStatus>(greeter), nullptr);
  EXPECT_EQ(QueryInterface<IStatus>(ObjectPtr()), nullptr);
  EXPECT_EQ(QueryInterface<IStatus>(Variant(both)), QueryInterface<IStatus>(both));
  EXPECT_EQ(QueryInterface<IStatus>(Variant(5)), nullptr);
  // The interface pointer is the same object: one count, one identity.
  EXPECT_EQ(ObjectPtr(QueryInterface<IStatus>(both)), both);
}

TEST(ObjectTest, LateBoundCallsReachEveryInterfaceOfTheClass) {
  ObjectPtr both = std::make_shared<Both>();
  EXPECT_EQ(CallByName(both, "greet", {Variant("Ann")}).StringValue(), "Hello, Ann");
  std::vector<Variant> args{Variant()};
  EXPECT_TRUE(CallByName(both, "GetStatus", args).BoolValue());
  EXPECT_EQ(args[0].StringValue(), "fine");
  EXPECT_EQ(CallByName(both, "NAME").StringValue(), "both");
  EXPECT_EQ(both->TypeName(), "Both");
  ObjectPtr greeter = std::make_shared<GreeterOnly>();
  EXPECT_EQ(CallByName(greeter, "Greet", {Variant("Bo")}).StringValue(), "Hi Bo");
  EXPECT_FALSE(greeter->HasMember("GetStatus"));
}

TEST(ObjectTest, AnObjectWithoutMembersSupportsNone) {
  class Plain : public Object {};
  ObjectPtr plain = std::make_shared<Plain>();
  EXPECT_FALSE(plain->HasMember("Anything"));
  Err::Clear();
  Step([&] { CallByName(plain, "Anything"); });
  EXPECT_EQ(Err::Number(), 438);
  EXPECT_EQ(Err::Description(), "Object doesn't support this property or method");
  Err::Clear();
  // Without a default member an object has no value.
  Step([&] { CStr(Variant(plain)); });
  EXPECT_EQ(Err::Number(), 438);
  Err::Clear();
}

TEST(DispatchTableTest, MistakesInATableAreCaughtWhenItIsBuilt) {
  using Fn = std::function<Variant(Object&, Args)>;
  const Fn body = [](Object&, Args) { return Variant(); };
  auto entry = [&](std::string name, DispId id = kDispIdUnknown) {
    MemberEntry m;
    m.name = std::move(name);
    m.id = id;
    m.call = body;
    return m;
  };
  EXPECT_THROW(DispatchTable({entry("A"), entry("a")}), std::logic_error);          // listed twice
  EXPECT_THROW(DispatchTable({entry("A", 5), entry("B", 5)}), std::logic_error);    // one id, two names
  EXPECT_THROW(DispatchTable({entry("A", 5), entry("a", 6)}), std::logic_error);    // one name, two ids
  MemberEntry no_body = entry("C");
  no_body.call = nullptr;
  EXPECT_THROW(DispatchTable({no_body}), std::logic_error);
  DispatchTable fine({entry("A", 7), entry("B")});
  EXPECT_EQ(fine.IdOf("a"), 7);
  EXPECT_EQ(fine.Names(), (std::vector<std::string>{"A", "B"}));
}

}  // namespace
}  // namespace platform::com
