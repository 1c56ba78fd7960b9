#include "platform/apartment/apartment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/basic/err.h"

namespace platform {
namespace {

using std::chrono::milliseconds;

// Runs `body` on a thread of its own (a fresh apartment) and waits for it.
void OnNewThread(const std::function<void()>& body) { std::thread(body).join(); }

TEST(ApartmentTest, EachThreadHasItsOwnApartment) {
  ApartmentPtr mine = Apartment::Current();
  EXPECT_EQ(mine, Apartment::Current());
  EXPECT_TRUE(mine->IsCurrentThread());
  ApartmentPtr other;
  OnNewThread([&] { other = Apartment::Current(); });
  EXPECT_NE(mine, other);
  EXPECT_FALSE(other->IsCurrentThread());
}

TEST(ApartmentTest, TasksFromFourThreadsRunOnTheOwnerEachSenderInOrder) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    constexpr int kSenders = 4;
    constexpr int kPerSender = 500;
    std::map<int, std::vector<int>> seen;  // touched on the owner thread only
    std::atomic<int> wrong_thread{0};
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
      senders.emplace_back([&, s] {
        for (int i = 0; i < kPerSender; ++i) {
          EXPECT_TRUE(owner->Post([&, s, i] {
            if (!owner->IsCurrentThread()) ++wrong_thread;
            seen[s].push_back(i);
          }));
        }
      });
    }
    std::thread quitter([&] {
      for (auto& t : senders) t.join();
      owner->Quit();  // behind every task already posted
    });
    EXPECT_TRUE(owner->Run());
    quitter.join();
    EXPECT_EQ(wrong_thread.load(), 0);
    ASSERT_EQ(seen.size(), static_cast<size_t>(kSenders));
    for (auto& [sender, order] : seen) {
      ASSERT_EQ(order.size(), static_cast<size_t>(kPerSender)) << "sender " << sender;
      for (int i = 0; i < kPerSender; ++i) ASSERT_EQ(order[i], i) << "sender " << sender;
    }
  });
}

TEST(ApartmentTest, QuitFromAnotherThreadEndsRunAfterTheTasksBeforeIt) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    std::vector<std::string> ran;
    std::promise<void> running;
    std::thread other([&] {
      running.get_future().wait();  // Run is really looping
      owner->Post([&] { ran.push_back("before"); });
      owner->Quit();
    });
    owner->Post([&] {
      ran.push_back("first");
      running.set_value();
    });
    EXPECT_TRUE(owner->Run());
    other.join();
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "before"}));
    // Posted after the Quit: still queued, not lost.
    owner->Post([&] { ran.push_back("later"); });
    EXPECT_EQ(owner->PumpPending(), 1u);
    EXPECT_EQ(ran.back(), "later");
  });
}

TEST(ApartmentTest, QuitBeforeRunEndsTheNextRunOnceTheQueueBeforeItRan) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    int ran = 0;
    owner->Post([&] { ++ran; });
    owner->Quit();
    owner->Post([&] { ran += 10; });
    EXPECT_TRUE(owner->Run());
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(owner->PendingCount(), 1u);
  });
}

TEST(ApartmentTest, PostingToAnApartmentWhoseThreadEndedFailsCleanly) {
  auto held = std::make_shared<int>(7);
  std::weak_ptr<int> watch = held;
  ApartmentPtr dead;
  OnNewThread([&] {
    dead = Apartment::Current();
    // Left in the queue when the thread ends: dropped, and what it holds freed.
    dead->Post([held = std::move(held)] { FAIL() << "ran after its thread ended"; });
  });
  EXPECT_FALSE(dead->IsOpen());
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(dead->Post([] {}));
  EXPECT_EQ(dead->PendingCount(), 0u);
  EXPECT_EQ(dead->PumpPending(), 0u);  // not the owner: nothing happens
  EXPECT_FALSE(dead->Run());
  EXPECT_FALSE(dead->Send([] {}));
  // Waits in slices, never spinning: a handful of tests of the condition.
  int tests = 0;
  EXPECT_FALSE(dead->WaitPumping([&] { return ++tests, false; }, milliseconds(50), milliseconds(10)));
  EXPECT_LT(tests, 100);
}

// The C library gives a new thread the std::thread::id of one that ended
// (glibc: nearly always the last one joined). Such a thread is a stranger to
// the dead apartment: Send must fail rather than run the task inline there.
TEST(ApartmentTest, ADeadApartmentIsNeverTakenForANewThreadWithItsId) {
  ApartmentPtr dead;
  OnNewThread([&] { dead = Apartment::Current(); });
  int reused = 0;
  for (int i = 0; i < 20; ++i) {
    bool same_id = false, is_current = true, sent = true, ran = false;
    OnNewThread([&] {
      same_id = std::this_thread::get_id() == dead->owner();
      is_current = dead->IsCurrentThread();
      sent = dead->Send([&] { ran = true; });
    });
    EXPECT_FALSE(is_current) << "try " << i << (same_id ? " (same id)" : "");
    EXPECT_FALSE(sent) << "try " << i;
    EXPECT_FALSE(ran) << "try " << i;
    reused += same_id ? 1 : 0;
  }
  RecordProperty("thread_id_reused", reused);
}

TEST(ApartmentTest, EmptyTaskIsRefused) {
  EXPECT_FALSE(Apartment::Current()->Post(nullptr));
  EXPECT_FALSE(Apartment::Current()->Send(nullptr));
}

TEST(ApartmentTest, ATaskThatPumpsRunsTheRestInOrderAndNothingTwice) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    std::vector<std::string> ran;
    owner->Post([&] {
      ran.push_back("a");
      owner->Post([&] { ran.push_back("posted by a"); });
      // Runs b itself; b's own pump takes c and the task a posted.
      EXPECT_EQ(owner->PumpPending(), 1u);
      ran.push_back("a done");
    });
    owner->Post([&] {
      ran.push_back("b");
      owner->PumpPending();  // nested twice: c and a's task are taken here
    });
    owner->Post([&] { ran.push_back("c"); });
    EXPECT_EQ(owner->PumpPending(), 1u);
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c", "posted by a", "a done"}));
  });
}

TEST(ApartmentTest, PumpPendingLeavesTasksPostedWhileItRuns) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    int ran = 0;
    owner->Post([&] {
      ++ran;
      owner->Post([&] { ++ran; });
    });
    EXPECT_EQ(owner->PumpPending(), 1u);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(owner->PumpPending(), 1u);
    EXPECT_EQ(ran, 2);
  });
}

TEST(ApartmentTest, AThrowingTaskIsRecordedAndTheLoopGoesOn) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    Err::Clear();
    bool after = false;
    owner->Post([] { RaiseError(kErrFileNotFound, "", "Task"); });
    owner->Post([&] { after = true; });
    owner->Quit();
    EXPECT_TRUE(owner->Run());
    EXPECT_TRUE(after);
    EXPECT_EQ(Err::Number(), 53);
    EXPECT_EQ(Err::Description(), "File not found");
    EXPECT_EQ(Err::Source(), "Task");
  });
}

TEST(ApartmentTest, EachQuitEndsTheInnermostRunningLoop) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    std::vector<std::string> ran;
    owner->Post([&] {
      owner->Post([&] { ran.push_back("posted in the task"); });
      owner->Quit();
      EXPECT_TRUE(owner->Run());  // nested loop
      ran.push_back("nested loop ended");
    });
    owner->Post([&] { ran.push_back("second"); });
    owner->Quit();
    EXPECT_TRUE(owner->Run());
    // The first Quit in the queue ends the nested loop, the second the outer.
    EXPECT_EQ(ran, (std::vector<std::string>{"second", "nested loop ended", "posted in the task"}));
    EXPECT_EQ(owner->PendingCount(), 0u);
  });
}

TEST(ApartmentTest, WaitPumpingRunsPostedTasksUntilTheConditionHolds) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    bool done = false;  // set by a task, on this thread
    std::thread worker([owner, &done] {
      std::this_thread::sleep_for(milliseconds(30));
      owner->Post([&done] { done = true; });
    });
    EXPECT_TRUE(owner->WaitPumping([&] { return done; }));
    worker.join();
  });
}

TEST(ApartmentTest, WaitPumpingGivesUpAtTheTimeout) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    int pumped = 0;
    owner->Post([&] { ++pumped; });
    EXPECT_FALSE(owner->WaitPumping([] { return false; }, milliseconds(30), milliseconds(5)));
    EXPECT_EQ(pumped, 1);
    EXPECT_FALSE(owner->WaitPumping([] { return false; }, milliseconds(0)));
    EXPECT_FALSE(owner->WaitPumping([] { return false; }, milliseconds(-5)));
  });
}

TEST(ApartmentTest, WakeLetsAWaiterSeeAConditionSetElsewhere) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    std::atomic<bool> flag{false};
    std::thread setter([&] {
      std::this_thread::sleep_for(milliseconds(20));
      flag = true;
      owner->Wake();
    });
    // Slices without end: only the Wake ends the nap.
    EXPECT_TRUE(owner->WaitPumping([&] { return flag.load(); }, Apartment::kInfinite,
                                   Apartment::kInfinite));
    setter.join();
  });
}

TEST(ApartmentTest, SendRunsOnTheOwnerAndReturnsItsErrors) {
  OnNewThread([] {
    ApartmentPtr owner = Apartment::Current();
    std::thread caller([owner] {
      std::thread::id ran_on;
      EXPECT_TRUE(owner->Send([&] { ran_on = std::this_thread::get_id(); }));
      EXPECT_EQ(ran_on, owner->owner());
      try {
        owner->Send([] { RaiseError(kErrTypeMismatch); });
        ADD_FAILURE() << "error not passed back";
      } catch (const BasicError& e) {
        EXPECT_EQ(e.number(), 13);
      }
      owner->Quit();
    });
    EXPECT_TRUE(owner->Run());
    caller.join();
    // On the owner thread itself the task runs at once.
    int ran = 0;
    EXPECT_TRUE(owner->Send([&] { ++ran; }));
    EXPECT_EQ(ran, 1);
  });
}

TEST(ApartmentTest, SendMayCallBackIntoTheWaitingCaller) {
  OnNewThread([] {
    ApartmentPtr caller = Apartment::Current();
    std::promise<ApartmentPtr> started;
    std::thread service([&] {
      started.set_value(Apartment::Current());
      Apartment::Current()->Run();
    });
    ApartmentPtr target = started.get_future().get();
    std::vector<std::string> ran;
    // The service calls back into the caller while the caller waits on it.
    EXPECT_TRUE(target->Send([&] {
      ran.push_back("service");
      EXPECT_TRUE(caller->Send([&] { ran.push_back("callback on caller"); }));
    }));
    EXPECT_EQ(ran, (std::vector<std::string>{"service", "callback on caller"}));
    target->Quit();
    service.join();
  });
}

TEST(ApartmentTest, SendToAThreadThatEndsWithoutRunningItReturnsFalse) {
  OnNewThread([] {
    std::promise<ApartmentPtr> started;
    std::promise<void> release;
    std::thread doomed([&] {
      started.set_value(Apartment::Current());
      release.get_future().wait();  // ends without ever pumping
    });
    ApartmentPtr target = started.get_future().get();
    std::thread ender([&] {
      while (target->PendingCount() == 0) std::this_thread::sleep_for(milliseconds(1));
      release.set_value();
    });
    EXPECT_FALSE(target->Send([] { FAIL() << "should not run"; }));
    ender.join();
    doomed.join();
  });
}

}  // namespace
}  // namespace platform
