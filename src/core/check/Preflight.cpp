#include "core/check/Preflight.h"

#include "base/ShareOut.h"
#include "base/StrUtils.h"
#include "core/check/CheckContext.h"
#include "core/check/InfoFileRules.h"
#include "core/check/ListedFileRules.h"
#include "core/check/LoaderRules.h"
#include "core/check/MissionRules.h"
#include "core/check/MissionUseRules.h"
#include "core/check/PackageLimitRules.h"
#include "core/fm/Project.h"
#include "core/text/TextCodec.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace lw {

namespace {

// JSON text is UTF-8: a name read from the disk may hold other bytes,
// which become U+FFFD rather than make the whole line unreadable.
std::string jsonString(const std::string& raw)
{
    const std::string s = IsValidUtf8(raw) ? raw : SanitizeUtf8(raw);
    std::string out = "\"";
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (b < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", b);
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace

std::vector<Finding> CheckProject(const Project& project, FolderCache* folders)
{
    CheckContext check(project, folders);
    const LookedFiles looked = LookAtListedFiles(check);
    // What the missions use, and then the files the list leaves out, are
    // looked for while the listed ones are weighed: all only read what
    // LookAtListedFiles found.
    std::vector<Finding> forgotten;
    MissionUseFindings uses;
    std::vector<int> packed;
    std::exception_ptr failed[2];
    ShareOut(2, 2, [&](size_t from, size_t to) {
        for (size_t task = from; task < to; ++task) {
            try {
                if (task == 0) {
                    packed = CheckListedFiles(check, looked.files);
                } else {
                    uses = CheckMissionUses(check, looked.files);
                    forgotten = ForgottenFiles(check, looked.files, uses.named, uses.missionsRead);
                }
            } catch (...) { // rethrown on this thread below
                failed[task] = std::current_exception();
            }
        }
    });
    for (const std::exception_ptr& e : failed)
        if (e) std::rethrow_exception(e);
    CheckPackageLimits(check, looked.files, packed);
    check.findings.insert(check.findings.end(), std::make_move_iterator(forgotten.begin()),
                          std::make_move_iterator(forgotten.end()));
    CheckMissionChain(check);
    check.findings.insert(check.findings.end(), std::make_move_iterator(uses.findings.begin()),
                          std::make_move_iterator(uses.findings.end()));
    CheckNames(check);
    CheckInfoFile(check);
    CheckLoaderView(check);
    return std::move(check.findings);
}

int CountOf(const std::vector<Finding>& findings, Severity severity)
{
    return int(
        std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

std::string FindingsSummary(const std::vector<Finding>& findings)
{
    if (findings.empty()) return "the check found nothing";
    auto count = [&](Severity s, const char* one, const char* many) {
        const int n = CountOf(findings, s);
        return n == 0 ? std::string("no ") + many : Numbered(size_t(n), one, many);
    };
    return "the check found " + count(Severity::Error, "error", "errors") + ", " +
           count(Severity::Warning, "warning", "warnings") + " and " + count(Severity::Note, "note", "notes");
}

const char* SeverityName(Severity severity)
{
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: return "note";
    }
    return "note";
}

std::string FindingLine(const Finding& f)
{
    std::string line = SeverityName(f.severity);
    line += ": ";
    if (!f.file.empty()) line += f.file + ": ";
    return line + f.message;
}

std::string FindingJson(const Finding& f)
{
    return "{\"severity\":" + jsonString(SeverityName(f.severity)) + ",\"file\":" + jsonString(f.file) +
           ",\"entry\":" + std::to_string(f.entry) + ",\"message\":" + jsonString(f.message) + "}";
}

std::string ZipAnywayText(const std::vector<Finding>& findings)
{
    const int errors = CountOf(findings, Severity::Error);
    std::string text = "The check found " + Numbered(size_t(errors), "error", "errors") +
                       (errors == 1 ? " that keeps" : " that keep") +
                       " the package from installing or playing as meant:\n\n";
    int shown = 0;
    for (const Finding& f : findings) {
        if (f.severity != Severity::Error) continue;
        if (shown++ == 3) {
            text += "...\n";
            break;
        }
        text += (f.file.empty() ? "" : f.file + ": ") + f.message + "\n";
    }
    return text + "\nZip anyway?";
}

} // namespace lw
