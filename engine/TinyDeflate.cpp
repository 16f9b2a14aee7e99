#include "TinyDeflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace zipeng {

namespace {

constexpr int LitLenSymbols = 286; // 0..255 bytes, 256 end of block, 257..285 lengths
constexpr int DistSymbols = 30;
constexpr int CodeLenSymbols = 19;
constexpr int EndOfBlock = 256;
constexpr int MaxCodeBits = 15;
constexpr int MaxCodeLenBits = 7;

// The symbol writer's code table: the literal/length codes, then the
// distance codes, then an empty entry.
constexpr int DistItems = LitLenSymbols;
constexpr int NoItem = LitLenSymbols + DistSymbols;
constexpr int CodeTabSize = NoItem + 1;

// The format allows matches of 3 bytes, but in a few hundred bytes of text
// a dynamic code makes literals so cheap that a 3-byte match costs about
// as much as its bytes and crowds the distance code; taking only matches
// of 4 or more gives smaller output here, and a 4-byte hash.
constexpr int ShortestMatch = 4;
constexpr int MaxMatch = 258;
constexpr int MaxHashBits = 13;
// How far back a search looks, and the match long enough not to look one
// byte further for a longer one. Text makes short chains; records make
// long ones, where looking past eight candidates costs a third more time
// for a few bytes in a hundred thousand.
constexpr int MaxChain = 8;
constexpr int LazyEnough = 64;

// The order in which the code-length code's lengths are sent.
constexpr uint8_t CodeLenOrder[CodeLenSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The length and distance codes: each covers a base value and the extra
// bits added to it.
// clang-format off
constexpr uint16_t LenBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t DistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                   193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// clang-format on

constexpr std::array<uint8_t, 256> Reverse8 = [] {
    std::array<uint8_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned k = 0; k < 8; ++k) t[b] |= uint8_t(((b >> k) & 1) << (7 - k));
    return t;
}();

struct Tables {
    uint8_t lenCode[MaxMatch + 1];  // match length -> length code 0..28 (symbol 257 + code)
    uint8_t distCode[512];          // distance-1 below 256 directly, above by (distance-1) >> 7
    uint8_t litExtra[288] = {};     // extra bits by literal/length symbol
    uint8_t fixedLen[288];          // the fixed literal/length code's lengths
    uint32_t fixedTab[CodeTabSize]; // the fixed codes as the symbol writer takes them

    Tables()
    {
        for (int c = 0; c < 29; ++c)
            for (int l = LenBase[c]; l < LenBase[c] + (1 << LenExtra[c]) && l <= MaxMatch; ++l) lenCode[l] = uint8_t(c);
        lenCode[MaxMatch] = 28; // 258 has a code of its own, not 227 + 31
        for (int c = 0; c < 30; ++c)
            for (int d = DistBase[c]; d < DistBase[c] + (1 << DistExtra[c]); ++d) {
                const int v = d - 1;
                if (v < 256) distCode[v] = uint8_t(c);
                else
                    distCode[256 + (v >> 7)] = uint8_t(c);
            }
        for (int s = 0; s < 288; ++s) fixedLen[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        uint16_t coded[288];
        for (int s = 0; s < 288; ++s) coded[s] = uint16_t(s);
        for (int s = 0; s < LitLenSymbols; ++s) litExtra[s] = s > EndOfBlock ? LenExtra[s - 257] : 0;
        uint32_t fixedAll[288];
        assignCodes(fixedLen, coded, 288, litExtra, fixedAll);
        std::memcpy(fixedTab, fixedAll, sizeof(uint32_t) * LitLenSymbols);
        uint8_t fixedDistLen[DistSymbols];
        std::memset(fixedDistLen, 5, sizeof fixedDistLen);
        assignCodes(fixedDistLen, coded, DistSymbols, DistExtra, fixedTab + DistItems);
        fixedTab[NoItem] = 0;
    }

    // Canonical codes for the given lengths, bit-reversed: deflate sends a
    // code's first bit first, and the writer fills bytes from the low bit.
    // coded lists the symbols that have a code, in increasing order. An
    // entry holds the code in its low 16 bits and its length in bits 16..23
    // and, with the symbol's extra bits (extra[s]) added, in 24..31.
    static void assignCodes(const uint8_t* lens, const uint16_t* coded, int count, const uint8_t* extra,
                            uint32_t* codes)
    {
        int perLength[MaxCodeBits + 1] = {};
        for (int k = 0; k < count; ++k) ++perLength[lens[coded[k]]];
        int next[MaxCodeBits + 1] = {};
        for (int bits = 1, code = 0; bits <= MaxCodeBits; ++bits) {
            code = (code + perLength[bits - 1]) << 1;
            next[bits] = code;
        }
        for (int k = 0; k < count; ++k) {
            const int s = coded[k], l = lens[s];
            const unsigned c = unsigned(next[l]++);
            codes[s] = ((unsigned(Reverse8[c & 0xFF]) << 8 | Reverse8[c >> 8]) >> (16 - l)) | unsigned(l) << 16 |
                       unsigned(l + extra[s]) << 24;
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

inline int distCodeOf(unsigned dist)
{
    const unsigned v = dist - 1;
    return v < 256 ? tables().distCode[v] : tables().distCode[256 + (v >> 7)];
}

inline uint64_t load64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Eight flag bytes (0 or 1) as eight bits, the first byte's lowest.
inline uint64_t gatherFlags(const uint8_t* flag)
{
    uint64_t v = 0;
    if constexpr (std::endian::native == std::endian::little) v = load64(flag);
    else
        for (int k = 0; k < 8; ++k) v |= uint64_t(flag[k]) << (8 * k);
    return (v * 0x0102040810204080u) >> 56;
}

// A complete code even for one symbol, so that every decoder accepts it.
// present receives the symbols given a code, in increasing order; returns
// their number.
int buildLengths(const uint32_t* freq, int n, int limit, uint8_t* lens, uint16_t* present)
{
    std::memset(lens, 0, size_t(n));
    // most bounds the largest frequency within a factor of two, which is
    // all the counting sort below needs: an or, which vectorizes where an
    // unsigned maximum (before SSE4.1) does not.
    uint32_t most = 0;
    for (int s = 0; s < n; ++s) most |= freq[s];
    // The symbols that occur, found 64 at a time through a bit mask.
    // The flags are made a byte each (which the compiler does many at once)
    // and gathered eight bytes at a time by one multiply: byte k's low bit
    // lands on bit 56 + k, and no two partial products meet.
    int used = 0;
    for (int base = 0; base < n; base += 64) {
        const int end = std::min(n, base + 64);
        alignas(8) uint8_t flag[64] = {};
        for (int s = base; s < end; ++s) flag[s - base] = freq[s] != 0;
        uint64_t mask = 0;
        for (int k = 0; k < 8; ++k) mask |= gatherFlags(flag + 8 * k) << (8 * k);
        for (; mask; mask &= mask - 1) present[used++] = uint16_t(base + std::countr_zero(mask));
    }
    if (used < 2) {
        const int s = used ? present[0] : 0;
        const int other = s == 0 ? 1 : 0;
        lens[s] = lens[other] = 1;
        present[0] = uint16_t(std::min(s, other));
        present[1] = uint16_t(std::max(s, other));
        return 2;
    }
    // The symbols by frequency, ties in symbol order: counted into place
    // when the frequencies are as small as a small input gives.
    uint16_t order[LitLenSymbols];
    if (most <= TinyDeflateLimit + 1) {
        uint16_t start[TinyDeflateLimit + 3];
        std::memset(start, 0, sizeof(uint16_t) * (most + 2));
        for (int k = 0; k < used; ++k) ++start[freq[present[k]] + 1];
        for (uint32_t f = 1; f <= most; ++f) start[f] = uint16_t(start[f] + start[f - 1]);
        for (int k = 0; k < used; ++k) order[start[freq[present[k]]]++] = present[k];
    } else {
        std::memcpy(order, present, sizeof(uint16_t) * size_t(used));
        std::stable_sort(order, order + used, [freq](uint16_t x, uint16_t y) { return freq[x] < freq[y]; });
    }
    uint32_t weight[LitLenSymbols + 1];
    for (int i = 0; i < used; ++i) weight[i] = freq[order[i]];
    weight[used] = UINT32_MAX;

    // Huffman's lengths from the sorted weights (after Moffat and
    // Katajainen): first the tree's parent links, then internal depths,
    // then leaf depths, most frequent symbol last.
    uint32_t a[LitLenSymbols + 1], depth[LitLenSymbols];
    uint16_t leafParent[LitLenSymbols];
    {
        // Each new node takes the two lightest of the leaves left and the
        // nodes made before it; weight[used] is a sentinel no node outweighs.
        // Leaves are read from weight, which the loop never writes, so the
        // next loads need not wait on the stores before them.
        int root = 0, leaf = 0;
        for (int next = 0; next < used - 1; ++next) {
            uint32_t sum = 0;
            for (int child = 0; child < 2; ++child) {
                const uint32_t wr = root < next ? a[root] : UINT32_MAX, wl = weight[leaf];
                if (wr < wl) {
                    a[root++] = uint32_t(next); // a node taken points to its parent
                    sum += wr;
                } else {
                    sum += wl;
                    leafParent[leaf++] = uint16_t(next);
                }
            }
            a[next] = sum;
        }
        a[used - 2] = 0;
        for (int next = used - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
        // A leaf is one deeper than its parent. A lighter leaf is taken no
        // later than a heavier one, or than an equal one after it, so these
        // depths never grow from the first leaf to the last: the same as
        // handing the depths out by count, with no loop on a count.
        for (int i = 0; i < used; ++i) depth[i] = a[leafParent[i]] + 1;
    }

    if (int(depth[0]) > limit) {
        // Too deep: optimal lengths within the limit by package-merge. Level
        // lists run from the deepest (the leaves alone) up; an item of one
        // level is a leaf or a package of two items of the level below. A
        // leaf's length is the number of levels at which it is chosen.
        constexpr int MaxItems = 2 * LitLenSymbols;
        uint32_t below[MaxItems], here[MaxItems];
        static_assert(MaxCodeBits * MaxItems <= 16384);
        bool isLeaf[MaxCodeBits][MaxItems];
        int count[MaxCodeBits];
        const int want = 2 * used - 2;
        for (int i = 0; i < used; ++i) {
            below[i] = weight[i];
            isLeaf[limit - 1][i] = true;
        }
        count[limit - 1] = used;
        for (int level = limit - 2; level >= 0; --level) {
            const int packages = count[level + 1] / 2;
            int li = 0, pi = 0, k = 0;
            while (k < want && (li < used || pi < packages)) {
                const uint32_t pw = pi < packages ? below[2 * pi] + below[2 * pi + 1] : 0;
                if (li < used && (pi >= packages || weight[li] <= pw)) {
                    here[k] = weight[li++];
                    isLeaf[level][k++] = true;
                } else {
                    here[k] = pw;
                    ++pi;
                    isLeaf[level][k++] = false;
                }
            }
            count[level] = k;
            std::memcpy(below, here, sizeof(uint32_t) * size_t(k));
        }
        for (int i = 0; i < used; ++i) depth[i] = 0;
        int take = want;
        for (int level = 0; level < limit && take > 0; ++level) {
            int leaves = 0;
            for (int k = 0; k < take; ++k) leaves += isLeaf[level][k];
            for (int i = 0; i < leaves; ++i) ++depth[i];
            take = 2 * (take - leaves);
        }
    }
    for (int i = 0; i < used; ++i) lens[order[i]] = uint8_t(depth[i]);
    return used;
}

// Bits into bytes, low bit first. Bits gather in a 64-bit word that goes
// out, whole bytes of it, only when the next put would not fit: a put is
// then a shift and an or, not a store and three steps that each wait on
// the last. Every store is of eight bytes, so the buffer needs eight bytes
// to spare.
struct BitWriter {
    uint8_t* p;
    uint64_t acc = 0;
    unsigned n = 0; // bits in acc, below 64

    explicit BitWriter(uint8_t* out) : p(out) {}
    // Up to 56 bits at once.
    void put(uint64_t value, unsigned bits)
    {
        if (n + bits >= 64) flush();
        acc |= value << n;
        n += bits;
    }
    // Up to 56 bits when fewer than 8 are held (after a flush or another
    // putAndStore); the bytes filled go out at every call, so that a run of
    // these puts has no branch to mispredict.
    void putAndStore(uint64_t value, unsigned bits)
    {
        acc |= value << n;
        n += bits;
        flush();
    }
    void flush()
    {
        store();
        p += n >> 3;
        acc >>= n & ~7u;
        n &= 7;
    }
    void store()
    {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(p, &acc, sizeof acc);
        } else {
            for (unsigned k = 0; k < 8; ++k) p[k] = uint8_t(acc >> (8 * k));
        }
    }
    uint8_t* finish()
    {
        store();
        return p + (n + 7) / 8;
    }
};

// The parse as the writer takes it: a literal is one item, its byte; a
// match two, its length symbol and its distance code (DistItems + code),
// each in bits 0..8 with the value of its extra bits above. An item takes
// at most 15 + 13 bits, so that the writer may send two at a time. The
// items end with the end of block and an empty item (NoItem) past count.
struct Parse {
    uint32_t syms[TinyDeflateLimit + 2]; // a match takes two items but covers four bytes or more
    size_t count = 0;
    uint32_t litLen[LitLenSymbols] = {};
    uint32_t dist[DistSymbols] = {};
    uint64_t extraBits = 0; // the length and distance extra bits, the same in every coded form
};

// How many leading bytes of a and b agree, up to most; both may be read
// up to 8 bytes past a + most.
inline unsigned matchLength(const uint8_t* a, const uint8_t* b, unsigned most)
{
    if constexpr (std::endian::native == std::endian::little) {
        for (unsigned l = 0; l < most; l += 8)
            if (const uint64_t x = load64(a + l) ^ load64(b + l))
                return std::min(most, l + unsigned(std::countr_zero(x)) / 8);
        return most;
    } else {
        unsigned l = 0;
        while (l < most && a[l] == b[l]) ++l;
        return l;
    }
}

void parse(const uint8_t* in, size_t len, Parse& out)
{
    // A copy with zeros after it, so that words may be read past the end;
    // a match never counts those bytes.
    constexpr size_t Pad = 16;
    uint8_t buf[TinyDeflateLimit + Pad];
    if (len > 0) std::memcpy(buf, in, len); // an empty input may come without a buffer
    std::memset(buf + len, 0, Pad);
    // Sixteen slots per byte: clearing 8 KB for 256 bytes costs less than
    // the candidates a fuller table gives that only share a hash, each a
    // comparison whose outcome the branch predictor cannot know.
    int bits = 8;
    while (bits < MaxHashBits && (size_t(1) << bits) < 16 * len) ++bits;
    uint16_t head[size_t(1) << MaxHashBits]; // position + 1; 0: none
    uint16_t prev[TinyDeflateLimit];
    std::memset(head, 0, sizeof(uint16_t) << bits);
    const Tables& t = tables();
    const size_t lastStart = len >= ShortestMatch ? len - ShortestMatch : 0; // the last position a match can start at
    const bool any = len >= ShortestMatch;

    auto hashAt = [&](size_t i) {
        uint32_t v;
        std::memcpy(&v, buf + i, sizeof v);
        return (v * 0x9E3779B1u) >> (32 - bits);
    };
    auto insert = [&](size_t i, uint32_t h) {
        prev[i] = head[h];
        head[h] = uint16_t(i + 1);
    };
    // The longest match at i longer than shorter, the nearest of equals,
    // among the candidates from cand (a position + 1; 0 for none) on;
    // shorter when none.
    auto longest = [&](size_t i, unsigned cand, unsigned shorter, unsigned& bestDist) {
        unsigned best = shorter;
        const unsigned most = unsigned(std::min<size_t>(MaxMatch, len - i));
        if (best >= most) return best;
        const uint8_t* here = buf + i;
        for (int chain = MaxChain; cand && chain > 0; --chain) {
            const size_t j = cand - 1;
            const unsigned l = matchLength(buf + j, here, most);
            if (l > best) {
                best = l;
                bestDist = unsigned(i - j);
                if (l >= most) break;
            }
            cand = prev[j];
        }
        return best;
    };
    size_t count = 0; // out.count, kept where the stores cannot alias it
    auto literal = [&](size_t i) {
        out.syms[count++] = buf[i];
        ++out.litLen[buf[i]];
    };
    auto match = [&](unsigned l, unsigned d) {
        const int lc = t.lenCode[l], dc = distCodeOf(d);
        out.syms[count] = uint32_t(257 + lc) | uint32_t(l - LenBase[lc]) << 9;
        out.syms[count + 1] = uint32_t(DistItems + dc) | uint32_t(d - DistBase[dc]) << 9;
        count += 2;
        ++out.litLen[257 + lc];
        ++out.dist[dc];
        out.extraBits += LenExtra[lc] + DistExtra[dc];
    };

    size_t i = 0;
    unsigned l = 0, d = 0;
    bool found = false; // l and d already hold the match at i
    while (any && i <= lastStart) {
        if (!found) {
            // Most bytes of a small input start nothing seen before: they
            // are entered and sent in a loop of their own, which leaves at
            // the first position that has candidates.
            unsigned cand = 0;
            for (; i <= lastStart; ++i) {
                const uint32_t h = hashAt(i);
                cand = head[h];
                insert(i, h);
                if (cand) break;
                literal(i);
            }
            if (!cand) break;
            l = longest(i, cand, ShortestMatch - 1, d);
            if (l < ShortestMatch) {
                literal(i++);
                continue;
            }
        }
        found = false;
        size_t from = i + 1;
        if (l < LazyEnough && i + 1 <= lastStart) {
            // One byte later may start a longer match; then this byte goes
            // as a literal.
            const uint32_t h = hashAt(i + 1);
            unsigned d2 = 0;
            const unsigned l2 = longest(i + 1, head[h], l, d2);
            insert(i + 1, h);
            ++from;
            if (l2 > l) {
                literal(i++);
                l = l2;
                d = d2;
                found = true;
                continue;
            }
        }
        match(l, d);
        const size_t end = std::min(i + l, lastStart + 1);
        for (; from < end; ++from) insert(from, hashAt(from));
        i += l;
    }
    for (; i < len; ++i) literal(i); // too close to the end for a match
    out.count = count;
    // The end of the block, and an empty item for the writer's last pair.
    out.syms[count] = EndOfBlock;
    out.syms[count + 1] = NoItem;
}

// A code-length sequence's run-length form: the symbol in the low byte,
// its extra-bit value above.
struct LengthRuns {
    // One to spare for a run of two written whole, three for the writer's
    // last four.
    uint16_t items[LitLenSymbols + DistSymbols + 4];
    int count = 0;
    uint32_t freq[CodeLenSymbols] = {};

    // c is count, held apart from it while encoding: freq's stores may
    // alias an int, and would send it to memory on every item.
    void add(int& c, int sym, int extra)
    {
        items[c++] = uint16_t(sym | extra << 8);
        ++freq[sym];
    }
    // lens[-1] and lens[n] must differ from their neighbours (any value
    // above 15 does), and lens may be read 64 bytes past n. The places
    // where a run starts are found first, all at once: a byte flag each
    // (the compiler compares many at once), gathered into bit masks; a run
    // is then the distance between two set bits, with no loop that stops
    // at a byte nobody can predict.
    void encode(const uint8_t* lens, int n)
    {
        constexpr int Words = (LitLenSymbols + DistSymbols + 1 + 63) / 64;
        uint16_t starts[LitLenSymbols + DistSymbols + 1];
        int runsFound = 0;
        for (int w = 0; w * 64 <= n; ++w) {
            alignas(8) uint8_t flag[64];
            const uint8_t* at = lens + 64 * w;
            for (int k = 0; k < 64; ++k) flag[k] = at[k] != at[k - 1];
            uint64_t mask = 0;
            for (int k = 0; k < 8; ++k) mask |= gatherFlags(flag + 8 * k) << (8 * k);
            if (64 * w + 64 > n + 1) mask &= (uint64_t(1) << (n + 1 - 64 * w)) - 1; // up to lens[n]
            for (; mask; mask &= mask - 1) starts[runsFound++] = uint16_t(64 * w + std::countr_zero(mask));
        }
        static_assert(Words <= 5);
        int c = count;
        for (int r = 0; r + 1 < runsFound; ++r) {
            const int v = lens[starts[r]];
            int run = starts[r + 1] - starts[r];
            if (run <= 2) {
                // Most runs among the lengths in use are of one or two:
                // both slots written, the count moved by the run, no
                // branch on which it was.
                items[c] = items[c + 1] = uint16_t(v);
                c += run;
                freq[v] += uint32_t(run);
                continue;
            }
            if (v == 0) {
                for (; run >= 11; run -= std::min(run, 138)) add(c, 18, std::min(run, 138) - 11);
                if (run >= 3) {
                    add(c, 17, run - 3);
                    run = 0;
                }
            } else {
                add(c, v, 0);
                --run;
                for (; run >= 3; run -= std::min(run, 6)) add(c, 16, std::min(run, 6) - 3);
            }
            for (; run > 0; --run) add(c, v, 0);
        }
        count = c;
    }
};

constexpr uint8_t RunExtraBits[CodeLenSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

struct Dynamic {
    uint8_t litLenLens[LitLenSymbols];
    uint8_t distLens[DistSymbols];
    uint8_t codeLenLens[CodeLenSymbols];
    uint16_t litLenCoded[LitLenSymbols], distCoded[DistSymbols], codeLenCoded[CodeLenSymbols];
    int litLenCount = 0, distCount = 0, codeLenCount = 0;
    LengthRuns runs;
    int hlit = 0, hdist = 0, hclen = 0;
    uint64_t bits = 0; // the whole block, header included

    void plan(const Parse& p)
    {
        litLenCount = buildLengths(p.litLen, LitLenSymbols, MaxCodeBits, litLenLens, litLenCoded);
        distCount = buildLengths(p.dist, DistSymbols, MaxCodeBits, distLens, distCoded);
        hlit = std::max(257, litLenCoded[litLenCount - 1] + 1);
        hdist = distCoded[distCount - 1] + 1;
        // Runs may carry on from the last length codes into the distance
        // codes, so both are encoded as one sequence. (Choosing each repeat
        // by its cost in a first code saves a byte in a few hundred files
        // and costs a sixth more time.)
        uint8_t all[1 + LitLenSymbols + DistSymbols + 64];
        all[0] = 0xFF;
        std::memcpy(all + 1, litLenLens, size_t(hlit));
        std::memcpy(all + 1 + hlit, distLens, size_t(hdist));
        std::memset(all + 1 + hlit + hdist, 0xFF, 64);
        runs.encode(all + 1, hlit + hdist);
        codeLenCount = buildLengths(runs.freq, CodeLenSymbols, MaxCodeLenBits, codeLenLens, codeLenCoded);
        hclen = CodeLenSymbols;
        while (hclen > 4 && !codeLenLens[CodeLenOrder[hclen - 1]]) --hclen;

        bits = 3 + 5 + 5 + 4 + 3 * uint64_t(hclen);
        for (int s = 0; s < CodeLenSymbols; ++s) bits += uint64_t(runs.freq[s]) * (codeLenLens[s] + RunExtraBits[s]);
        for (int k = 0; k < litLenCount; ++k) bits += uint64_t(p.litLen[litLenCoded[k]]) * litLenLens[litLenCoded[k]];
        for (int k = 0; k < distCount; ++k) bits += uint64_t(p.dist[distCoded[k]]) * distLens[distCoded[k]];
        bits += p.extraBits;
    }
};

uint64_t fixedBits(const Parse& p)
{
    // Every literal/length symbol costs 8 bits but bytes 144..255 (9) and
    // symbols 256..279 (7); sums of 32-bit counts, which vectorize, cannot
    // overflow with at most TinyDeflateLimit + 1 symbols.
    uint32_t symbols = 0, nine = 0, seven = 0, matches = 0;
    for (int s = 0; s < LitLenSymbols; ++s) symbols += p.litLen[s];
    for (int s = 144; s < 256; ++s) nine += p.litLen[s];
    for (int s = 256; s < 280; ++s) seven += p.litLen[s];
    for (int s = 0; s < DistSymbols; ++s) matches += p.dist[s];
    return 3 + p.extraBits + 8 * uint64_t(symbols) + nine - seven + 5 * uint64_t(matches);
}

// The parse's items and its end of block with the codes in tab (as
// assignCodes makes them, tab[NoItem] 0). Literals and matches take the
// same steps, with no branch between them, two items at a time.
void writeSymbols(BitWriter& out, const Parse& p, const uint32_t* tab)
{
    // A local copy, which the byte stores cannot alias, stays in registers.
    BitWriter w = out;
    w.flush();
    auto item = [tab](uint32_t s, unsigned& bits) {
        const uint32_t code = tab[s & 0x1FF];
        bits = code >> 24;
        return (code & 0xFFFF) | (s >> 9) << ((code >> 16) & 0xFF);
    };
    const size_t items = p.count + 1;
    for (size_t k = 0; k < items; k += 2) {
        unsigned first, second;
        const uint64_t a = item(p.syms[k], first), b = item(p.syms[k + 1], second);
        w.putAndStore(a | b << first, first + second);
    }
    out = w;
}

// The code lengths' run-length form, with the code-length code in clTab.
// clTab[CodeLenSymbols] must be 0: the items past the last are made that
// empty symbol, so that the items go four at a time (of 7 + 7 bits at most).
void writeLengths(BitWriter& out, LengthRuns& runs, const uint32_t* clTab)
{
    BitWriter w = out;
    w.flush();
    for (int k = runs.count; k < runs.count + 3; ++k) runs.items[k] = CodeLenSymbols;
    for (int k = 0; k < runs.count; k += 4) {
        uint64_t bits = 0;
        unsigned at = 0;
        for (int j = 0; j < 4; ++j) {
            const uint32_t item = runs.items[k + j], cl = clTab[item & 0xFF];
            // A symbol without extra bits has an extra value of 0.
            bits |= uint64_t((cl & 0xFFFF) | (item >> 8) << ((cl >> 16) & 0xFF)) << at;
            at += cl >> 24;
        }
        w.putAndStore(bits, at);
    }
    out = w;
}

} // namespace

void TinyCodeLengths(const uint32_t* freq, int n, int limit, uint8_t* lens)
{
    uint16_t present[LitLenSymbols];
    buildLengths(freq, n, limit, lens, present);
}

bool TinyDeflate(const uint8_t* in, size_t len, std::vector<uint8_t>& out, TinyBlock form)
{
    out.clear();
    if (len > TinyDeflateLimit) return false;
    try {
        Parse p;
        if (form != TinyBlock::Stored) parse(in, len, p);
        ++p.litLen[EndOfBlock];

        const uint64_t storedBits = (len + 5) * 8;
        uint64_t fixed = form == TinyBlock::Cheapest || form == TinyBlock::Fixed ? fixedBits(p) : 0;
        Dynamic dyn;
        if (form == TinyBlock::Cheapest || form == TinyBlock::Dynamic) dyn.plan(p);
        if (form == TinyBlock::Cheapest) {
            if (storedBits <= fixed && storedBits <= dyn.bits) form = TinyBlock::Stored;
            else
                form = fixed <= dyn.bits ? TinyBlock::Fixed : TinyBlock::Dynamic;
        }

        if (form == TinyBlock::Stored) {
            // Final bit and type 00, padded to the byte; then LEN and NLEN.
            out.resize(len + 5);
            out[0] = 1;
            out[1] = uint8_t(len);
            out[2] = uint8_t(len >> 8);
            out[3] = uint8_t(~len);
            out[4] = uint8_t(~len >> 8);
            if (len) std::memcpy(out.data() + 5, in, len);
            return true;
        }

        const uint64_t bits = form == TinyBlock::Fixed ? fixed : dyn.bits;
        out.resize(size_t((bits + 7) / 8) + 8); // the writer stores eight bytes at a time
        BitWriter w(out.data());
        w.put(1, 1); // the final block
        if (form == TinyBlock::Fixed) {
            w.put(1, 2);
            writeSymbols(w, p, tables().fixedTab);
        } else {
            w.put(2, 2);
            w.put(uint32_t(dyn.hlit - 257), 5);
            w.put(uint32_t(dyn.hdist - 1), 5);
            w.put(uint32_t(dyn.hclen - 4), 4);
            for (int k = 0; k < dyn.hclen; ++k) w.put(dyn.codeLenLens[CodeLenOrder[k]], 3);
            uint32_t clTab[CodeLenSymbols + 1], tab[CodeTabSize];
            Tables::assignCodes(dyn.codeLenLens, dyn.codeLenCoded, dyn.codeLenCount, RunExtraBits, clTab);
            Tables::assignCodes(dyn.litLenLens, dyn.litLenCoded, dyn.litLenCount, tables().litExtra, tab);
            Tables::assignCodes(dyn.distLens, dyn.distCoded, dyn.distCount, DistExtra, tab + DistItems);
            tab[NoItem] = clTab[CodeLenSymbols] = 0;
            writeLengths(w, dyn.runs, clTab);
            writeSymbols(w, p, tab);
        }
        out.resize(size_t(w.finish() - out.data()));
        return true;
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
}

} // namespace zipeng
