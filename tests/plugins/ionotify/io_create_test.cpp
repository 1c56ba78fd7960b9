#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io_notify_fixture.h"
#include "platform/basic/conversions.h"
#include "platform/com/class_registry.h"
#include "platform/com/dispatch_table.h"
#include "platform/xml/document.h"

namespace plugins::ionotify::testing {
namespace {

using platform::Variant;
using platform::com::Args;

// A class IoCreate can make: records Start (and what it was given) and
// Terminate in one journal shared by every instance.
std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

class Startable : public platform::com::Object {
 public:
  Startable() : number_(++made_) {}
  static int made_;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<Startable>({
        {"Start", 1,
         [](Startable& self, Args args) {
           const Variant& array = args[0];
           std::string seen = "Start" + std::to_string(self.number_) + ":" + std::to_string(array.ElementCount());
           Variant element = array.Element(array.LowerBound());
           seen += ":" + platform::CStr(platform::com::CallByName(platform::com::ObjectOf(element), "getAttribute",
                                                                  {Variant("refid")}));
           Journal().push_back(seen);
         }},
        {"Terminate", 0, [](Startable& self) { Journal().push_back("Terminate" + std::to_string(self.number_)); }},
    });
    return &table;
  }

 private:
  int number_;
};
int Startable::made_ = 0;

class IoCreateTest : public IoNotifyTest {
 protected:
  IoCreateTest() {
    platform::com::RegisterClass("Test.Startable", [] { return platform::com::ObjectPtr(std::make_shared<Startable>()); });
    Journal().clear();
    Startable::made_ = 0;
  }
  ~IoCreateTest() override { platform::com::UnregisterClass("Test.Startable"); }

  static platform::com::ObjectPtr Create(cIoNotify& io, const std::string& element_xml) {
    platform::xml::Document document;
    EXPECT_TRUE(document.LoadXml(element_xml));
    return io.IoCreate(document.DocumentElement());
  }
};

TEST_F(IoCreateTest, CreateStartTerminateAndASecondTerminate) {
  Run([&](cIoNotify& io) {
    EXPECT_NE(Create(io, "<o progid='Test.Startable' refid='Job' startmethod='Start'/>"), nullptr);
    EXPECT_EQ(Create(io, "<o progid='Test.Startable' refid='job' startmethod='Terminate'/>"), nullptr);
    EXPECT_EQ(Create(io, "<o progid='Test.Startable' refid='JOB' startmethod='Terminate'/>"), nullptr);
  });
  EXPECT_EQ(Journal(), (std::vector<std::string>{"Start1:1:Job", "Terminate1"}));
  EXPECT_TRUE(LoggedLine("(trace)IoCreate - Calling method Start"));
  EXPECT_TRUE(LoggedLine("(trace)IoCreate - Returned from method Start"));
  EXPECT_EQ(CountLogged("(trace)IoCreate - Terminating object with Ref ID job"), 1);
  EXPECT_TRUE(LoggedLine("(trace)IoCreate - XML is \r\n<o progid=\"Test.Startable\" refid=\"Job\" startmethod=\"Start\"/>"));
}

TEST_F(IoCreateTest, OnlyAProgIdKeepsTheObjectUnderItsProgId) {
  Run([&](cIoNotify& io) {
    EXPECT_NE(Create(io, "<o progid='Test.Startable'/>"), nullptr);
    EXPECT_TRUE(Journal().empty());
    Create(io, "<o refid='test.startable' startmethod='Terminate'/>");
  });
  EXPECT_EQ(Journal(), std::vector<std::string>{"Terminate1"});
}

TEST_F(IoCreateTest, ATakenReferenceIdKeepsTheFirstObject) {
  Run([&](cIoNotify& io) {
    platform::com::ObjectPtr first = Create(io, "<o progid='Test.Startable' refid='r'/>");
    platform::com::ObjectPtr second = Create(io, "<o progid='Test.Startable' refid='r'/>");
    EXPECT_NE(second, nullptr);
    EXPECT_NE(first, second);
    Create(io, "<o refid='r' startmethod='Terminate'/>");
  });
  EXPECT_EQ(Journal(), std::vector<std::string>{"Terminate1"});
}

TEST_F(IoCreateTest, WhatCannotBeCreatedGivesNothingAndATraceLine) {
  struct Case {
    const char* element;
    const char* refid;
    const char* error_part;
  } cases[] = {
      {"<o progid='No.Such.Class'/>", "No.Such.Class", "ActiveX component can't create object"},
      {"<o refid='x'/>", "x", ""},
      {"<o progid='Test.Startable' servername='far.away.example'/>", "Test.Startable",
       "objects are created on this machine only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    platform::com::ObjectPtr made;
    Run([&](cIoNotify& io) { made = Create(io, c.element); });
    EXPECT_EQ(made, nullptr);
    bool found = false;
    const std::string prefix =
        "(trace)IoCreate - could not create object with refid " + std::string(c.refid) + ". The error is '";
    for (const std::string& line : Logged()) {
      if (line.rfind(prefix, 0) == 0 && line.find(c.error_part) != std::string::npos) found = true;
    }
    EXPECT_TRUE(found);
  }
}

TEST_F(IoCreateTest, TheLocalMachineByNameAndAMissingStartMethodStillCreate) {
  Run([&](cIoNotify& io) {
    EXPECT_NE(Create(io, "<o progid='Test.Startable' refid='a' servername='localhost' startmethod='NoSuch'/>"), nullptr);
    Create(io, "<o refid='a' startmethod='Terminate'/>");
  });
  EXPECT_EQ(Journal(), std::vector<std::string>{"Terminate1"});
}

TEST_F(IoCreateTest, LateBoundIoCreateTakesAnElementObject) {
  Run([&](cIoNotify& io) {
    Variant made = io.Invoke("IoCreate", {Variant("<o progid='Test.Startable' startmethod='Start' refid='L'/>")});
    EXPECT_FALSE(made.IsNothing());
    Variant nothing = io.Invoke("IoCreate", {Variant(42)});
    EXPECT_TRUE(nothing.IsNothing());
  });
  EXPECT_EQ(Journal(), std::vector<std::string>{"Start1:1:L"});
}

}  // namespace
}  // namespace plugins::ionotify::testing
