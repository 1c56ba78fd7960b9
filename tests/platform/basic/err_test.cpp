#include "platform/basic/err.h"

#include <gtest/gtest.h>

#include <thread>

namespace platform {
namespace {

TEST(ErrTest, StepRecordsTheFailureAndTheRoutineGoesOn) {
  Err::Clear();
  std::vector<int> ran;
  Step([&] { ran.push_back(1); });
  Step([&] { RaiseError(kErrTypeMismatch); });
  Step([&] { ran.push_back(3); });
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  EXPECT_EQ(Err::Number(), 13);
  EXPECT_EQ(Err::Description(), "Type mismatch");
}

TEST(ErrTest, ALaterSuccessKeepsThePendingError) {
  Err::Clear();
  Step([] { RaiseError(kErrOverflow, "", "CLng"); });
  Step([] {});
  EXPECT_EQ(Err::Number(), 6);
  EXPECT_EQ(Err::Description(), "Overflow");
  EXPECT_EQ(Err::Source(), "CLng");
}

TEST(ErrTest, ForeignExceptionsBecomeErrors) {
  Err::Clear();
  Step([] { throw std::runtime_error("boom"); });
  EXPECT_EQ(Err::Number(), kErrAutomation);
  EXPECT_EQ(Err::Description(), "boom");
  Quietly([] { RaiseError(53); });
  EXPECT_EQ(Err::Number(), 0);
  EXPECT_EQ(Err::Description(), "");
}

TEST(ErrTest, StateIsPerThread) {
  Err::Clear();
  Err::Set(91);
  std::thread([] { EXPECT_EQ(Err::Number(), 0); }).join();
  EXPECT_EQ(Err::Number(), 91);
  Err::Clear();
}

}  // namespace
}  // namespace platform
