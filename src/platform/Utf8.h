// UTF-8, the program's text inside, and the wide strings Windows calls
// take. Windows only: POSIX calls take UTF-8 as it is.
#pragma once

#include <string>
#include <string_view>

namespace lw::platform {

std::wstring WideOf(std::string_view utf8);
std::string Utf8Of(std::wstring_view wide);

} // namespace lw::platform
