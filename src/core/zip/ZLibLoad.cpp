#include "core/zip/ZLibLoad.h"

#include "platform/File.h"
#include "platform/Library.h"

#include <filesystem>

#ifndef LW_ENGINE_LIBDIR
#define LW_ENGINE_LIBDIR "../lib/lanternwright"
#endif

namespace fs = std::filesystem;

namespace lw {

namespace {

std::string fallbackText(int ident, const std::string* arg, bool numeric)
{
    std::string s = "ZipArchiver [ " + std::to_string(ident) + " ]";
    if (arg) s += (numeric ? " ," : ", ") + *arg;
    return s;
}

std::string buildText(int ident, const std::string* arg, bool numeric)
{
    const std::string text = ZipResourceText(ident);
    if (text.empty()) return fallbackText(ident, arg, numeric);
    return arg ? FormatZipText(text, *arg) : text;
}

std::string numberText(int ident, long long n)
{
    const std::string arg = std::to_string(n);
    return buildText(ident, &arg, true);
}

bool fileExists(const std::string& p)
{
    std::error_code ec;
    return fs::is_regular_file(platform::PathFromUtf8(p), ec);
}

struct EntryNames {
    const char* exec;
    const char* version;
    const char* build;
};

EntryNames entryNames(int kind)
{
    if (kind == zlkZip) return {"ZipEngExec", "GetZipEngVersion", "GetZipEngPrivVersion"};
    return {"UnzEngExec", "GetUnzEngVersion", "GetUnzEngPrivVersion"};
}

} // namespace

EZipArchiver::EZipArchiver(ZipMsg::Id ident, int displayMsg)
    : std::runtime_error(buildText(ident, nullptr, false)), ident_(ident), display_(displayMsg)
{
}

EZipArchiver::EZipArchiver(ZipMsg::Id ident, long long numArg)
    : std::runtime_error(numberText(ident, numArg)), ident_(ident), display_(1), numArg_(std::to_string(numArg))
{
}

EZipArchiver::EZipArchiver(ZipMsg::Id ident, const std::string& strArg)
    : std::runtime_error(buildText(ident, &strArg, false)), ident_(ident), display_(1), strArg_(strArg)
{
}

std::string ZipResourceText(int)
{
    return {};
}

std::string FormatZipText(const std::string& text, const std::string& arg)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && (text[i + 1] == 's' || text[i + 1] == 'd'))
            return text.substr(0, i) + arg + text.substr(i + 2);
    }
    // No place for it: the argument follows, set apart from a sentence
    // so that "...archive." and a path do not run together.
    if (text.empty() || text.back() == ' ') return text + arg;
    return (text.back() == '.' ? text.substr(0, text.size() - 1) : text) + ": " + arg;
}

TZipLibLoader::TZipLibLoader(ZipLoaderHost* owner, int kind) : owner_(owner), kind_(kind), path_(FileName(kind))
{
}

TZipLibLoader::~TZipLibLoader()
{
    platform::CloseLibrary(handle_);
}

std::string TZipLibLoader::FileName(int kind)
{
    return platform::LibraryFileName(kind == zlkZip ? "zipeng" : "unzeng");
}

std::string TZipLibLoader::Join(const std::string& dir, const std::string& name)
{
    if (dir.empty()) return name;
    if (dir.back() == ':') return dir + name;
    const bool dirSep = dir.back() == '/';
    const bool nameSep = !name.empty() && name.front() == '/';
    if (dirSep && nameSep) return dir + name.substr(1);
    if (dirSep || nameSep) return dir + name;
    return dir + "/" + name;
}

std::string TZipLibLoader::ProgramDir()
{
    return platform::ProgramDir();
}

void TZipLibLoader::clear()
{
    handle_ = nullptr;
    exec_ = nullptr;
    versionFn_ = nullptr;
    buildFn_ = nullptr;
    version_ = 0;
    build_ = 0;
}

int TZipLibLoader::Require(int minVersion, bool byProgram)
{
    const int v = LoadLib(byProgram ? UseProgram : UseOperation);
    if (minVersion > v) {
        UnloadLib(UseExec | UseOperation | UseProgram);
        throw EZipArchiver(ZipMsg::EngineWrongVersion, path_);
    }
    return v;
}

void TZipLibLoader::Release(bool byProgram)
{
    UnloadLib(byProgram ? UseProgram : UseOperation);
}

int TZipLibLoader::Execute(ZipExecParams* params)
{
    LoadLib(UseExec);
    int result = -1;
    try {
        if (exec_) result = exec_(params);
    } catch (...) {
        UnloadLib(UseExec);
        throw;
    }
    UnloadLib(UseExec);
    return result;
}

int TZipLibLoader::LoadLib(unsigned bits)
{
    mask_ = (mask_ | bits) & 7;
    if (handle_) return version_;
    version_ = 0;
    const std::string name = FileName(kind_);
    const std::string dir = owner_ ? owner_->LoaderDirectory() : std::string();
    std::string candidate;
    if (!dir.empty()) {
        candidate = Join(dir, name);
        if (dir.front() == '.') candidate = Join(ProgramDir(), candidate);
        if (!fileExists(candidate)) candidate.clear();
    }
    if (candidate.empty()) {
        // The platform's search, led by the places this program installs
        // its engine: beside the program, then its private library folder.
        const std::string progDir = ProgramDir();
        for (const std::string& c : {Join(progDir, name), Join(Join(progDir, LW_ENGINE_LIBDIR), name)}) {
            if (fileExists(c)) {
                candidate = c;
                break;
            }
        }
    }
    if (candidate.empty()) candidate = name;
    LoadFile(candidate, true);
    if (handle_ && owner_ && owner_->LoaderVerbose()) owner_->LoaderReport(ZipMsg::EngineLoaded, path_);
    return version_;
}

int TZipLibLoader::LoadFile(const std::string& path, bool raise)
{
    platform::CloseLibrary(handle_);
    clear();
    void* h = platform::OpenLibrary(path);
    if (!h) {
        mask_ = 0;
        path_ = path;
        if (raise) throw EZipArchiver(ZipMsg::EngineNotLoaded, path);
        return 0;
    }
    handle_ = h;
    const EntryNames names = entryNames(kind_);
    exec_ = reinterpret_cast<ZipEngExecFn>(platform::LibrarySymbol(h, names.exec));
    versionFn_ = reinterpret_cast<ZipEngVersionFn>(platform::LibrarySymbol(h, names.version));
    buildFn_ = reinterpret_cast<ZipEngVersionFn>(platform::LibrarySymbol(h, names.build));
    const std::string loaded = platform::LibraryPath(h);
    path_ = loaded.empty() ? path : loaded;
    if (exec_ && versionFn_) version_ = versionFn_();
    if (buildFn_) build_ = buildFn_();
    if (version_ >= MinVersion && version_ <= MaxVersion) return build_;
    platform::CloseLibrary(h);
    clear();
    mask_ = 0;
    if (raise) throw EZipArchiver(ZipMsg::EngineWrongVersion, path_);
    return 0;
}

int TZipLibLoader::UnloadLib(unsigned bits)
{
    mask_ = mask_ & ~bits & 7;
    if (mask_ == 0 && handle_) {
        if (owner_ && owner_->LoaderVerbose()) owner_->LoaderReport(ZipMsg::EngineUnloaded, path_);
        platform::CloseLibrary(handle_);
        handle_ = nullptr;
    }
    if (!handle_) {
        clear();
        mask_ = 0;
    }
    return version_;
}

} // namespace lw
