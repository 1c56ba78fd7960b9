// The control socket: requests, replies, bad input, and the instance lock.
#include "service/host/control_server.h"

#include <filesystem>

#include "host_fixture.h"
#include "service/host/control_protocol.h"
#include "service/host/lock/instance_lock.h"
#include "testing/child_process.h"

namespace service {
namespace {

class ControlServerTest : public HostTest {
 protected:
  void StartServer(const std::string& socket_path) {
    socket_path_ = socket_path;
    toolkit_.Start();
    std::string error;
    ASSERT_TRUE(server_.Listen(socket_path_, &error)) << error;
    ASSERT_TRUE(server_.Start(false, &error)) << error;
  }
  void TearDown() override {
    if (!toolkit_.Ended()) toolkit_.Deliver({control::RequestKind::kStop, 0});
    toolkit_.WaitForEnd(std::chrono::seconds(5));
    EXPECT_TRUE(server_.Stop(std::chrono::seconds(5)));
    HostTest::TearDown();
  }
  std::string Send(const std::string& bytes) { return Exchange(socket_path_, bytes); }

  ServiceToolkit toolkit_{std::make_shared<Service>()};
  ControlServer server_{toolkit_};
  std::string socket_path_;
};

TEST_F(ControlServerTest, RequestsGetTheirCallbacksAnswers) {
  StartServer((root_ / "hearthd.sock").string());
  EXPECT_EQ(Send("control 9\n"), "OK\n");
  EXPECT_EQ(Send("control -3"), "OK\n");  // the line end may be missing
  EXPECT_EQ(LogCount("Service::OnUserControlCode; code=9"), 1u);
  EXPECT_EQ(LogCount("Service::OnUserControlCode; code=-3"), 1u);
  EXPECT_EQ(Send("shutdown\r\n"), "OK 0 busy=False\n");
  EXPECT_TRUE(toolkit_.WaitForEnd(std::chrono::seconds(5)));
  EXPECT_EQ(Send("stop\n"), "ERROR the service has stopped\n");
}

TEST_F(ControlServerTest, UnknownRequestsAreRefusedAndChangeNothing) {
  StartServer((root_ / "hearthd.sock").string());
  EXPECT_EQ(Send("control 0\n"), "OK\n");  // answered once the start is through
  const std::string before = LogText();
  for (const std::string& bad : {std::string("STOP\n"), std::string("stop now\n"), std::string("control\n"),
                                 std::string("control 142x\n"), std::string("control 40000\n"),
                                 std::string("\n"), std::string(""), std::string("stop\0\n", 6),
                                 std::string(300, 'x')}) {
    const std::string reply = Send(bad);
    EXPECT_EQ(reply.rfind("ERROR ", 0), 0u) << bad << " -> " << reply;
    EXPECT_EQ(reply.back(), '\n');
  }
  EXPECT_EQ(Send(std::string(300, 'x')), "ERROR request too long\n");
  EXPECT_EQ(LogText(), before);
  EXPECT_FALSE(toolkit_.Ended());
  EXPECT_EQ(Send("stop\n"), "OK 0\n");
}

TEST_F(ControlServerTest, ASocketPathLongerThanAnAddressHoldsStillWorks) {
  std::filesystem::path deep = root_.path();
  while (deep.string().size() < 150) deep /= "a-rather-long-folder-name";
  std::filesystem::create_directories(deep);
  StartServer((deep / "hearthd.sock").string());
  EXPECT_EQ(Send("control 1\n"), "OK\n");
}

TEST(ControlProtocolTest, RequestsParseAndFormatBothWays) {
  struct Case {
    std::string line;
    bool valid;
    control::RequestKind kind;
    int16_t code;
  };
  const Case cases[] = {
      {"stop", true, control::RequestKind::kStop, 0},
      {"shutdown\r", true, control::RequestKind::kShutdown, 0},
      {"control 142", true, control::RequestKind::kUserControlCode, 142},
      {"control -32768", true, control::RequestKind::kUserControlCode, -32768},
      {"control 32767", true, control::RequestKind::kUserControlCode, 32767},
      {"control 32768", false, {}, 0},
      {"control 0x8E", false, {}, 0},
      {"control  1", false, {}, 0},
      {"control +1", false, {}, 0},
      {"control -", false, {}, 0},
      {"Stop", false, {}, 0},
      {"", false, {}, 0},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<control::Request> request = control::ParseRequest(c.line, &error);
    ASSERT_EQ(request.has_value(), c.valid) << c.line;
    if (!c.valid) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(request->kind, c.kind);
    EXPECT_EQ(request->code, c.code);
    std::string again = control::FormatRequest(*request);
    again.pop_back();
    EXPECT_EQ(control::ParseRequest(again, &error)->code, c.code);
  }
  EXPECT_EQ(control::FormatAnswer({control::RequestKind::kShutdown, 0}, {10000, true}), "OK 10000 busy=True\n");
  EXPECT_EQ(control::FormatAnswer({control::RequestKind::kStop, 0}, {10000, false}), "OK 10000\n");
}

TEST_F(HostTest, OnlyOneHolderOfTheInstanceLock) {
  const std::string path = (root_ / "hearthd.lock").string();
  std::string error;
  InstanceLock lock;
  ASSERT_EQ(lock.Acquire(path, &error), InstanceLock::Result::kAcquired) << error;
  EXPECT_EQ(testing_support::ReadFileBytes(path), std::to_string(::getpid()) + "\n");
  // Another process is refused while this one holds it.
  EXPECT_EQ(testing_support::RunInChild([&] {
              InstanceLock second;
              std::string child_error;
              return second.Acquire(path, &child_error) == InstanceLock::Result::kHeldElsewhere ? 0 : 1;
            }),
            0);
}

TEST_F(HostTest, TheInstanceLockIsFreeOnceItsHolderIsGone) {
  const std::string path = (root_ / "hearthd.lock").string();
  {
    InstanceLock lock;
    std::string error;
    ASSERT_EQ(lock.Acquire(path, &error), InstanceLock::Result::kAcquired);
  }
  InstanceLock again;
  std::string error;
  EXPECT_EQ(again.Acquire(path, &error), InstanceLock::Result::kAcquired);
  InstanceLock unusable;
  EXPECT_EQ(unusable.Acquire((root_ / "missing/hearthd.lock").string(), &error), InstanceLock::Result::kFailed);
  EXPECT_NE(error.find("missing/hearthd.lock"), std::string::npos) << error;
}

}  // namespace
}  // namespace service
