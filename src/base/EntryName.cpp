#include "base/EntryName.h"

namespace lw {

std::string StoredEntryName(std::string_view path, bool* leaves)
{
    bool out = false;
    // "C:\x" (a file on another drive); "a:b" alone is a file name, which
    // Windows refuses on its own.
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
        path.remove_prefix(2);
        out = true;
    }
    if (!path.empty() && (path[0] == '\\' || path[0] == '/')) out = true;
    std::string name;
    size_t from = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
        const std::string_view part = path.substr(from, i - from);
        from = i + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (name.empty()) {
                out = true;
            } else {
                const size_t cut = name.rfind('/');
                name.erase(cut == std::string::npos ? 0 : cut);
            }
            continue;
        }
        if (!name.empty()) name += '/';
        name += part;
    }
    if (leaves) *leaves = out;
    return name;
}

} // namespace lw
