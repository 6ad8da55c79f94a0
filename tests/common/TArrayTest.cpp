#include "common/TArray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using common::THVCollection;
using common::THVSortedCollection;
using common::TOwningList;
using common::TSortedArray;

void* P(intptr_t v) { return reinterpret_cast<void*>(v); }

class ErrorRecorder : public common::TBaseArray {
 public:
  void OnError(int32_t code, int32_t info) override { errors.emplace_back(code, info); }
  std::vector<std::pair<int32_t, int32_t>> errors;
};

// Records the order in which items are released.
class ReleaseLog : public common::TBaseArray {
 public:
  void FreeItem(void* item) override { released.push_back(reinterpret_cast<intptr_t>(item)); }
  std::vector<intptr_t> released;
};

TEST(Collection, CapacityGrowsOneEarlyAndShrinksOnlyWhenEmptied) {
  THVCollection c;
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Limit(), 100);
  for (int i = 1; i <= 99; ++i) c.Add(P(i));
  EXPECT_EQ(c.Limit(), 100);
  c.Add(P(100));
  EXPECT_EQ(c.Limit(), 200);
  EXPECT_EQ(c.Count(), 100);
  while (c.Count() > 1) c.DeleteAt(0);
  EXPECT_EQ(c.Limit(), 200);
  EXPECT_EQ(c.GetItem(0), P(100));
  c.DeleteAt(0);
  EXPECT_EQ(c.Limit(), 100);
  EXPECT_EQ(THVCollection(7).Limit(), 7);
}

TEST(Collection, DeltaBelowOneReadsAsOne) {
  THVCollection zero(0);
  EXPECT_EQ(zero.Delta(), 1);
  for (int i = 1; i <= 10; ++i) zero.Add(P(i));
  EXPECT_EQ(zero.Count(), 10);
  EXPECT_EQ(zero.GetItem(9), P(10));
  THVCollection c(5);
  c.SetDelta(-3);
  EXPECT_EQ(c.Delta(), 1);
  EXPECT_EQ(c.Limit(), 5);
}

TEST(Collection, BadIndexesAreReportedOrIgnored) {
  ErrorRecorder c;
  c.Add(P(1));
  c.InsertAt(-1, P(2));
  c.InsertAt(2, P(3));
  EXPECT_EQ(c.errors, (std::vector<std::pair<int32_t, int32_t>>{{-1, 0}, {-2, 0}}));
  EXPECT_EQ(c.Count(), 1);
  c.InsertAt(1, P(4));
  EXPECT_EQ(c.GetItem(1), P(4));
  EXPECT_EQ(c.GetItem(-1), nullptr);
  EXPECT_EQ(c.GetItem(2), nullptr);
  c.DeleteAt(5);
  c.FreeAt(-1);
  EXPECT_EQ(c.Count(), 2);
}

TEST(Collection, InsertKeepsOrderAndIndexOfSkipsNull) {
  THVCollection c;
  c.Add(P(1));
  c.Add(P(3));
  c.InsertAt(1, P(2));
  c.InsertAt(0, nullptr);
  EXPECT_EQ(c.GetItem(0), nullptr);
  EXPECT_EQ(c.GetItem(1), P(1));
  EXPECT_EQ(c.GetItem(2), P(2));
  EXPECT_EQ(c.GetItem(3), P(3));
  EXPECT_EQ(c.IndexOf(nullptr), -1);
  EXPECT_EQ(c.IndexOf(P(3)), 3);
  c.Remove(P(2));
  c.Remove(P(42));
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(c.IndexOf(P(3)), 2);
}

TEST(Collection, FreeAllReleasesAscendingAndShrinks) {
  ReleaseLog c;
  for (int i = 1; i <= 150; ++i) c.Add(P(i));
  c.RemoveAll();
  EXPECT_EQ(c.Limit(), 100);
  EXPECT_TRUE(c.released.empty());
  for (int i = 1; i <= 150; ++i) c.Add(P(i));
  c.DeleteAt(149);  // Limit stays grown while not empty
  c.FreeAt(0);
  EXPECT_EQ(c.released, std::vector<intptr_t>{1});
  c.released.clear();
  c.FreeAll();
  ASSERT_EQ(c.released.size(), 148u);
  EXPECT_EQ(c.released.front(), 2);
  EXPECT_EQ(c.released.back(), 149);
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Limit(), 100);
}

TEST(Collection, FreeAllOnEmptyKeepsCapacity) {
  // Capacity 300 with a step of 100: an empty FreeAll must not reach
  // RemoveAll, which would shrink to the step.
  ReleaseLog c;
  c.SetDelta(100);
  c.FreeAll();
  EXPECT_EQ(c.Limit(), 100);
  common::TBaseArray big(300);
  big.SetDelta(100);
  big.FreeAll();
  EXPECT_EQ(big.Limit(), 300);
  big.Add(P(1));
  big.FreeAll();
  EXPECT_EQ(big.Limit(), 100);
  EXPECT_TRUE(c.released.empty());
}

// A sorted list of ints compared by value, as the system's lists compare
// records of their own layout.
struct Key {
  int value;
};

class IntList : public TOwningList<Key, TSortedArray> {
 public:
  int32_t Compare(const void* a, const void* b) const override {
    const int x = static_cast<const Key*>(a)->value;
    const int y = static_cast<const Key*>(b)->value;
    return x < y ? -1 : (x > y ? 1 : 0);
  }
};

TEST(SortedCollection, KeepsOrderAndRefusesDuplicates) {
  IntList list;
  for (int v : {5, 1, 9, 3}) list.Add(new Key{v});
  Key dup{3};
  list.Add(&dup);  // refused: stays the caller's
  ASSERT_EQ(list.Count(), 4);
  std::vector<int> values;
  for (int i = 0; i < list.Count(); ++i) values.push_back(list.At(i)->value);
  EXPECT_EQ(values, (std::vector<int>{1, 3, 5, 9}));
  EXPECT_EQ(list.IndexOf(&dup), 1);
}

TEST(SortedCollection, FindKeyAnswersInsertionIndexOnMiss) {
  IntList list;
  int32_t index = -7;
  Key k{4};
  EXPECT_FALSE(list.FindKey(&k, index));
  EXPECT_EQ(index, 0);
  for (int v : {2, 4, 6}) list.Add(new Key{v});
  EXPECT_TRUE(list.FindKey(&k, index));
  EXPECT_EQ(index, 1);
  Key big{100}, mid{5};
  EXPECT_FALSE(list.FindKey(&big, index));
  EXPECT_EQ(index, 3);
  EXPECT_FALSE(list.FindKeyAlt(&mid, index));
  EXPECT_EQ(index, 2);
  EXPECT_EQ(list.IndexOf(&big), -1);
}

TEST(SortedCollection, BaseCompareInsertsAtFrontAndNeverFinds) {
  THVSortedCollection c;
  c.Add(P(1));
  c.Add(P(2));
  c.Add(P(3));
  EXPECT_EQ(c.GetItem(0), P(3));
  EXPECT_EQ(c.GetItem(2), P(1));
  int32_t index = 0;
  EXPECT_FALSE(c.FindKey(P(2), index));
  EXPECT_EQ(c.IndexOf(P(2)), -1);
}

// An owning list releases its items through its own FreeItem on
// destruction too; ASan reports a leak otherwise.
struct Counted {
  explicit Counted(int& live) : live(live) { ++live; }
  ~Counted() { --live; }
  int& live;
};

TEST(OwningList, ReleasesItemsOnFreeAtFreeAllAndDestruction) {
  int live = 0;
  {
    TOwningList<Counted> list;
    for (int i = 0; i < 5; ++i) list.Add(new Counted(live));
    list.FreeAt(0);
    EXPECT_EQ(live, 4);
    void* kept = list.GetItem(0);
    list.DeleteAt(0);
    EXPECT_EQ(live, 4);
    delete static_cast<Counted*>(kept);
  }
  EXPECT_EQ(live, 0);
}

}  // namespace
