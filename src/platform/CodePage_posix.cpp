#include "platform/CodePage.h"

#include <cstring>
#include <iconv.h>
#include <map>

namespace lw::platform {

char32_t DecodeWithSystem(int codePage, const char* bytes, size_t n)
{
    if (n == 0 || n > 2) return 0xFFFD;
    // Opened once per thread and code page, closed when the thread ends.
    struct Converters : std::map<int, iconv_t> {
        ~Converters()
        {
            for (auto& [cp, cd] : *this)
                if (cd != iconv_t(-1)) iconv_close(cd);
        }
    };
    thread_local Converters converters;
    auto it = converters.find(codePage);
    if (it == converters.end()) {
        const char* name = codePage == 932   ? "CP932"
                           : codePage == 936 ? "CP936"
                           : codePage == 949 ? "CP949"
                           : codePage == 950 ? "CP950"
                                             : "SHIFT_JIS";
        it = converters.emplace(codePage, iconv_open("UTF-32LE", name)).first;
    }
    if (it->second == iconv_t(-1)) return 0xFFFD;
    iconv(it->second, nullptr, nullptr, nullptr, nullptr);
    char in[2];
    std::memcpy(in, bytes, n);
    unsigned char out[8] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = n, ol = sizeof out;
    if (iconv(it->second, &ip, &il, &op, &ol) == size_t(-1) || ol != 4) return 0xFFFD;
    return char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 | char32_t(out[3]) << 24;
}

} // namespace lw::platform
