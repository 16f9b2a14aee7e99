// TZipArchiver: writes files into a zip archive through the zip engine
// library and reads the archive's central directory back. It compresses
// nothing itself: its properties become one command record for the engine,
// whose callbacks become the component's events. Problems are reported as
// numbered messages (ZipMessages.h; OnMessage, and a message box through
// Questions unless Unattended). No toolkit: the program sets the Questions
// object and the hook that lets its windows repaint while the engine works.
#pragma once

#include "ZipRecords.h"
#include "base/EnumSet.h"
#include "core/zip/ZLibLoad.h"
#include "core/zip/ZipDirectory.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace lw {

class Questions;

enum AddOptsEnum {
    AddDirNames,
    AddRecurseDirs,
    AddMove,
    AddFreshen,
    AddUpdate,
    AddZipTime,
    AddForceDOS,
    AddHiddenFiles,
    AddArchiveOnly,
    AddResetArchive,
    AddEncrypt,
    AddSeparateDirs,
    AddVolume,
    AddFromDate,
    AddSafe,
    AddForceDest,
    AddDiskSpan,
    AddDiskSpanErase
};
using AddOpts = EnumSet<AddOptsEnum>;

enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest, ExtrForceDirs };
using ExtrOpts = EnumSet<ExtrOptsEnum>;

enum AddStoreSuffixEnum {
    assGIF,
    assPNG,
    assZ,
    assZIP,
    assZOO,
    assARC,
    assLZH,
    assARJ,
    assTAZ,
    assTGZ,
    assLHA,
    assRAR,
    assACE,
    assCAB,
    assGZ,
    assGZIP,
    assJAR,
    assEXE,
    assEXT
};
using AddStoreExts = EnumSet<AddStoreSuffixEnum>;

enum SpanOptsEnum { spNoVolumeName, spCompatName, spWipeFiles, spTryFormat };
using SpanOpts = EnumSet<SpanOptsEnum>;

enum DeleteOpts { htdFinal, htdAllowUndo };

enum ProgressType {
    ptItemStart,
    ptItemBytes,
    ptBatchEnd,
    ptBatchFileCount,
    ptBatchByteCount,
    ptExtraStart,
    ptExtraBytes
};

enum PasswordButton { pwbOk, pwbCancel, pwbCancelAll, pwbAbort };

// The 17 suffixes stored without compression by default (gif ... jar).
AddStoreExts DefaultStoreSuffixes();

class TZipArchiver;

// What OnAfterCallback receives about the callback just handled.
struct CallBackInfo {
    TZipArchiver* Component = nullptr;
    int ActionCode = 0;
    int ErrorCode = 0;
    std::string FileNameOrMsg;
    int64_t FileSize = 0;
};

class TZipArchiver : private ZipLoaderHost {
public:
    static constexpr const char* ComponentVersion = "1.73";
    // Prefix of a numbered message that has no text.
    static constexpr const char* MissingTextPrefix =
        "The message texts are probably not linked into the executable\nMissing String ID is: ";

    TZipArchiver();
    ~TZipArchiver() override;
    TZipArchiver(const TZipArchiver&) = delete;
    TZipArchiver& operator=(const TZipArchiver&) = delete;

    // --- Properties ---
    bool Verbose() const { return verbose_; }
    void SetVerbose(bool v) { verbose_ = v; }
    bool Trace() const { return trace_; }
    void SetTrace(bool v) { trace_ = v; }
    int AddCompLevel() const { return addCompLevel_; }
    void SetAddCompLevel(int v) { addCompLevel_ = v; }
    AddOpts AddOptions() const { return addOptions_; }
    void SetAddOptions(AddOpts v) { addOptions_ = v; }
    double AddFrom() const { return addFrom_; } // a date: days since 30 Dec 1899
    void SetAddFrom(double v) { addFrom_ = v; }
    const std::string& ExtrBaseDir() const { return extrBaseDir_; }
    void SetExtrBaseDir(const std::string& v) { extrBaseDir_ = v; }
    ExtrOpts ExtrOptions() const { return extrOptions_; }
    void SetExtrOptions(ExtrOpts v) { extrOptions_ = v; }
    // The specs to add, one per line; the component's own list.
    std::vector<std::string>& FSpecArgs() { return fSpecArgs_; }
    void SetFSpecArgs(const std::vector<std::string>& v) { fSpecArgs_ = v; }
    std::vector<std::string>& FSpecArgsExcl() { return fSpecArgsExcl_; }
    void SetFSpecArgsExcl(const std::vector<std::string>& v) { fSpecArgsExcl_ = v; }
    bool Unattended() const { return unattended_; }
    void SetUnattended(bool v) { unattended_ = v; }
    const std::string& ZipFileName() const { return zipFileName_; }
    void SetZipFileName(const std::string& v); // reads the archive's directory
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& v) { password_ = v; }
    const std::string& DLLDirectory() const { return dllDirectory_; }
    void SetDLLDirectory(const std::string& v);
    const std::string& TempDir() const { return tempDir_; }
    void SetTempDir(const std::string& v) { tempDir_ = v; }
    CodePageOpts CodePage() const { return codePage_; }
    void SetCodePage(CodePageOpts v) { codePage_ = v; }
    DeleteOpts HowToDelete() const { return howToDelete_; }
    void SetHowToDelete(DeleteOpts v) { howToDelete_ = v; }
    std::string VersionInfo() const { return ComponentVersion; }
    void SetVersionInfo(const std::string&) {}
    AddStoreExts AddStoreSuffixes() const { return addStoreSuffixes_; }
    void SetAddStoreSuffixes(AddStoreExts v) { addStoreSuffixes_ = v; }
    const std::string& ExtAddStoreSuffixes() const { return extAddStoreSuffixes_; }
    void SetExtAddStoreSuffixes(const std::string& v);
    unsigned PasswordReqCount() const { return passwordReqCount_; }
    void SetPasswordReqCount(unsigned v) { passwordReqCount_ = v > 15 ? 15 : v; }
    bool UseDirOnlyEntries() const { return useDirOnlyEntries_; }
    void SetUseDirOnlyEntries(bool v) { useDirOnlyEntries_ = v; }
    const std::string& RootDir() const { return rootDir_; }
    void SetRootDir(const std::string& v) { rootDir_ = v; }
    // Each line of FSpecArgs is one file name as it stands: no ">", "|",
    // "<" syntax, no trimming, no wildcards (file lists hold names that
    // may contain any of these).
    bool LiteralSpecs() const { return literalSpecs_; }
    void SetLiteralSpecs(bool v) { literalSpecs_ = v; }
    // For each line of FSpecArgs, the time (seconds since 1970, UTC) its
    // entries carry instead of their files' own; 0, or no value for the
    // line, keeps the files' times.
    const std::vector<int64_t>& FSpecTimes() const { return fSpecTimes_; }
    void SetFSpecTimes(const std::vector<int64_t>& v) { fSpecTimes_ = v; }
    // The file the archive will replace once complete, when ZipFileName is
    // a temporary name; like the archive itself, it is never added to it.
    const std::string& FinalZipName() const { return finalZipName_; }
    void SetFinalZipName(const std::string& v) { finalZipName_ = v; }
    SpanOpts SpanOptions() const { return spanOptions_; }
    void SetSpanOptions(SpanOpts v) { spanOptions_ = v; }
    bool ConfirmErase() const { return confirmErase_; }
    void SetConfirmErase(bool v) { confirmErase_ = v; }
    int KeepFreeOnDisk1() const { return keepFreeOnDisk1_; }
    void SetKeepFreeOnDisk1(int v) { keepFreeOnDisk1_ = v; }
    unsigned KeepFreeOnAllDisks() const { return keepFreeOnAllDisks_; }
    void SetKeepFreeOnAllDisks(unsigned v) { keepFreeOnAllDisks_ = v; }
    int MaxVolumeSize() const { return maxVolumeSize_; }
    void SetMaxVolumeSize(int v) { maxVolumeSize_ = v; }
    int MinFreeVolumeSize() const { return minFreeVolumeSize_; }
    void SetMinFreeVolumeSize(int v) { minFreeVolumeSize_ = v; }

    // Where message boxes go; none: messages reach OnMessage only.
    void SetQuestions(Questions* q) { questions_ = q; }
    // Window handed to the engine as owner (0: none).
    void SetOwnerWindow(uintptr_t w) { ownerWindow_ = w; }
    // Caption of the component's message boxes.
    std::string MessageCaption = "Lanternwright";
    // Lets the application process pending window messages; called after
    // each engine callback when OnAfterCallback is not assigned.
    std::function<void()> ProcessMessages;

    // --- Events (Sender first; each called only when assigned) ---
    std::function<void(TZipArchiver* sender, ProgressType kind, const std::string& fileName, uint64_t fileSize)>
        OnProgress;
    std::function<void(TZipArchiver* sender, int errCode, const std::string& message)> OnMessage;
    std::function<void(TZipArchiver* sender, const std::string& item, uint64_t totalSize, int perCent)> OnItemProgress;
    std::function<void(TZipArchiver* sender, uint64_t totalSize, int perCent)> OnTotalProgress;
    std::function<void(TZipArchiver* sender)> OnTick;
    std::function<void(TZipArchiver* sender)> OnDirUpdate;
    std::function<void(TZipArchiver* sender, int seqNo, const ZipDirEntry& entry)> OnNewName;
    std::function<void(TZipArchiver* sender, int id, std::string& str)> OnZipStr;
    std::function<void(CallBackInfo& info, bool& abort)> OnAfterCallback;
    std::function<void(TZipArchiver* sender, std::string& oldFileName, bool& isChanged)> OnSetNewName;
    std::function<void(TZipArchiver* sender, const std::string& forFile, std::string& fileComment, bool& isChanged)>
        OnFileComment;
    std::function<void(TZipArchiver* sender, const std::string& forFile, std::string& data, bool& isChanged)>
        OnFileExtra;
    std::function<void(TZipArchiver* sender, bool isZipAction, std::string& newPassword, const std::string& forFile,
                       unsigned& repeatCount, PasswordButton& action)>
        OnPasswordError;

    // --- Operations ---
    // One add operation; returns the last error code (0: all went well),
    // -255 at once when the component is busy.
    int AddToArchive();
    // Not built: each reports that and returns the last error code.
    int Extract();
    bool Busy() const { return addBusy_ || zipBusy_ || unzBusy_; }

    // --- Run state ---
    int ErrCode() const { return errCode_; }
    int FullErrCode() const { return fullErrCode_; }
    const std::string& Message() const { return message_; }
    int SuccessCnt() const { return successCnt_; }
    int Count() const { return int(dir_.Entries.size()); }
    const ZipDirEntry& DirEntry(int i) const { return dir_.Entries.at(size_t(i)); }
    const std::vector<ZipDirEntry>& DirEntries() const { return dir_.Entries; }
    int DirOnlyCount() const { return dir_.DirOnlyCount; }
    const std::string& ZipComment() const { return dir_.Comment; }
    uint64_t SFXOffset() const { return dir_.SfxOffset; }
    uint64_t CentralDirOffset() const { return dir_.CentralDirOffset; }
    bool IsSpanned() const { return dir_.IsSpanned; }
    TZipEng& ZipEngine() { return *zipEng_; }
    TUnzEng& UnzEngine() { return *unzEng_; }

    // The text of message ident (after OnZipStr), or def when there is none.
    std::string ZipLoadStr(int ident, const std::string& def = {});
    // Percentages as the progress events give them.
    static int Percent(uint64_t done, uint64_t total);
    // The store suffix list handed to the engine (".gif:.png:...").
    std::string StoreSuffixList() const;

    // Entry point the engine calls back (through callerRef).
    int HandleCallback(ZipCallbackRecord& rec);

private:
    std::string LoaderDirectory() const override { return dllDirectory_; }
    bool LoaderVerbose() const override { return verbose_; }
    void LoaderReport(ZipMsg::Id ident, const std::string& path) override;

    void ShowZipMessage(ZipMsg::Id ident, const std::string& suffix = {});
    void ShowExceptionError(const EZipArchiver& e);
    void ReportText(int errCode, const std::string& text);
    void List();
    void readDirectory(platform::File& file, uint64_t fileSize);
    void dispatch(int action, ZipCallbackRecord& rec, const std::string& text);
    void clearProgress();

    bool verbose_ = false;
    bool trace_ = false;
    int addCompLevel_ = 9;
    AddOpts addOptions_;
    double addFrom_ = 0;
    std::string extrBaseDir_;
    ExtrOpts extrOptions_;
    std::vector<std::string> fSpecArgs_;
    std::vector<std::string> fSpecArgsExcl_;
    bool unattended_ = false;
    std::string zipFileName_;
    std::string password_;
    std::string dllDirectory_;
    std::string tempDir_;
    CodePageOpts codePage_ = cpAuto;
    DeleteOpts howToDelete_ = htdAllowUndo;
    AddStoreExts addStoreSuffixes_;
    std::string extAddStoreSuffixes_;
    unsigned passwordReqCount_ = 1;
    bool useDirOnlyEntries_ = false;
    std::string rootDir_;
    bool literalSpecs_ = false;
    std::vector<int64_t> fSpecTimes_;
    std::string finalZipName_;
    SpanOpts spanOptions_;
    bool confirmErase_ = true;
    int keepFreeOnDisk1_ = 0;
    unsigned keepFreeOnAllDisks_ = 0;
    int maxVolumeSize_ = 0;
    int minFreeVolumeSize_ = 65536;

    Questions* questions_ = nullptr;
    uintptr_t ownerWindow_ = 0;

    // Run state.
    int errCode_ = 0;
    int fullErrCode_ = 0;
    std::string message_;
    int successCnt_ = 0;
    ZipDirectory dir_;
    bool cancel_ = false;
    bool addBusy_ = false;
    bool zipBusy_ = false;
    bool unzBusy_ = false;
    bool destroying_ = false;
    std::string eventErr_;
    std::string engineError_; // the engine's last error message of this run
    std::string extraField_;  // extra data handed back through the data pointer (action 14)
    // Progress counters.
    std::string itemName_;
    uint64_t itemSize_ = 0, itemDone_ = 0;
    uint64_t totalSize_ = 0, totalDone_ = 0;

    std::unique_ptr<TZipEng> zipEng_;
    std::unique_ptr<TUnzEng> unzEng_;
};

} // namespace lw
