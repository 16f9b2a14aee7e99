#include "core/check/PackageLimitRules.h"

#include "core/fm/Project.h"

namespace lw {

void CheckPackageLimits(CheckContext& check, const std::vector<LookedFile>& looked, const std::vector<int>& packed)
{
    const std::vector<std::string>& files = check.project.Files;
    if (files.size() > MaxPlainZipEntries)
        check.Add(Severity::Warning, "",
                  "The list holds " + std::to_string(files.size()) +
                      " files, more than a plain zip archive holds: the package needs zip64, which some older "
                      "tools cannot open");
    for (const int at : packed) {
        const std::string& entry = files[size_t(at)];
        if (looked[size_t(at)].info.size > MaxPlainZipSize)
            check.Add(Severity::Warning, entry,
                      "Is larger than 4 GiB: the package needs zip64, which some older tools cannot open", at);
        const std::string ext = ExtensionOf(entry);
        if (ext == ".zip" || ext == ".7z" || ext == ".rar")
            check.Add(Severity::Warning, entry, "Is an archive: the package would hold a package", at);
    }
}

} // namespace lw
