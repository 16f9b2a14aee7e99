// A raw deflate encoder for whole small inputs (a few hundred bytes: the
// textures, objects and strings a large FM holds by the thousand). A
// general compressor clears its match tables and builds its codes for the
// full alphabet on every call, which for 256 bytes costs several times the
// work of compressing them; here every step costs in proportion to the
// input: the hash table is sized to it, and codes are built for the symbols
// it uses.
//
// The input is parsed once (hash chains over 4-byte prefixes, lazy
// matching, lengths 4..258, any distance within the input), and the one
// final block that holds it is written in whichever of the stored, fixed
// and dynamic Huffman forms takes the fewest bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zipeng {

// The largest input TinyDeflate takes. Its work buffers live on the stack
// (under 100 KB at this size), and every distance stays far inside the
// format's 32 KB window.
inline constexpr size_t TinyDeflateLimit = 4096;

// Which block form to write; Cheapest is what callers want, the others let
// tests reach each encoder on any input.
enum class TinyBlock { Cheapest, Stored, Fixed, Dynamic };

// Compresses in[0..len) into out (replacing its contents) as one complete
// raw deflate stream: a single final block. Returns false, with out empty,
// when len is above TinyDeflateLimit or memory runs out.
bool TinyDeflate(const uint8_t* in, size_t len, std::vector<uint8_t>& out, TinyBlock form = TinyBlock::Cheapest);

// The Huffman code lengths it uses: for freq[0..n) (n from 2 to 286), lengths
// of at most limit bits (2^limit >= n) that give the fewest bits in total;
// 0 for a symbol that does not occur. The code is always complete: when
// fewer than two symbols occur, two symbols get length 1.
void TinyCodeLengths(const uint32_t* freq, int n, int limit, uint8_t* lens);

} // namespace zipeng
