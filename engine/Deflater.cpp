#include "Deflater.h"

#include <libdeflate.h>
#include <zlib.h>

namespace zipeng {

int DeflateLevelFor(int zipLevel)
{
    // libdeflate's levels are not zlib's: its 7 already packs game data
    // (missions, text, textures) tighter than zlib's 9, and its 8 and 9 cost
    // half as much time again for about a tenth of a percent.
    static const int levels[10] = {1, 1, 2, 3, 4, 5, 6, 6, 7, 7};
    if (zipLevel < 1) return 1;
    if (zipLevel > 9) return 7;
    return levels[zipLevel];
}

bool DeflatePiece(libdeflate_compressor* c, const uint8_t* in, size_t len, bool last, std::vector<uint8_t>& out)
{
    out.resize(libdeflate_deflate_compress_bound(c, len) + 8);
    const size_t n = libdeflate_deflate_compress(c, in, len, out.data(), out.size());
    if (n == 0) return false;
    out.resize(n);
    if (!last && !MakeJoinable(out)) return false;
    out.shrink_to_fit();
    return true;
}

bool MakeJoinable(std::vector<uint8_t>& stream)
{
    // libdeflate has no flush mode, so the block structure is read back with
    // zlib's block-by-block inflate to find the last block's header bit and
    // the exact bit where the stream ends.
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return false;
    zs.next_in = stream.data();
    zs.avail_in = static_cast<uInt>(stream.size());
    static thread_local unsigned char sink[1 << 16];
    uint64_t lastHeaderBit = 0;
    uint64_t endBit = 0;
    bool ended = false;
    for (;;) {
        zs.next_out = sink;
        zs.avail_out = sizeof sink;
        const int ret = inflate(&zs, Z_BLOCK);
        if (ret != Z_OK && ret != Z_STREAM_END) break;
        // At a block boundary data_type holds the bits still unread in the
        // accumulator; after the final block's end code it also has bit 64.
        if (zs.data_type & 128) {
            const uint64_t bit = uint64_t(zs.total_in) * 8 - unsigned(zs.data_type & 63);
            if (zs.data_type & 64) {
                endBit = bit;
                ended = true;
                break;
            }
            lastHeaderBit = bit;
        }
        if (ret == Z_STREAM_END) break;
    }
    inflateEnd(&zs);
    if (!ended || (endBit + 7) / 8 != stream.size() || lastHeaderBit >= endBit) return false;
    const unsigned unused = unsigned(stream.size() * 8 - endBit);

    stream[lastHeaderBit / 8] &= uint8_t(~(1u << (lastHeaderBit % 8)));
    stream.back() &= uint8_t(0xFFu >> unused); // padding after the end code: zeros
    // An empty stored block: three zero header bits, zero padding to the
    // byte boundary, then LEN 0 and NLEN 0xFFFF.
    if (unused < 3) stream.push_back(0);
    stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

} // namespace zipeng
