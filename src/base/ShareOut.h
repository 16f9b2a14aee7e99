// Work on thousands of independent items shared out among threads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace lw {

// Calls work(from, to) once for each of `parts` ranges that together cover
// [0, count), each range on a thread of its own and the first on the
// calling thread. When the system refuses another thread, the calling
// thread does the ranges left, so the work is done all the same. work must
// not throw: nothing could catch it on another thread.
template <class Work>
void ShareOut(size_t count, size_t parts, const Work& work)
{
    parts = std::clamp<size_t>(parts, 1, std::max<size_t>(count, 1));
    auto from = [&](size_t part) { return count * part / parts; };
    std::vector<std::thread> pool;
    pool.reserve(parts - 1);
    size_t started = 1;
    for (; started < parts; ++started) {
        try {
            pool.emplace_back(work, from(started), from(started + 1));
        } catch (const std::system_error&) {
            break;
        }
    }
    work(from(0), from(1));
    for (size_t part = started; part < parts; ++part) work(from(part), from(part + 1));
    for (std::thread& t : pool) t.join();
}

// ShareOut for items that come in groups, each group needing a costly
// thing only one thread makes (a folder's listing): the items of a group
// are kept together, so threads do not wait on each other for it however
// the items are ordered. groupOf(i) names item i's group by a number;
// work(first, last) gets the indices of a part's items, in order within
// each group.
template <class Group, class Work>
void ShareOutGrouped(size_t count, size_t parts, const Group& groupOf, const Work& work)
{
    constexpr size_t Buckets = 4096; // far more than the groups of any FM
    std::vector<uint32_t> bucket(count);
    std::vector<size_t> at(Buckets + 1, 0);
    for (size_t i = 0; i < count; ++i) {
        bucket[i] = uint32_t(groupOf(i) % Buckets);
        ++at[bucket[i] + 1];
    }
    for (size_t b = 0; b < Buckets; ++b) at[b + 1] += at[b];
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i) order[at[bucket[i]]++] = i;
    ShareOut(count, parts, [&](size_t from, size_t to) { work(order.data() + from, order.data() + to); });
}

// How many parts to share count items out in: one for each core (at most
// eight), each of at least perPart items, since a thread costs more than
// a few hundred small items.
inline size_t PartsFor(size_t count, size_t perPart = 256)
{
    const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    return std::clamp<size_t>(count / std::max<size_t>(perPart, 1), 1, cores);
}

} // namespace lw
