#include "platform/com/class_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"

namespace platform::com {
namespace {

class Named : public Object {
 public:
  explicit Named(std::string made_as = "") : made_as(std::move(made_as)) {}
  std::string made_as;
};

// Raises from `create` and returns the error number (0 when nothing raised).
int32_t ErrorOf(const std::function<void()>& create, std::string* description = nullptr) {
  try {
    create();
  } catch (const BasicError& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

// Each test registers its own ProgIDs and takes them (and any hook) away again.
class ClassRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& progid : registered_) UnregisterClass(progid);
    SetClassLookupHook(nullptr);
  }
  void Register(const std::string& progid, Factory factory) {
    ASSERT_TRUE(RegisterClass(progid, std::move(factory)));
    registered_.push_back(progid);
  }
  std::vector<std::string> registered_;
};

TEST_F(ClassRegistryTest, CreatesARegisteredClassByProgIdInAnyLetterCase) {
  Register("Test.Named", [] { return std::make_shared<Named>("factory"); });
  EXPECT_TRUE(IsClassRegistered("TEST.NAMED"));
  for (const char* progid : {"Test.Named", "test.named", "TEST.NAMED"}) {
    auto made = QueryInterface<Named>(CreateObject(progid));
    ASSERT_NE(made, nullptr) << progid;
    EXPECT_EQ(made->made_as, "factory");
  }
  // A new object every time.
  EXPECT_NE(CreateObject("Test.Named"), CreateObject("Test.Named"));
  EXPECT_NE(std::find(RegisteredClasses().begin(), RegisteredClasses().end(), "Test.Named"),
            RegisteredClasses().end());
}

TEST_F(ClassRegistryTest, RegisteringAgainReplacesAndTheDefaultFactoryWorks) {
  Register("Test.Replaced", [] { return std::make_shared<Named>("first"); });
  Register("test.REPLACED", [] { return std::make_shared<Named>("second"); });
  EXPECT_EQ(QueryInterface<Named>(CreateObject("Test.Replaced"))->made_as, "second");
  ASSERT_TRUE(RegisterClass<Named>("Test.Default"));
  registered_.push_back("Test.Default");
  EXPECT_EQ(QueryInterface<Named>(CreateObject("Test.Default"))->made_as, "");
}

TEST_F(ClassRegistryTest, RefusesEmptyRegistrations) {
  EXPECT_FALSE(RegisterClass("", [] { return std::make_shared<Named>(); }));
  EXPECT_FALSE(RegisterClass("Test.NoFactory", nullptr));
  EXPECT_FALSE(IsClassRegistered("Test.NoFactory"));
  EXPECT_FALSE(UnregisterClass("Test.NeverRegistered"));
}

TEST_F(ClassRegistryTest, UnknownProgIdsRaise429) {
  Register("Test.Gone", [] { return std::make_shared<Named>(); });
  ASSERT_TRUE(UnregisterClass("test.gone"));
  std::string description;
  for (const char* progid : {"Test.Gone", "No.Such.Class", ""}) {
    EXPECT_EQ(ErrorOf([&] { CreateObject(progid); }, &description), 429) << progid;
    EXPECT_EQ(description, "ActiveX component can't create object");
  }
  // A factory that yields Nothing cannot create the object either.
  Register("Test.Empty", [] { return ObjectPtr(); });
  EXPECT_EQ(ErrorOf([] { CreateObject("Test.Empty"); }), 429);
}

TEST_F(ClassRegistryTest, AnyServerNameRaisesTheRemoteServerError) {
  Register("Test.Named", [] { return std::make_shared<Named>(); });
  std::string description;
  for (const char* server : {"otherhost", "localhost", " "}) {
    EXPECT_EQ(ErrorOf([&] { CreateObject("Test.Named", server); }, &description), 462) << server;
    EXPECT_EQ(description, "The remote server machine does not exist or is unavailable");
  }
  EXPECT_NE(CreateObject("Test.Named", ""), nullptr);
}

TEST_F(ClassRegistryTest, FactoryErrorsReachTheCreator) {
  Register("Test.Broken", []() -> ObjectPtr { RaiseError(kErrFileNotFound, "plug-in file missing"); });
  std::string description;
  EXPECT_EQ(ErrorOf([] { CreateObject("Test.Broken"); }, &description), 53);
  EXPECT_EQ(description, "plug-in file missing");
}

TEST_F(ClassRegistryTest, TheLookupHookIsAskedOnlyForUnregisteredProgIds) {
  Register("Test.Registered", [] { return std::make_shared<Named>("registry"); });
  std::vector<std::string> asked;
  SetClassLookupHook([&](std::string_view progid) -> ObjectPtr {
    asked.emplace_back(progid);
    if (progid == "Plugin.FromHive") return std::make_shared<Named>("hook");
    return nullptr;
  });
  EXPECT_EQ(QueryInterface<Named>(CreateObject("Test.Registered"))->made_as, "registry");
  EXPECT_EQ(QueryInterface<Named>(CreateObject("Plugin.FromHive"))->made_as, "hook");
  EXPECT_EQ(ErrorOf([] { CreateObject("Plugin.Unknown"); }), 429);
  EXPECT_EQ(asked, (std::vector<std::string>{"Plugin.FromHive", "Plugin.Unknown"}));
}

TEST_F(ClassRegistryTest, HooksChainAndTheirErrorsPassThrough) {
  SetClassLookupHook([](std::string_view progid) -> ObjectPtr {
    return progid == "First.Hook" ? std::make_shared<Named>("first") : nullptr;
  });
  ClassLookupHook previous;
  previous = SetClassLookupHook([&previous](std::string_view progid) -> ObjectPtr {
    if (progid == "Broken.Plugin") RaiseError(kErrPathNotFound, "no such shared object");
    return previous ? previous(progid) : nullptr;
  });
  EXPECT_EQ(QueryInterface<Named>(CreateObject("First.Hook"))->made_as, "first");
  EXPECT_EQ(ErrorOf([] { CreateObject("Broken.Plugin"); }), 76);
  // Putting the old hook back.
  SetClassLookupHook(previous);
  EXPECT_EQ(ErrorOf([] { CreateObject("Broken.Plugin"); }), 429);
}

TEST_F(ClassRegistryTest, AFactoryMayCreateOtherObjects) {
  Register("Test.Inner", [] { return std::make_shared<Named>("inner"); });
  Register("Test.Outer", [] {
    auto inner = QueryInterface<Named>(CreateObject("Test.Inner"));
    return std::make_shared<Named>("outer around " + inner->made_as);
  });
  EXPECT_EQ(QueryInterface<Named>(CreateObject("Test.Outer"))->made_as, "outer around inner");
}

}  // namespace
}  // namespace platform::com
