// Small whole files through TinyDeflate and through libdeflate's fastest
// level (what the engine used before), and zlib's level 9 for size: time
// per file and total output, on every file up to the small-file limit under
// a folder (the many-files corpus: bench/make_corpus.py ROOT --many 20000)
// and on a generated mix of text, structured binary and random bytes.
//
//   tinydeflate_bench [FOLDER] [ROUNDS]
#include "Deflater.h"
#include "TinyDeflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

namespace {

std::vector<Bytes> readFolder(const fs::path& root)
{
    std::vector<Bytes> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file() || it->file_size() > zipeng::SmallPieceLimit) continue;
        std::ifstream f(it->path(), std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    return files;
}

std::vector<Bytes> mixedSet()
{
    static const char* words[] = {"the",  "guard", "keeper", "thief", "garrett", "lord",  "mansion", "vault",
                                  "key",  "torch", "water",  "arrow", "rope",    "moss",  "shadow",  "tower",
                                  "bell", "gold",  "scroll", "book",  "door",    "crypt", "and",     "under"};
    std::mt19937 rng(11);
    std::vector<Bytes> set;
    for (int i = 0; i < 3000; ++i) {
        const size_t n = 16 + rng() % (zipeng::SmallPieceLimit - 15);
        Bytes b;
        switch (i % 3) {
        case 0: // text lines
            while (b.size() < n) {
                const std::string w = words[rng() % 24];
                b.insert(b.end(), w.begin(), w.end());
                b.push_back(rng() % 10 ? ' ' : '\n');
            }
            break;
        case 1: // records: ids counting up, small fields, zero padding
            for (uint32_t id = rng() % 5000; b.size() < n; ++id) {
                const uint32_t fields[5] = {id, 0x1000u + id % 13, uint32_t(rng() % 256), 0, 0x3F800000u};
                for (uint32_t f : fields)
                    for (int k = 0; k < 4; ++k) b.push_back(uint8_t(f >> (8 * k)));
            }
            break;
        default: // compressed or encrypted data
            while (b.size() < n) b.push_back(uint8_t(rng()));
        }
        b.resize(n);
        set.push_back(std::move(b));
    }
    return set;
}

bool inflatesTo(const Bytes& stream, const Bytes& expected)
{
    Bytes got(expected.size() + 16);
    uLongf gotLen = uLongf(got.size());
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return false;
    zs.next_in = const_cast<uint8_t*>(stream.data());
    zs.avail_in = uInt(stream.size());
    zs.next_out = got.data();
    zs.avail_out = uInt(gotLen);
    const int ret = inflate(&zs, Z_FINISH);
    got.resize(got.size() - zs.avail_out);
    inflateEnd(&zs);
    return ret == Z_STREAM_END && got == expected;
}

struct Result {
    double usPerFile = 0;
    size_t bytes = 0;
};

template <typename F>
Result run(const std::vector<Bytes>& files, int rounds, F compress)
{
    Result r;
    Bytes out;
    double best = 1e30;
    for (int round = 0; round < rounds; ++round) {
        size_t bytes = 0;
        const auto start = Clock::now();
        for (const Bytes& f : files) bytes += compress(f, out);
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        if (s < best) best = s;
        r.bytes = bytes;
    }
    r.usPerFile = best * 1e6 / double(files.size());
    return r;
}

int measure(const char* name, const std::vector<Bytes>& files, int rounds)
{
    size_t input = 0;
    for (const Bytes& f : files) input += f.size();
    std::printf("%s: %zu files, %zu bytes\n", name, files.size(), input);

    // Every TinyDeflate stream checked once before any is timed.
    Bytes out;
    for (const Bytes& f : files)
        if (!zipeng::TinyDeflate(f.data(), f.size(), out) || !inflatesTo(out, f)) {
            std::printf("  TinyDeflate output does not inflate back (a file of %zu bytes)\n", f.size());
            return 1;
        }

    const Result tiny = run(files, rounds, [](const Bytes& f, Bytes& o) {
        zipeng::TinyDeflate(f.data(), f.size(), o);
        return o.size();
    });
    libdeflate_compressor* c = libdeflate_alloc_compressor(1);
    const Result fast = run(files, rounds, [c](const Bytes& f, Bytes& o) {
        o.resize(libdeflate_deflate_compress_bound(c, f.size()));
        return libdeflate_deflate_compress(c, f.data(), f.size(), o.data(), o.size());
    });
    libdeflate_free_compressor(c);
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    const Result zlib9 = run(files, rounds, [&zs](const Bytes& f, Bytes& o) {
        deflateReset(&zs);
        o.resize(deflateBound(&zs, uLong(f.size())));
        zs.next_in = const_cast<uint8_t*>(f.data());
        zs.avail_in = uInt(f.size());
        zs.next_out = o.data();
        zs.avail_out = uInt(o.size());
        deflate(&zs, Z_FINISH);
        return o.size() - zs.avail_out;
    });
    deflateEnd(&zs);
    std::printf("  TinyDeflate          %6.2f us/file  %9zu bytes\n", tiny.usPerFile, tiny.bytes);
    std::printf("  libdeflate level 1   %6.2f us/file  %9zu bytes\n", fast.usPerFile, fast.bytes);
    std::printf("  zlib level 9         %6.2f us/file  %9zu bytes\n", zlib9.usPerFile, zlib9.bytes);
    std::printf("  TinyDeflate: %.2fx as fast as libdeflate level 1, output %+.2f%% against it, %+.2f%% against "
                "zlib 9\n",
                fast.usPerFile / tiny.usPerFile, 100.0 * (double(tiny.bytes) / double(fast.bytes) - 1),
                100.0 * (double(tiny.bytes) / double(zlib9.bytes) - 1));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? argv[1] : "bench/out/many";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::vector<Bytes> corpus = readFolder(folder);
    int failed = 0;
    if (corpus.empty())
        std::printf("%s holds no small files (make it with bench/make_corpus.py %s --many 20000)\n",
                    folder.string().c_str(), folder.string().c_str());
    else
        failed |= measure(folder.string().c_str(), corpus, rounds);
    failed |= measure("mixed small files", mixedSet(), rounds);
    return failed;
}
