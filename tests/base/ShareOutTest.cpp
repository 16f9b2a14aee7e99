#include "base/ShareOut.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

// Every item is worked on exactly once, whatever the count of items and
// of parts (more parts than items, one part, none to do), and the parts
// do run on threads of their own.
TEST(ShareOut, EveryItemOnceWhateverTheParts)
{
    for (size_t count : {0u, 1u, 2u, 7u, 1000u, 1001u})
        for (size_t parts : {0u, 1u, 2u, 3u, 8u, 5000u}) {
            std::vector<std::atomic<int>> seen(count);
            std::atomic<int> calls = 0;
            lw::ShareOut(count, parts, [&](size_t from, size_t to) {
                ++calls;
                for (size_t i = from; i < to; ++i) ++seen[i];
            });
            for (size_t i = 0; i < count; ++i)
                ASSERT_EQ(seen[i], 1) << count << " items, " << parts << " parts, item " << i;
            EXPECT_LE(calls.load(), int(std::max<size_t>(count, 1))) << "no more parts than items";
        }

    std::mutex m;
    std::set<std::thread::id> threads;
    lw::ShareOut(4, 4, [&](size_t, size_t) {
        std::lock_guard lock(m);
        threads.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(threads.size(), 4u);
}

// Grouped: still every item once, each group on one part only (but where a
// part boundary cuts it), in order within the group, however the items of
// the groups are interleaved.
TEST(ShareOut, GroupedKeepsEachGroupTogether)
{
    for (size_t count : {0u, 1u, 40u, 1000u, 20000u})
        for (size_t parts : {1u, 2u, 3u, 8u}) {
            const auto groupOf = [](size_t i) { return uint64_t(i % 40) * 0x9E3779B97F4A7C15ull; };
            std::vector<int> partOf(count, -1);
            std::atomic<int> next = 0;
            std::mutex m;
            lw::ShareOutGrouped(count, parts, groupOf, [&](const size_t* first, const size_t* last) {
                const int part = next++;
                std::lock_guard lock(m);
                for (const size_t* i = first; i != last; ++i) {
                    ASSERT_LT(*i, count);
                    ASSERT_EQ(partOf[*i], -1) << "item " << *i << " twice";
                    partOf[*i] = part;
                    if (i != first && groupOf(*(i - 1)) == groupOf(*i)) {
                        EXPECT_LT(*(i - 1), *i);
                    }
                }
            });
            std::vector<std::set<int>> partsOfGroup(40);
            for (size_t i = 0; i < count; ++i) {
                ASSERT_NE(partOf[i], -1) << "item " << i << " left out";
                partsOfGroup[i % 40].insert(partOf[i]);
            }
            size_t split = 0;
            for (const std::set<int>& p : partsOfGroup) split += p.size() > 1 ? p.size() - 1 : 0;
            EXPECT_LE(split, parts - 1) << count << " items, " << parts << " parts";
        }
}
