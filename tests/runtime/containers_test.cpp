// Behaviour of the in-house vector and map: growth in bytes, order keeping,
// unique sorted keys, and allocation failure reported instead of thrown.
#include <gtest/gtest.h>

#include <vector>

#include "pndhal/container.h"

namespace {

using Container::ZuMap;
using Container::ZuVector;

// Makes the allocator fail for the scope, after `skip` successful calls.
struct AllocationFailure {
  AllocationFailure(long skip, long count) { ZuAllocFailAfter(skip, count); }
  ~AllocationFailure() { ZuAllocFailAfter(0, 0); }
};

TEST(ZuVector, GrowsToOneElementThenToTwiceTheCount) {
  ZuVector<int> v;
  EXPECT_EQ(v.capacity_bytes(), 0u);
  EXPECT_EQ(v.data(), nullptr) << "an empty vector owns no buffer";
  ASSERT_TRUE(v.push_back(1));
  EXPECT_EQ(v.capacity_bytes(), sizeof(int));
  v.push_back(2);
  EXPECT_EQ(v.capacity(), 2u);
  v.push_back(3);
  EXPECT_EQ(v.capacity(), 4u);
  v.push_back(4);
  EXPECT_EQ(v.capacity(), 4u);
  v.push_back(5);
  EXPECT_EQ(v.capacity(), 8u) << "the fifth append into capacity 4 doubles";
  EXPECT_EQ(v.size_bytes(), 5 * sizeof(int));
}

TEST(ZuVector, EraseKeepsOrderAndCapacity) {
  ZuVector<int> v;
  for (int i : {10, 20, 30}) v.push_back(i);
  const auto capacity = v.capacity();
  auto next = v.erase(v.begin());
  EXPECT_EQ(*next, 20);
  EXPECT_EQ(std::vector<int>(v.begin(), v.end()), (std::vector<int>{20, 30}));
  EXPECT_EQ(v.capacity(), capacity);
  v.clear();
  EXPECT_TRUE(v.empty());
  EXPECT_EQ(v.capacity(), capacity) << "clear keeps the buffer";
}

TEST(ZuVector, AppendReportsAllocationFailureAndKeepsContents) {
  ZuVector<int> v;
  v.push_back(1);
  AllocationFailure failing(0, 1);
  EXPECT_FALSE(v.push_back(2));
  EXPECT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0], 1);
}

TEST(ZuVector, AppendingAnOwnElementWhileGrowingIsSafe) {
  ZuVector<ZuVector<int>> v;
  ZuVector<int> inner;
  inner.push_back(7);
  v.push_back(inner);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(v.push_back(v[0]));
  for (const auto& element : v) EXPECT_EQ(element[0], 7);
}

TEST(ZuVector, CopiesAreDeepAndFreeTheirMemory) {
  const long before = ZuAllocLiveBlocks();
  {
    ZuVector<int> a;
    a.push_back(1);
    ZuVector<int> b = a;
    b[0] = 2;
    EXPECT_EQ(a[0], 1);
    ZuVector<int> c;
    c = b;
    EXPECT_EQ(c[0], 2);
    ZuVector<int> d = std::move(c);
    EXPECT_TRUE(c.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty by contract
    EXPECT_EQ(d[0], 2);
  }
  EXPECT_EQ(ZuAllocLiveBlocks(), before);
}

TEST(ZuMap, KeepsUniqueKeysInAscendingUnsignedOrder) {
  ZuMap<unsigned long, int> map;
  EXPECT_TRUE(map.insert(0xC1, 6));
  EXPECT_TRUE(map.insert(0x0D, 4));
  EXPECT_TRUE(map.insert(0xFFFFFFFFul, 9));
  EXPECT_TRUE(map.insert(0x26, 0));
  std::vector<unsigned long> keys;
  for (const auto& entry : map) keys.push_back(entry.first);
  EXPECT_EQ(keys, (std::vector<unsigned long>{0x0D, 0x26, 0xC1, 0xFFFFFFFFul}));
}

TEST(ZuMap, InsertingAPresentKeyKeepsTheFirstValue) {
  ZuMap<unsigned long, char> map;
  EXPECT_TRUE(map.insert(5, 'a'));
  const auto modifications = map.modification_count();
  EXPECT_FALSE(map.insert(5, 'b'));
  EXPECT_EQ(map.modification_count(), modifications) << "nothing changed";
  ASSERT_NE(map.find(5), map.end());
  EXPECT_EQ(map.find(5)->second, 'a');
  EXPECT_EQ(map.size(), 1u);
}

TEST(ZuMap, FindEraseAndCopy) {
  ZuMap<unsigned long, int> map;
  for (unsigned long k = 0; k < 100; k += 3) map.insert(k, static_cast<int>(k) * 2);
  EXPECT_EQ(map.find(4), map.end());
  ASSERT_NE(map.find(99), map.end());
  EXPECT_EQ(map.find(99)->second, 198);
  map.erase(map.find(0));
  EXPECT_FALSE(map.contains(0));
  ZuMap<unsigned long, int> copy;
  copy.insert(1000, 1);
  copy = map;
  EXPECT_EQ(copy.size(), map.size());
  EXPECT_FALSE(copy.contains(1000)) << "a copy replaces the previous entries";
  EXPECT_EQ(copy.begin()->first, 3u);
}

}  // namespace
