#include "platform/com/event_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"

namespace platform::com {
namespace {

using Log = std::vector<std::string>;

// A late-bound sink with one event member, as a client's sink object is.
class ChangeSink : public Object {
 public:
  ChangeSink(Log* log, std::string name) : log_(log), name_(std::move(name)) {}

 protected:
  const DispatchTable* Dispatch() const override {
    static const DispatchTable table = DispatchTable::Of<ChangeSink>({
        {7, "SettingChanged", 2,
         [](ChangeSink& self, Args args) {
           self.log_->push_back(self.name_ + ":" + CStr(args[0]));
           args[1] = CLng(args[1]) + 1;  // written back for the next sink and the raiser
         }},
    });
    return &table;
  }

 private:
  Log* log_;
  std::string name_;
};

// The object that owns an event source.
class Publisher : public Object {
 public:
  EventSource events;
  EventSource* Events() override { return &events; }
};

TEST(EventSourceTest, SinksAreCalledInConnectionOrderWithArgumentsByReference) {
  EventSource events;
  Log log;
  events.Advise(std::make_shared<ChangeSink>(&log, "object1"));
  events.Advise([&](const EventCall& e, Args args) {
    EXPECT_TRUE(e.Is("settingchanged"));
    log.push_back("callback:" + CStr(args[0]));
    args[1] = CLng(args[1]) * 10;
  });
  events.Advise(std::make_shared<ChangeSink>(&log, "object2"));
  std::vector<Variant> args{Variant("sys.x"), Variant(1)};
  EXPECT_EQ(events.Raise("SettingChanged", args), 3u);
  EXPECT_EQ(log, (Log{"object1:sys.x", "callback:sys.x", "object2:sys.x"}));
  EXPECT_EQ(args[1].LongValue(), (1 + 1) * 10 + 1);
}

TEST(EventSourceTest, ObjectSinksAreReachedByIdOrNameAndIgnoreEventsTheyLack) {
  EventSource events;
  Log log;
  events.Advise(std::make_shared<ChangeSink>(&log, "sink"));
  std::vector<Variant> args{Variant("by id"), Variant(0)};
  EXPECT_EQ(events.Raise(DispId{7}, args), 1u);
  args[0] = "by both";
  EXPECT_EQ(events.Raise(EventCall{7, "OldName"}, args), 1u);  // the name is unknown, the id is not
  Err::Clear();
  EXPECT_EQ(events.Raise("SettingsCleared"), 0u);
  EXPECT_EQ(events.Raise(DispId{8}), 0u);
  EXPECT_EQ(Err::Number(), 0);  // an event a sink does not handle is no failure
  EXPECT_EQ(log, (Log{"sink:by id", "sink:by both"}));
}

TEST(EventSourceTest, AFailingSinkIsRecordedAndTheOthersStillRun) {
  EventSource events;
  Log log;
  events.Advise([&](const EventCall&, Args) { log.push_back("first"); });
  events.Advise([](const EventCall&, Args) { RaiseError(kErrDivisionByZero, "", "BadSink"); });
  events.Advise(std::make_shared<ChangeSink>(&log, "object"));  // fails: too few arguments
  events.Advise([&](const EventCall&, Args) { log.push_back("last"); });
  Err::Clear();
  EXPECT_EQ(events.Raise("SettingChanged", {Variant("x"), Variant(0)}), 3u);
  EXPECT_EQ(log, (Log{"first", "object:x", "last"}));
  EXPECT_EQ(Err::Number(), 11);
  EXPECT_EQ(Err::Source(), "BadSink");
  Err::Clear();
  events.Raise("SettingChanged", {Variant("only one")});
  EXPECT_EQ(Err::Number(), 449);
  Err::Clear();
}

TEST(EventSourceTest, SinksMayDisconnectThemselvesOrOthersDuringARaise) {
  EventSource events;
  Log log;
  Cookie self_cookie = 0, victim = 0;
  events.Advise([&](const EventCall&, Args) { log.push_back("a"); });
  self_cookie = events.Advise([&](const EventCall&, Args) {
    log.push_back("b leaves and removes d");
    EXPECT_TRUE(events.Unadvise(self_cookie));
    EXPECT_TRUE(events.Unadvise(victim));
    // Connected now: takes the next event, not this one.
    events.Advise([&](const EventCall&, Args) { log.push_back("late"); });
  });
  events.Advise([&](const EventCall&, Args) { log.push_back("c"); });
  victim = events.Advise([&](const EventCall&, Args) { log.push_back("d"); });
  events.Raise("Sync");
  EXPECT_EQ(log, (Log{"a", "b leaves and removes d", "c"}));
  log.clear();
  events.Raise("Sync");
  EXPECT_EQ(log, (Log{"a", "c", "late"}));
  EXPECT_EQ(events.SinkCount(), 3u);
}

TEST(EventSourceTest, ASinkMayReleaseTheObjectThatRaises) {
  auto publisher = std::make_shared<Publisher>();
  std::weak_ptr<Publisher> watch = publisher;
  Log log;
  Publisher* raw = publisher.get();
  // The publisher's last reference is held by its own sink.
  raw->events.Advise([&, keep = std::make_shared<std::shared_ptr<Publisher>>(publisher)](const EventCall&, Args) {
    log.push_back("releasing");
    keep->reset();
  });
  // Disconnected when the publisher goes, so not called.
  raw->events.Advise([&](const EventCall&, Args) { log.push_back("after the publisher went"); });
  publisher.reset();
  raw->events.Raise("Terminate");
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(log, (Log{"releasing"}));
}

TEST(EventSourceTest, ConnectionsHoldTheirSinksUntilUnadvise) {
  EventSource events;
  Log log;
  auto sink = std::make_shared<ChangeSink>(&log, "held");
  std::weak_ptr<ChangeSink> watch = sink;
  const Cookie cookie = events.Advise(sink);
  sink.reset();
  EXPECT_FALSE(watch.expired());
  EXPECT_TRUE(events.Unadvise(cookie));
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(events.Unadvise(cookie));
  EXPECT_FALSE(events.Unadvise(0));
}

TEST(EventSourceTest, CookiesAreDistinctAndNothingCannotConnect) {
  EventSource events;
  EXPECT_EQ(events.Advise(ObjectPtr()), 0u);
  EXPECT_EQ(events.Advise(EventHandler()), 0u);
  const Cookie a = events.Advise([](const EventCall&, Args) {});
  const Cookie b = events.Advise([](const EventCall&, Args) {});
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  events.UnadviseAll();
  EXPECT_EQ(events.SinkCount(), 0u);
  EXPECT_EQ(events.Raise("Anything"), 0u);
}

TEST(EventSourceTest, ConnectingThroughTheObjectReference) {
  auto publisher = std::make_shared<Publisher>();
  ObjectPtr source = publisher;
  Log log;
  const Cookie object_cookie = ConnectEvents(source, std::make_shared<ChangeSink>(&log, "sink"));
  const Cookie handler_cookie = ConnectEvents(source, [&](const EventCall& e, Args) { log.push_back(std::string(e.name)); });
  EXPECT_NE(object_cookie, 0u);
  EXPECT_NE(handler_cookie, 0u);
  publisher->events.Raise("SettingChanged", {Variant("a"), Variant(0)});
  EXPECT_EQ(log, (Log{"sink:a", "SettingChanged"}));
  EXPECT_TRUE(DisconnectEvents(source, object_cookie));
  EXPECT_FALSE(DisconnectEvents(source, object_cookie));
  EXPECT_EQ(publisher->events.SinkCount(), 1u);
  // Objects that raise no events, and Nothing.
  ObjectPtr silent = std::make_shared<ChangeSink>(&log, "silent");
  EXPECT_EQ(ConnectEvents(silent, [](const EventCall&, Args) {}), 0u);
  EXPECT_EQ(ConnectEvents(nullptr, silent), 0u);
  EXPECT_FALSE(DisconnectEvents(nullptr, handler_cookie));
}

}  // namespace
}  // namespace platform::com
