// Works out the user's two-letter language tag, which ranks info files.
#pragma once

#include <functional>
#include <string>

namespace lw {

// From a POSIX locale name: "de_DE.UTF-8" gives "de"; "C", "POSIX" and
// names without a two-letter language give nothing.
std::string LangTagFromLocaleName(const std::string& locale);

// From a Windows language identifier as hexadecimal text ("0409" gives
// "en"): the primary language is the low 10 bits.
std::string LangTagFromLangId(const std::string& hexId);

// LC_ALL, then LC_MESSAGES, then LANG: the first one set decides.
std::string LangTagFromEnvironment(const std::function<const char*(const char*)>& getEnv);

} // namespace lw
