// Deflate pieces of a file independently, so that several cores can work on
// one large file while memory stays bounded: every piece but a file's last
// one is turned into a non-final run of deflate blocks that ends on a byte
// boundary, so the pieces joined in order form one valid deflate stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct libdeflate_compressor;

namespace zipeng {

// The libdeflate level used for a zip compression level 1..9 (0 stores).
int DeflateLevelFor(int zipLevel);

// Compresses len bytes into out (replacing its contents). When last is
// false the result may be followed directly by the next piece's data.
bool DeflatePiece(libdeflate_compressor* c, const uint8_t* in, size_t len, bool last, std::vector<uint8_t>& out);

// A whole file this small goes to TinyDeflate instead of libdeflate: a
// libdeflate call clears its match tables and builds codes for the whole
// alphabet, which for a few hundred bytes costs several times finding the
// matches, while TinyDeflate's work follows the input's size. The output is
// about as small as libdeflate's fastest level gives (tinydeflate_bench).
inline constexpr size_t SmallPieceLimit = 512;

// Clears the final-block bit of a complete raw deflate stream and closes it
// with an empty stored block, leaving it byte-aligned and open for more.
bool MakeJoinable(std::vector<uint8_t>& stream);

} // namespace zipeng
