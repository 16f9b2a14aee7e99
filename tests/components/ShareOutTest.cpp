#include "components/ShareOut.h"

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
