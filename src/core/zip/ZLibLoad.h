// Loading the zip engine library at run time: found beside the program (or
// where DLLDirectory says), version-checked, held while any of three
// independent holds is set, and freed when the last one is let go.
#pragma once

#include "ZipRecords.h"
#include "core/zip/ZipMessages.h"

#include <stdexcept>
#include <string>

namespace lw {

// The archiver's own exception: a message number with an optional argument.
class EZipArchiver : public std::runtime_error {
public:
    EZipArchiver(ZipMsg::Id ident, int displayMsg);
    EZipArchiver(ZipMsg::Id ident, long long numArg);
    EZipArchiver(ZipMsg::Id ident, const std::string& strArg);

    int Ident() const { return ident_; }
    int DisplayMsg() const { return display_; }
    const std::string& StrArg() const { return strArg_; }
    const std::string& NumArg() const { return numArg_; } // the number as text, or empty

private:
    int ident_;
    int display_;
    std::string strArg_;
    std::string numArg_;
};

// The text linked for a message number; this program links none, so every
// number falls back to the components' default wording.
std::string ZipResourceText(int ident);
// text with its first "%s" or "%d" replaced by arg; without one, arg
// follows (after ": " where the text is a sentence).
std::string FormatZipText(const std::string& text, const std::string& arg);

// What a loader needs from the component that owns it.
class ZipLoaderHost {
public:
    virtual ~ZipLoaderHost() = default;
    virtual std::string LoaderDirectory() const = 0; // DLLDirectory
    virtual bool LoaderVerbose() const = 0;
    // ZipMsg::EngineLoaded or EngineUnloaded, with the library's path.
    virtual void LoaderReport(ZipMsg::Id ident, const std::string& path) = 0;
};

enum ZipLibKind { zlkUnzip = 0, zlkZip = 1 };

class TZipLibLoader {
public:
    static constexpr unsigned UseExec = 1, UseOperation = 2, UseProgram = 4;
    static constexpr int MinVersion = 153, MaxVersion = 300;

    TZipLibLoader(ZipLoaderHost* owner, int kind);
    virtual ~TZipLibLoader();
    TZipLibLoader(const TZipLibLoader&) = delete;
    TZipLibLoader& operator=(const TZipLibLoader&) = delete;

    // Loads (hold 4 when byProgram, else 2) and returns the version;
    // raises ZipMsg::EngineNotLoaded when the library cannot be loaded,
    // EngineWrongVersion when its version is below minVersion or outside
    // 153..300.
    int Require(int minVersion, bool byProgram);
    void Release(bool byProgram);
    // Calls the execute entry with the library held for the call.
    int Execute(ZipExecParams* params);

    bool Loaded() const { return handle_ != nullptr; }
    int Version() const { return version_; }
    int Build() const { return build_; }
    unsigned UsageMask() const { return mask_; }
    int Kind() const { return kind_; }
    const std::string& Path() const { return path_; }

    // The library's file name for a kind ("libzipeng.so", "libunzeng.so").
    static std::string FileName(int kind);
    // dir and name joined with exactly one "/" (none after a trailing ":").
    static std::string Join(const std::string& dir, const std::string& name);
    // Directory of the running program, without trailing "/".
    static std::string ProgramDir();

protected:
    int LoadLib(unsigned bits);
    int LoadFile(const std::string& path, bool raise);
    int UnloadLib(unsigned bits);

private:
    void clear();

    ZipLoaderHost* owner_;
    int kind_;
    void* handle_ = nullptr;
    ZipEngExecFn exec_ = nullptr;
    ZipEngVersionFn versionFn_ = nullptr;
    ZipEngVersionFn buildFn_ = nullptr;
    std::string path_;
    unsigned mask_ = 0;
    int version_ = 0;
    int build_ = 0;
};

class TZipEng : public TZipLibLoader {
public:
    explicit TZipEng(ZipLoaderHost* owner) : TZipLibLoader(owner, zlkZip) {}
};

class TUnzEng : public TZipLibLoader {
public:
    explicit TUnzEng(ZipLoaderHost* owner) : TZipLibLoader(owner, zlkUnzip) {}
};

} // namespace lw
