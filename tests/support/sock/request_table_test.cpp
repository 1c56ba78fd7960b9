#include "support/sock/request_table.h"

#include <gtest/gtest.h>

#include <set>

namespace support {
namespace {

TEST(RequestTable, HandlesArePositiveAndUniqueAmongOutstanding) {
  RequestTable table;
  std::set<int32_t> handles;
  for (int i = 0; i < 100; ++i) {
    auto ticket = table.Add();
    EXPECT_GT(ticket.handle, 0);
    EXPECT_TRUE(handles.insert(ticket.handle).second);
  }
  EXPECT_EQ(table.size(), 100u);
}

TEST(RequestTable, AnswerOfACancelledRequestIsDropped) {
  RequestTable table;
  auto first = table.Add();
  auto second = table.Add();
  EXPECT_TRUE(table.Cancel(first.handle));
  EXPECT_FALSE(table.Cancel(first.handle));
  EXPECT_FALSE(table.Finish(first));
  EXPECT_TRUE(table.Finish(second));
  EXPECT_FALSE(table.Finish(second));  // reported once only
  EXPECT_EQ(table.size(), 0u);
}

}  // namespace
}  // namespace support
