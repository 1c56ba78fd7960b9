// The bag behind a collection, against a plain ordered list doing the same
// operations: adds, replacements and removals of many names (so the index
// grows, its probes wrap around and removals close their gaps), positions
// after removals, and clearing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "settings/collection/settings_bag.h"

namespace settings {
namespace {

using platform::Variant;

class BagModel {
 public:
  void Set(const std::string& name, int32_t value) {
    auto found = Find(name);
    if (found != entries_.end()) {
      found->second = value;
    } else {
      entries_.emplace_back(name, value);
    }
  }
  bool Remove(const std::string& name) {
    auto found = Find(name);
    if (found == entries_.end()) return false;
    entries_.erase(found);
    return true;
  }
  const std::vector<std::pair<std::string, int32_t>>& entries() const { return entries_; }
  bool Has(const std::string& name) { return Find(name) != entries_.end(); }

 private:
  std::vector<std::pair<std::string, int32_t>>::iterator Find(const std::string& name) {
    return std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) { return entry.first == name; });
  }
  std::vector<std::pair<std::string, int32_t>> entries_;
};

// The bag in order, read through positions.
std::vector<std::pair<std::string, int32_t>> InOrder(SettingsBag& bag) {
  std::vector<std::pair<std::string, int32_t>> out;
  for (std::size_t i = 0; i < bag.Count(); ++i) out.emplace_back(bag.At(i).name, bag.At(i).value.LongValue());
  return out;
}

TEST(SettingsBagTest, AgreesWithAnOrderedListThroughAddsReplacementsAndRemovals) {
  std::mt19937 random(14);
  SettingsBag bag;
  BagModel model;
  // Few distinct names for many operations: each name is added, replaced
  // and removed again and again.
  std::uniform_int_distribution<int> pick(0, 499);
  std::uniform_int_distribution<int> action(0, 9);
  for (int step = 0; step < 20000; ++step) {
    const std::string name = "user.name" + std::to_string(pick(random));
    const int what = action(random);
    if (what < 6) {
      bag.Set(name, Variant(static_cast<int32_t>(step)));
      model.Set(name, step);
    } else if (what < 9) {
      ASSERT_EQ(bag.Remove(name), model.Remove(name)) << name << " at step " << step;
    } else {
      ASSERT_EQ(bag.Exists(name), model.Has(name)) << name << " at step " << step;
      const Variant* value = bag.Find(name);
      ASSERT_EQ(value != nullptr, model.Has(name));
      const auto slot = bag.SlotOf(name);
      ASSERT_EQ(slot.has_value(), model.Has(name));
      if (slot) {
        ASSERT_EQ(bag.SlotAt(*slot)->name, name);
      }
    }
    ASSERT_EQ(bag.Count(), model.entries().size());
    if (step % 997 == 0) {
      ASSERT_EQ(InOrder(bag), model.entries()) << "at step " << step;
    }
  }
  EXPECT_EQ(InOrder(bag), model.entries());
}

TEST(SettingsBagTest, ABigBagKeepsEveryNameAfterRemovalsAndAClear) {
  SettingsBag bag;
  constexpr int kCount = 20000;
  for (int i = 0; i < kCount; ++i) bag.Set("sys.s" + std::to_string(i), Variant(static_cast<int32_t>(i)));
  // Replacing keeps the place and the count.
  bag.Set("sys.s5", Variant(int32_t{-5}));
  ASSERT_EQ(bag.Count(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; i += 3) ASSERT_TRUE(bag.Remove("sys.s" + std::to_string(i)));
  EXPECT_FALSE(bag.Remove("sys.s0"));
  for (int i = 0; i < kCount; ++i) {
    const Variant* value = bag.Find("sys.s" + std::to_string(i));
    if (i % 3 == 0) {
      ASSERT_EQ(value, nullptr) << i;
    } else {
      ASSERT_NE(value, nullptr) << i;
      ASSERT_EQ(value->LongValue(), i == 5 ? -5 : i);
    }
  }
  // Positions close up over the removed names, in the order of adding.
  EXPECT_EQ(bag.At(0).name, "sys.s1");
  EXPECT_EQ(bag.At(1).name, "sys.s2");
  EXPECT_EQ(bag.At(2).name, "sys.s4");
  EXPECT_EQ(bag.At(3).value.LongValue(), -5);
  // After the positions moved, names still find their entries.
  EXPECT_EQ(bag.Find("sys.s19999")->LongValue(), 19999);
  EXPECT_EQ(bag.SlotAt(*bag.SlotOf("sys.s19999"))->name, "sys.s19999");

  bag.Clear();
  EXPECT_EQ(bag.Count(), 0u);
  EXPECT_FALSE(bag.Exists("sys.s1"));
  EXPECT_FALSE(bag.Remove("sys.s1"));
  bag.Set("sys.again", Variant(int32_t{1}));
  EXPECT_EQ(bag.Count(), 1u);
  EXPECT_EQ(bag.At(0).name, "sys.again");
}

TEST(SettingsBagTest, TakingEntriesEmptiesTheBagInOrder) {
  SettingsBag bag;
  bag.Set("a.1", Variant(int32_t{1}));
  bag.Set("a.2", Variant(int32_t{2}));
  bag.Set("a.3", Variant(int32_t{3}));
  bag.Remove("a.2");
  std::vector<SettingsBag::Entry> entries = bag.TakeEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a.1");
  EXPECT_EQ(entries[1].name, "a.3");
  EXPECT_EQ(bag.Count(), 0u);
  EXPECT_FALSE(bag.Exists("a.1"));
}

}  // namespace
}  // namespace settings
