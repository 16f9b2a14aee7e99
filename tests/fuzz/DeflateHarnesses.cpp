#include "Harnesses.h"

#include "TinyDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace lw::fuzz {

namespace {

// zlib's raw inflate of one whole stream, which must end at its last byte.
bool inflatesTo(const std::vector<uint8_t>& stream, std::string_view expected)
{
    std::vector<uint8_t> got(expected.size() + 64);
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) throw Failure("inflateInit2 failed");
    zs.next_in = const_cast<uint8_t*>(stream.data());
    zs.avail_in = uInt(stream.size());
    zs.next_out = got.data();
    zs.avail_out = uInt(got.size());
    const int ret = inflate(&zs, Z_FINISH);
    const size_t produced = got.size() - zs.avail_out;
    const bool allUsed = zs.avail_in == 0;
    inflateEnd(&zs);
    return ret == Z_STREAM_END && allUsed && produced == expected.size() &&
           (produced == 0 || std::memcmp(got.data(), expected.data(), produced) == 0);
}

} // namespace

void CheckTinyDeflate(std::string_view input)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
    std::vector<uint8_t> out;
    if (input.size() > zipeng::TinyDeflateLimit) {
        Expect(!zipeng::TinyDeflate(bytes, input.size(), out) && out.empty(), "took an input above the limit");
        return;
    }
    size_t smallest = SIZE_MAX;
    for (zipeng::TinyBlock form : {zipeng::TinyBlock::Stored, zipeng::TinyBlock::Fixed, zipeng::TinyBlock::Dynamic,
                                   zipeng::TinyBlock::Cheapest}) {
        Expect(zipeng::TinyDeflate(bytes, input.size(), out, form), "refused an input within the limit");
        Expect(inflatesTo(out, input), "form " + std::to_string(int(form)) + " does not inflate back to the " +
                                           std::to_string(input.size()) + " bytes given");
        if (form != zipeng::TinyBlock::Cheapest) smallest = std::min(smallest, out.size());
        else
            Expect(out.size() == smallest, "the form taken is not the smallest");
    }
}

} // namespace lw::fuzz
