#include "core/check/CheckContext.h"

#include "base/StrUtils.h"
#include "core/fm/Project.h"

#include <algorithm>

namespace lw {

CheckContext::CheckContext(const Project& p, FolderCache* folders) : project(p), fm(p.FMInfo), sharedFolders(folders)
{
}

void CheckContext::Add(Severity s, std::string file, std::string message, int entry, bool stopsPacking)
{
    findings.push_back({s, std::move(file), std::move(message), entry, stopsPacking});
}

bool CheckContext::IsStringFile(const std::string& entry) const
{
    if (!fm.MissFlagFile.empty() && EqualsNoCase(entry, fm.MissFlagFile)) return true;
    return std::any_of(fm.TitleFiles.begin(), fm.TitleFiles.end(),
                       [&](const std::string& t) { return !t.empty() && EqualsNoCase(entry, t); });
}

std::string InQuotes(const std::string& s)
{
    return "\"" + s + "\"";
}

std::string Numbered(size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string ExtensionOf(const std::string& entry)
{
    const size_t dot = entry.rfind('.');
    const size_t sep = entry.find_last_of("\\/");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return AsciiLower(entry.substr(dot));
}

} // namespace lw
