#include "TinyDeflate.h"

#include <algorithm>
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

constexpr int MinMatch = 3;
constexpr int MaxMatch = 258;
constexpr int MaxHashBits = 13;
// How far back a search looks, and the match long enough not to look one
// byte further for a longer one. A few hundred bytes make short chains;
// the bounds matter only for long, repetitive inputs.
constexpr int MaxChain = 48;
constexpr int LazyEnough = 64;

// The order in which the code-length code's lengths are sent.
constexpr uint8_t CodeLenOrder[CodeLenSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The length and distance codes: each covers a base value and the extra
// bits added to it.
constexpr uint16_t LenBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t DistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                   193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

struct Tables {
    uint8_t lenCode[MaxMatch + 1];  // match length -> length code 0..28 (symbol 257 + code)
    uint8_t distCode[512];          // distance-1 below 256 directly, above by (distance-1) >> 7
    uint16_t fixedCode[288];        // the fixed literal/length code, bit-reversed for sending
    uint8_t fixedLen[288];
    uint16_t fixedDistCode[DistSymbols]; // five bits each
    uint8_t fixedDistLen[DistSymbols];

    Tables()
    {
        for (int c = 0; c < 29; ++c)
            for (int l = LenBase[c]; l < LenBase[c] + (1 << LenExtra[c]) && l <= MaxMatch; ++l) lenCode[l] = uint8_t(c);
        lenCode[MaxMatch] = 28; // 258 has a code of its own, not 227 + 31
        for (int c = 0; c < 30; ++c)
            for (int d = DistBase[c]; d < DistBase[c] + (1 << DistExtra[c]); ++d) {
                const int v = d - 1;
                if (v < 256)
                    distCode[v] = uint8_t(c);
                else
                    distCode[256 + (v >> 7)] = uint8_t(c);
            }
        for (int s = 0; s < 288; ++s) fixedLen[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        assignCodes(fixedLen, 288, fixedCode);
        for (int s = 0; s < DistSymbols; ++s) fixedDistLen[s] = 5;
        assignCodes(fixedDistLen, DistSymbols, fixedDistCode);
    }

    // Canonical codes for the given lengths, bit-reversed: deflate sends a
    // code's first bit first, and the writer fills bytes from the low bit.
    static void assignCodes(const uint8_t* lens, int n, uint16_t* codes)
    {
        int count[MaxCodeBits + 1] = {};
        for (int s = 0; s < n; ++s) ++count[lens[s]];
        count[0] = 0;
        int next[MaxCodeBits + 2] = {};
        for (int bits = 1, code = 0; bits <= MaxCodeBits; ++bits) {
            code = (code + count[bits - 1]) << 1;
            next[bits] = code;
        }
        for (int s = 0; s < n; ++s) {
            const int l = lens[s];
            if (!l) continue;
            unsigned c = unsigned(next[l]++), r = 0;
            for (int b = 0; b < l; ++b, c >>= 1) r = (r << 1) | (c & 1);
            codes[s] = uint16_t(r);
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

// A complete code even for one symbol, so that every decoder accepts it.
void buildLengths(const uint32_t* freq, int n, int limit, uint8_t* lens)
{
    std::memset(lens, 0, size_t(n));
    uint32_t keys[LitLenSymbols];
    int used = 0;
    for (int s = 0; s < n; ++s)
        if (freq[s]) keys[used++] = (freq[s] << 9) | uint32_t(s);
    if (used < 2) {
        const int s = used ? int(keys[0] & 511) : 0;
        lens[s] = 1;
        lens[s == 0 ? 1 : 0] = 1;
        return;
    }
    std::sort(keys, keys + used);

    // Huffman's lengths from the sorted weights, in place (Moffat and
    // Katajainen): first the tree's parent links, then internal depths,
    // then leaf depths, most frequent symbol last.
    uint32_t a[LitLenSymbols];
    for (int i = 0; i < used; ++i) a[i] = keys[i] >> 9;
    {
        int root = 0, leaf = 0;
        for (int next = 0; next < used - 1; ++next) {
            if (leaf >= used || (root < next && a[root] < a[leaf])) {
                a[next] = a[root];
                a[root++] = uint32_t(next);
            } else {
                a[next] = a[leaf++];
            }
            if (leaf >= used || (root < next && a[root] < a[leaf])) {
                a[next] += a[root];
                a[root++] = uint32_t(next);
            } else {
                a[next] += a[leaf++];
            }
        }
        a[used - 2] = 0;
        for (int next = used - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
        int avail = 1, usedAtDepth = 0, depth = 0;
        root = used - 2;
        int next = used - 1;
        while (avail > 0) {
            while (root >= 0 && int(a[root]) == depth) {
                ++usedAtDepth;
                --root;
            }
            while (avail > usedAtDepth) {
                a[next--] = uint32_t(depth);
                --avail;
            }
            avail = 2 * usedAtDepth;
            ++depth;
            usedAtDepth = 0;
        }
    }

    if (int(a[0]) > limit) {
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
            below[i] = keys[i] >> 9;
            isLeaf[limit - 1][i] = true;
        }
        count[limit - 1] = used;
        for (int level = limit - 2; level >= 0; --level) {
            const int packages = count[level + 1] / 2;
            int li = 0, pi = 0, k = 0;
            while (k < want && (li < used || pi < packages)) {
                const uint32_t pw = pi < packages ? below[2 * pi] + below[2 * pi + 1] : 0;
                if (li < used && (pi >= packages || (keys[li] >> 9) <= pw)) {
                    here[k] = keys[li++] >> 9;
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
        for (int i = 0; i < used; ++i) a[i] = 0;
        int take = want;
        for (int level = 0; level < limit && take > 0; ++level) {
            int leaves = 0;
            for (int k = 0; k < take; ++k) leaves += isLeaf[level][k];
            for (int i = 0; i < leaves; ++i) ++a[i];
            take = 2 * (take - leaves);
        }
    }
    for (int i = 0; i < used; ++i) lens[keys[i] & 511] = uint8_t(a[i]);
}

// Bits into bytes, low bit first.
struct BitWriter {
    uint8_t* p;
    uint64_t acc = 0;
    unsigned n = 0;

    explicit BitWriter(uint8_t* out) : p(out) {}
    void put(uint32_t value, unsigned bits)
    {
        acc |= uint64_t(value) << n;
        n += bits;
        if (n >= 32) {
            p[0] = uint8_t(acc);
            p[1] = uint8_t(acc >> 8);
            p[2] = uint8_t(acc >> 16);
            p[3] = uint8_t(acc >> 24);
            p += 4;
            acc >>= 32;
            n -= 32;
        }
    }
    uint8_t* finish()
    {
        while (n > 0) {
            *p++ = uint8_t(acc);
            acc >>= 8;
            n = n > 8 ? n - 8 : 0;
        }
        return p;
    }
};

// A parsed symbol: a literal byte, or a match (top bit set) with its length
// above bit 16 and its distance below.
constexpr uint32_t MatchFlag = 0x80000000u;

struct Parse {
    uint32_t syms[TinyDeflateLimit + 1];
    size_t count = 0;
    uint32_t litLen[LitLenSymbols] = {};
    uint32_t dist[DistSymbols] = {};
    uint64_t extraBits = 0; // the length and distance extra bits, the same in every coded form
};

void parse(const uint8_t* in, size_t len, Parse& out)
{
    int bits = 8;
    while (bits < MaxHashBits && (size_t(1) << bits) < 2 * len) ++bits;
    uint16_t head[size_t(1) << MaxHashBits]; // position + 1; 0: none
    uint16_t prev[TinyDeflateLimit];
    std::memset(head, 0, sizeof(uint16_t) << bits);
    const Tables& t = tables();

    auto hashAt = [&](size_t i) {
        const uint32_t v = uint32_t(in[i]) | uint32_t(in[i + 1]) << 8 | uint32_t(in[i + 2]) << 16;
        return (v * 0x9E3779B1u) >> (32 - bits);
    };
    auto insert = [&](size_t i) {
        if (i + MinMatch > len) return;
        const uint32_t h = hashAt(i);
        prev[i] = head[h];
        head[h] = uint16_t(i + 1);
    };
    // The longest match at i longer than shorter, the nearest of equals;
    // shorter when none.
    auto longest = [&](size_t i, unsigned shorter, unsigned& bestDist) {
        unsigned best = shorter;
        if (i + MinMatch > len) return best;
        const unsigned most = unsigned(std::min<size_t>(MaxMatch, len - i));
        if (best >= most) return best;
        const uint8_t* here = in + i;
        unsigned cand = head[hashAt(i)];
        for (int chain = MaxChain; cand && chain > 0; --chain) {
            const size_t j = cand - 1;
            const uint8_t* there = in + j;
            if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
                unsigned l = 2;
                while (l < most && there[l] == here[l]) ++l;
                if (l > best) {
                    best = l;
                    bestDist = unsigned(i - j);
                    if (l >= most) break;
                }
            }
            cand = prev[j];
        }
        return best;
    };
    auto literal = [&](size_t i) {
        out.syms[out.count++] = in[i];
        ++out.litLen[in[i]];
    };
    auto match = [&](unsigned l, unsigned d) {
        out.syms[out.count++] = MatchFlag | uint32_t(l) << 16 | d;
        const int lc = t.lenCode[l], dc = distCodeOf(d);
        ++out.litLen[257 + lc];
        ++out.dist[dc];
        out.extraBits += LenExtra[lc] + DistExtra[dc];
    };

    size_t i = 0;
    unsigned l = 0, d = 0;
    bool found = false; // l and d already hold the match at i
    while (i < len) {
        if (!found) {
            l = longest(i, MinMatch - 1, d);
            insert(i);
        }
        found = false;
        if (l < MinMatch) {
            literal(i++);
            continue;
        }
        size_t from = i + 1;
        if (l < LazyEnough) {
            // One byte later may start a longer match; then this byte goes
            // as a literal.
            unsigned d2 = 0;
            const unsigned l2 = longest(i + 1, l, d2);
            insert(i + 1);
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
        for (; from < i + l; ++from) insert(from);
        i += l;
    }
}

// A code-length sequence's run-length form: the symbol in the low byte,
// its extra-bit value above.
struct LengthRuns {
    uint16_t items[LitLenSymbols + DistSymbols];
    int count = 0;
    uint32_t freq[CodeLenSymbols] = {};

    void add(int sym, int extra)
    {
        items[count++] = uint16_t(sym | extra << 8);
        ++freq[sym];
    }
    void encode(const uint8_t* lens, int n)
    {
        for (int i = 0; i < n;) {
            const int v = lens[i];
            int run = 1;
            while (i + run < n && lens[i + run] == v) ++run;
            i += run;
            if (v == 0) {
                for (; run >= 11; run -= std::min(run, 138)) add(18, std::min(run, 138) - 11);
                if (run >= 3) {
                    add(17, run - 3);
                    run = 0;
                }
            } else {
                add(v, 0);
                --run;
                for (; run >= 3; run -= std::min(run, 6)) add(16, std::min(run, 6) - 3);
            }
            for (; run > 0; --run) add(v, 0);
        }
    }
};

constexpr uint8_t RunExtraBits[CodeLenSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

struct Dynamic {
    uint8_t litLenLens[LitLenSymbols];
    uint8_t distLens[DistSymbols];
    uint8_t codeLenLens[CodeLenSymbols];
    LengthRuns runs;
    int hlit = 0, hdist = 0, hclen = 0;
    uint64_t bits = 0; // the whole block, header included

    void plan(const Parse& p)
    {
        buildLengths(p.litLen, LitLenSymbols, MaxCodeBits, litLenLens);
        buildLengths(p.dist, DistSymbols, MaxCodeBits, distLens);
        hlit = LitLenSymbols;
        while (hlit > 257 && !litLenLens[hlit - 1]) --hlit;
        hdist = DistSymbols;
        while (hdist > 1 && !distLens[hdist - 1]) --hdist;
        // Runs may carry on from the last length codes into the distance
        // codes, so both are encoded as one sequence.
        uint8_t all[LitLenSymbols + DistSymbols];
        std::memcpy(all, litLenLens, size_t(hlit));
        std::memcpy(all + hlit, distLens, size_t(hdist));
        runs.encode(all, hlit + hdist);
        buildLengths(runs.freq, CodeLenSymbols, MaxCodeLenBits, codeLenLens);
        hclen = CodeLenSymbols;
        while (hclen > 4 && !codeLenLens[CodeLenOrder[hclen - 1]]) --hclen;

        bits = 3 + 5 + 5 + 4 + 3 * uint64_t(hclen);
        for (int s = 0; s < CodeLenSymbols; ++s) bits += uint64_t(runs.freq[s]) * (codeLenLens[s] + RunExtraBits[s]);
        for (int s = 0; s < LitLenSymbols; ++s) bits += uint64_t(p.litLen[s]) * litLenLens[s];
        for (int s = 0; s < DistSymbols; ++s) bits += uint64_t(p.dist[s]) * distLens[s];
        bits += p.extraBits;
    }
};

uint64_t fixedBits(const Parse& p)
{
    const Tables& t = tables();
    uint64_t bits = 3 + p.extraBits;
    for (int s = 0; s < LitLenSymbols; ++s) bits += uint64_t(p.litLen[s]) * t.fixedLen[s];
    for (int s = 0; s < DistSymbols; ++s) bits += uint64_t(p.dist[s]) * 5;
    return bits;
}

void writeSymbols(BitWriter& w, const Parse& p, const uint16_t* litCode, const uint8_t* litLen, const uint16_t* distCode,
                  const uint8_t* distLen)
{
    const Tables& t = tables();
    for (size_t k = 0; k < p.count; ++k) {
        const uint32_t s = p.syms[k];
        if (!(s & MatchFlag)) {
            w.put(litCode[s], litLen[s]);
            continue;
        }
        const unsigned l = (s >> 16) & 0x7FFF, d = s & 0xFFFF;
        const int lc = t.lenCode[l], dc = distCodeOf(d);
        w.put(litCode[257 + lc], litLen[257 + lc]);
        w.put(l - LenBase[lc], LenExtra[lc]);
        w.put(distCode[dc], distLen[dc]);
        w.put(d - DistBase[dc], DistExtra[dc]);
    }
    w.put(litCode[EndOfBlock], litLen[EndOfBlock]);
}

} // namespace

void TinyCodeLengths(const uint32_t* freq, int n, int limit, uint8_t* lens)
{
    buildLengths(freq, n, limit, lens);
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
            if (storedBits <= fixed && storedBits <= dyn.bits)
                form = TinyBlock::Stored;
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
        out.resize(size_t((bits + 7) / 8) + 8); // the writer stores four bytes at a time
        BitWriter w(out.data());
        w.put(1, 1); // the final block
        if (form == TinyBlock::Fixed) {
            w.put(1, 2);
            writeSymbols(w, p, tables().fixedCode, tables().fixedLen, tables().fixedDistCode, tables().fixedDistLen);
        } else {
            w.put(2, 2);
            w.put(uint32_t(dyn.hlit - 257), 5);
            w.put(uint32_t(dyn.hdist - 1), 5);
            w.put(uint32_t(dyn.hclen - 4), 4);
            for (int k = 0; k < dyn.hclen; ++k) w.put(dyn.codeLenLens[CodeLenOrder[k]], 3);
            uint16_t clCode[CodeLenSymbols], litCode[LitLenSymbols], distCode[DistSymbols];
            Tables::assignCodes(dyn.codeLenLens, CodeLenSymbols, clCode);
            Tables::assignCodes(dyn.litLenLens, LitLenSymbols, litCode);
            Tables::assignCodes(dyn.distLens, DistSymbols, distCode);
            for (int k = 0; k < dyn.runs.count; ++k) {
                const int sym = dyn.runs.items[k] & 0xFF, extra = dyn.runs.items[k] >> 8;
                w.put(clCode[sym], dyn.codeLenLens[sym]);
                if (RunExtraBits[sym]) w.put(uint32_t(extra), RunExtraBits[sym]);
            }
            writeSymbols(w, p, litCode, dyn.litLenLens, distCode, dyn.distLens);
        }
        out.resize(size_t(w.finish() - out.data()));
        return true;
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
}

} // namespace zipeng
