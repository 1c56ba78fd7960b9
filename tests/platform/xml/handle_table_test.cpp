// The per-node handle counts agree with a plain map through any run of
// additions and drops, including the runs that make probe chains wrap and
// shift back.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "platform/xml/handle_table.h"

namespace platform::xml::detail {
namespace {

struct Record {
  alignas(64) char bytes[64];
};

void ExpectAgrees(const HandleTable& table, const std::map<const void*, int>& model, const std::vector<Record>& pool) {
  ASSERT_EQ(table.Keys(), model.size());
  for (const Record& record : pool) ASSERT_EQ(table.Contains(&record), model.count(&record) > 0) << &record;
}

TEST(HandleTableTest, CountsAgreeWithAMapThroughRandomAddsAndDrops) {
  for (std::size_t pool_size : {3u, 40u, 700u}) {
    SCOPED_TRACE(pool_size);
    std::vector<Record> pool(pool_size);
    HandleTable table;
    std::map<const void*, int> model;
    std::mt19937 random(7);
    for (int step = 0; step < 20000; ++step) {
      const void* key = &pool[random() % pool.size()];
      const unsigned action = random() % 10;
      if (action < 5) {
        table.Add(key);
        ++model[key];
      } else if (action < 9) {
        const bool was_counted = model.count(key) > 0;
        const bool last = was_counted && model[key] == 1;
        EXPECT_EQ(table.Drop(key), last);
        if (was_counted && --model[key] == 0) model.erase(key);
      } else if (step % 997 == 0) {
        table.Clear();
        model.clear();
      } else {
        table.Reserve(random() % 64);
      }
      if (step % 101 == 0) ExpectAgrees(table, model, pool);
    }
    ExpectAgrees(table, model, pool);
  }
}

TEST(HandleTableTest, EmptiedTablesWorkAgainAndUncountedKeysAreLeftAlone) {
  std::vector<Record> pool(5000);
  HandleTable table;
  EXPECT_FALSE(table.Drop(&pool[0]));
  EXPECT_FALSE(table.Contains(&pool[0]));
  for (int round = 0; round < 3; ++round) {
    table.Reserve(pool.size());
    for (const Record& record : pool) table.Add(&record);
    table.Add(&pool[1]);
    EXPECT_EQ(table.Keys(), pool.size());
    EXPECT_FALSE(table.Drop(&pool[1]));
    for (const Record& record : pool) EXPECT_TRUE(table.Drop(&record));
    EXPECT_EQ(table.Keys(), 0u);
    EXPECT_FALSE(table.Drop(&pool[2]));
  }
  table.Add(&pool[3]);
  table.Clear();
  EXPECT_FALSE(table.Contains(&pool[3]));
  table.Add(&pool[3]);
  EXPECT_TRUE(table.Drop(&pool[3]));
}

}  // namespace
}  // namespace platform::xml::detail
