#include "TinyDeflate.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <queue>
#include <random>
#include <string>
#include <vector>

using zipeng::TinyBlock;
using zipeng::TinyDeflate;
using zipeng::TinyDeflateLimit;
using Bytes = std::vector<uint8_t>;

namespace {

// zlib's raw inflate; the whole stream must be one complete deflate stream
// that ends exactly at its last byte.
::testing::AssertionResult Inflates(const Bytes& stream, const Bytes& expected)
{
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return ::testing::AssertionFailure() << "inflateInit2";
    Bytes got(expected.size() + 64);
    zs.next_in = const_cast<Bytes::value_type*>(stream.data());
    zs.avail_in = uInt(stream.size());
    zs.next_out = got.data();
    zs.avail_out = uInt(got.size());
    const int ret = inflate(&zs, Z_FINISH);
    const std::string msg = zs.msg ? zs.msg : "";
    const size_t produced = got.size() - zs.avail_out;
    const unsigned left = zs.avail_in;
    inflateEnd(&zs);
    if (ret != Z_STREAM_END) return ::testing::AssertionFailure() << "inflate returned " << ret << " " << msg;
    if (left != 0) return ::testing::AssertionFailure() << left << " bytes after the stream's end";
    got.resize(produced);
    if (got != expected)
        return ::testing::AssertionFailure()
               << "inflated " << got.size() << " bytes, not the " << expected.size() << " given";
    return ::testing::AssertionSuccess();
}

Bytes Deflate(const Bytes& in, TinyBlock form = TinyBlock::Cheapest)
{
    Bytes out;
    EXPECT_TRUE(TinyDeflate(in.data(), in.size(), out, form));
    return out;
}

size_t LibdeflateSize(const Bytes& in, int level)
{
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_deflate_compress_bound(c, in.size()));
    const size_t n = libdeflate_deflate_compress(c, in.data(), in.size(), out.data(), out.size());
    libdeflate_free_compressor(c);
    return n;
}

int BlockType(const Bytes& stream)
{
    return stream.empty() ? -1 : (stream[0] >> 1) & 3;
}

Bytes Random(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (uint8_t& x : b) x = uint8_t(rng());
    return b;
}

Bytes Text(size_t n, unsigned seed)
{
    static const char* words[] = {"the",   "guard", "keeper", "thief", "mansion", "vault", "key",   "torch",
                                  "water", "arrow", "rope",   "moss",  "shadow",  "bell",  "gold",  "scroll",
                                  "door",  "roof",  "crypt",  "noble", "quietly", "and",   "under", "over"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) {
        s += words[rng() % 24];
        s += rng() % 9 ? " " : ".\r\n";
    }
    return Bytes(s.begin(), s.begin() + long(n));
}

// Records of a binary file: a counter, slowly changing positions and flags.
Bytes Records(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b;
    for (uint32_t id = 1000; b.size() < n; ++id) {
        const uint32_t fields[4] = {id, 0x100u + id % 7, uint32_t(rng() % 64), 0};
        for (uint32_t f : fields)
            for (int k = 0; k < 4; ++k) b.push_back(uint8_t(f >> (8 * k)));
    }
    b.resize(n);
    return b;
}

Bytes Periodic(size_t n, size_t period, unsigned seed)
{
    const Bytes unit = Random(period, seed);
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = unit[i % period];
    return b;
}

// Random bytes whose last bytes repeat the first: the one match there is
// spans the whole input.
Bytes FarMatch(size_t n, size_t matchLen, unsigned seed)
{
    Bytes b = Random(n, seed);
    for (size_t i = 0; i < matchLen && i < n; ++i) b[n - matchLen + i] = b[i];
    return b;
}

const TinyBlock AllForms[] = {TinyBlock::Cheapest, TinyBlock::Stored, TinyBlock::Fixed, TinyBlock::Dynamic};

struct Kind {
    const char* name;
    std::function<Bytes(size_t)> make;
};

const std::vector<Kind>& Kinds()
{
    static const std::vector<Kind> kinds = {
        {"zeros", [](size_t n) { return Bytes(n, 0); }},
        {"one byte repeated", [](size_t n) { return Bytes(n, 'x'); }},
        {"random", [](size_t n) { return Random(n, unsigned(n)); }},
        {"text", [](size_t n) { return Text(n, unsigned(n)); }},
        {"records", [](size_t n) { return Records(n, unsigned(n)); }},
        {"two symbols", [](size_t n) { return Periodic(n, 2, 7); }},
        {"far match", [](size_t n) { return FarMatch(n, std::min<size_t>(n / 2, 40), unsigned(n)); }},
    };
    return kinds;
}

} // namespace

TEST(TinyDeflate, EveryFormInflatesBackForEveryLengthAndKind)
{
    for (const Kind& kind : Kinds())
        for (size_t n = 0; n <= 600; ++n) {
            const Bytes in = kind.make(n);
            for (TinyBlock form : AllForms)
                ASSERT_TRUE(Inflates(Deflate(in, form), in)) << kind.name << ", " << n << " bytes, form " << int(form);
        }
}

TEST(TinyDeflate, PeriodsRunsAndTheLargestInputInflateBack)
{
    // Every period up to past the longest match, at lengths around the
    // match limits.
    for (size_t period = 1; period <= 300; ++period)
        for (size_t n : {period + 2, size_t(259), size_t(517), size_t(600)}) {
            const Bytes in = Periodic(n, period, unsigned(period));
            for (TinyBlock form : AllForms)
                ASSERT_TRUE(Inflates(Deflate(in, form), in)) << "period " << period << ", " << n << " bytes";
        }
    // Runs longer than one match can take, broken by other bytes.
    Bytes runs;
    for (size_t r = 1; runs.size() < TinyDeflateLimit; r = r * 3 + 1)
        runs.insert(runs.end(), std::min(r, TinyDeflateLimit - runs.size()), uint8_t(r));
    for (TinyBlock form : AllForms) ASSERT_TRUE(Inflates(Deflate(runs, form), runs));
    // Inputs of the largest size, matches at the largest distance included.
    for (const Kind& kind : Kinds()) {
        const Bytes in = kind.make(TinyDeflateLimit);
        for (TinyBlock form : AllForms) ASSERT_TRUE(Inflates(Deflate(in, form), in)) << kind.name;
    }
}

TEST(TinyDeflate, CodeLengthRunsOfEveryLengthAndPlaceInflateBack)
{
    // The bytes first..first+k, each twice (and a few more often, so that
    // lengths differ inside the run too): runs of equal code lengths and of
    // absent bytes of every length, starting and ending on either side of
    // every 64-symbol boundary in the code-length sequence.
    for (int first : {0, 1, 62, 63, 64, 65, 127, 128, 190, 191, 192})
        for (int k = 0; first + k < 256; ++k) {
            Bytes in;
            for (int b = first; b <= first + k; ++b) in.push_back(uint8_t(b));
            for (int b = first + k; b >= first; --b) in.push_back(uint8_t(b));
            for (int b = first; b <= first + k; b += 7) in.push_back(uint8_t(b));
            for (TinyBlock form : {TinyBlock::Cheapest, TinyBlock::Dynamic})
                ASSERT_TRUE(Inflates(Deflate(in, form), in)) << "bytes " << first << ".." << first + k;
        }
}

TEST(TinyDeflate, TakesTheCheapestForm)
{
    for (const Kind& kind : Kinds())
        for (size_t n : {0, 1, 2, 3, 5, 17, 64, 255, 256, 257, 400, 512, 600, 2000, 4096}) {
            const Bytes in = kind.make(n);
            size_t smallest = SIZE_MAX;
            for (TinyBlock form : {TinyBlock::Stored, TinyBlock::Fixed, TinyBlock::Dynamic})
                smallest = std::min(smallest, Deflate(in, form).size());
            EXPECT_EQ(Deflate(in).size(), smallest) << kind.name << ", " << n << " bytes";
        }
    // Random bytes cannot be coded shorter than they are: stored, once the
    // five bytes of a stored block's header are less than a coded block's
    // extra bits per byte.
    for (size_t n : {100, 512, 4096}) {
        const Bytes out = Deflate(Random(n, 99));
        EXPECT_EQ(BlockType(out), 0);
        EXPECT_LE(out.size(), n + 5);
    }
    // A run is a literal and a few long matches.
    EXPECT_LE(Deflate(Bytes(600, 'a')).size(), 10u);
    EXPECT_LE(Deflate(Bytes(4096, 0)).size(), 30u);
    // A long text with a small alphabet pays for its own code.
    EXPECT_EQ(BlockType(Deflate(Text(4096, 5))), 2);
}

TEST(TinyDeflate, NoLargerThanLibdeflatesFastestLevelOnSmallFiles)
{
    // Whole small files of the kinds a FM holds; a fault in the matcher or
    // in the choice of form shows as a much larger total.
    size_t ours = 0, theirs = 0;
    for (unsigned seed = 0; seed < 200; ++seed) {
        const size_t n = 32 + seed * 7 % 480;
        for (const Kind& kind : Kinds()) {
            const Bytes in = kind.make(n);
            ours += Deflate(in).size();
            theirs += LibdeflateSize(in, 1);
        }
        const Bytes text = Text(256, seed + 1000);
        ours += Deflate(text).size();
        theirs += LibdeflateSize(text, 1);
    }
    EXPECT_LE(ours, theirs + theirs / 100) << "ours " << ours << ", libdeflate level 1 " << theirs;
}

TEST(TinyDeflate, RefusesInputsAboveItsLimit)
{
    const Bytes in(TinyDeflateLimit + 1, 'a');
    Bytes out{1, 2, 3};
    EXPECT_FALSE(TinyDeflate(in.data(), in.size(), out));
    EXPECT_TRUE(out.empty());
}

TEST(TinyCodeLengths, CompleteWithinTheLimitAndOptimalWhereTheLimitDoesNotBind)
{
    // Fibonacci weights make the deepest Huffman trees, past any limit.
    std::vector<uint32_t> fib = {1, 1};
    while (fib.size() < 30) fib.push_back(fib[fib.size() - 1] + fib[fib.size() - 2]);
    std::vector<uint32_t> wide(286);
    for (size_t i = 0; i < wide.size(); ++i) wide[i] = uint32_t(1 + i * i % 97);
    struct Set {
        std::vector<uint32_t> freq;
        bool deep; // its Huffman tree is deeper than 15
    };
    // clang-format off
    const std::vector<Set> sets = {
        {fib, true},
        {std::vector<uint32_t>(fib.begin(), fib.begin() + 19), true},
        {{5, 0}, false},
        {{0, 0, 3}, false},
        {{0, 0, 0}, false},
        {std::vector<uint32_t>(19, 1), false},
        {wide, false},
    };
    // clang-format on
    for (const Set& set : sets)
        for (int limit : {7, 9, 15}) {
            const std::vector<uint32_t>& freq = set.freq;
            if ((size_t(1) << limit) < freq.size()) continue;
            std::vector<uint8_t> lens(freq.size());
            zipeng::TinyCodeLengths(freq.data(), int(freq.size()), limit, lens.data());
            uint64_t kraft = 0, cost = 0;
            size_t used = 0, coded = 0;
            for (size_t s = 0; s < freq.size(); ++s) {
                EXPECT_LE(lens[s], limit);
                EXPECT_TRUE(!freq[s] || lens[s] > 0) << "symbol " << s << " occurs but has no code";
                if (lens[s]) kraft += uint64_t(1) << (limit - lens[s]);
                cost += uint64_t(freq[s]) * lens[s];
                used += freq[s] != 0;
                coded += lens[s] != 0;
            }
            EXPECT_EQ(coded, std::max<size_t>(used, 2));
            EXPECT_EQ(kraft, uint64_t(1) << limit) << freq.size() << " symbols, limit " << limit;
            for (size_t a = 0; a < freq.size(); ++a)
                for (size_t b = 0; b < freq.size(); ++b)
                    EXPECT_TRUE(freq[a] <= freq[b] || !freq[b] || lens[a] <= lens[b]) << a << " and " << b;
            // Huffman's cost is the sum of the weights of every merge.
            std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> q;
            for (uint32_t f : freq)
                if (f) q.push(f);
            uint64_t huffman = 0;
            while (q.size() > 1) {
                const uint64_t a = q.top();
                q.pop();
                const uint64_t b = q.top();
                q.pop();
                huffman += a + b;
                q.push(a + b);
            }
            if (used == 1)
                huffman = freq[std::find_if(freq.begin(), freq.end(), [](uint32_t f) { return f; }) - freq.begin()];
            if (!set.deep && limit == 15) EXPECT_EQ(cost, huffman);
            else
                EXPECT_GE(cost, huffman);
        }
}
