#include "core/zip/ZipArch.h"

#include "base/StrUtils.h"
#include "core/questions/Questions.h"
#include "core/text/TextCodec.h"
#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>

namespace fs = std::filesystem;

namespace lw {

namespace {

constexpr const char* StoreSuffixTexts[] = {"gif", "png", "z",   "zip", "zoo", "arc", "lzh",  "arj", "taz",
                                            "tgz", "lha", "rar", "ace", "cab", "gz",  "gzip", "jar", "exe"};

std::string upperExt(const std::string& name)
{
    std::string ext = platform::Utf8Of(platform::PathFromUtf8(name).extension());
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return ext;
}

// "mm dd yy" of a date counted in days from 30 Dec 1899.
std::string fromDateText(double date)
{
    // 25569 is 1 Jan 1970, day 719468 counted from 1 Mar 0000.
    long long days = static_cast<long long>(date) - 25569 + 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02lld %02lld %02lld", m, d, ((y % 100) + 100) % 100);
    return buf;
}

extern "C" int zipArchCallback(ZipCallbackRecord* rec)
{
    if (!rec || !rec->callerRef) return -1;
    return static_cast<TZipArchiver*>(rec->callerRef)->HandleCallback(*rec);
}

} // namespace

AddStoreExts DefaultStoreSuffixes()
{
    AddStoreExts s;
    for (int i = assGIF; i <= assJAR; ++i) s.Include(AddStoreSuffixEnum(i));
    return s;
}

TZipArchiver::TZipArchiver()
    : addStoreSuffixes_(DefaultStoreSuffixes()), zipEng_(std::make_unique<TZipEng>(static_cast<ZipLoaderHost*>(this))),
      unzEng_(std::make_unique<TUnzEng>(static_cast<ZipLoaderHost*>(this)))
{
}

TZipArchiver::~TZipArchiver()
{
    destroying_ = true;
}

void TZipArchiver::SetZipFileName(const std::string& v)
{
    zipFileName_ = v;
    List();
}

void TZipArchiver::SetDLLDirectory(const std::string& v)
{
    if (v == dllDirectory_) return;
    std::string d = v;
    if (!d.empty() && (d.back() == '/' || d.back() == '\\')) d.pop_back();
    dllDirectory_ = d;
}

void TZipArchiver::SetExtAddStoreSuffixes(const std::string& v)
{
    if (v.empty()) {
        extAddStoreSuffixes_.clear();
        addStoreSuffixes_.Exclude(assEXT);
        return;
    }
    // Empty items (leading or doubled separators) are skipped.
    std::string out, item;
    auto flush = [&] {
        std::string t;
        for (char c : item)
            if (c != ' ' && c != '\t') t += c;
        if (!t.empty() && t != ".") out += (t.front() == '.' ? "" : ".") + t + ":";
        item.clear();
    };
    for (char c : v) {
        if (c == ',' || c == ';' || c == ':') flush();
        else
            item += c;
    }
    flush();
    extAddStoreSuffixes_ = AsciiLower(out);
    if (out.empty()) addStoreSuffixes_.Exclude(assEXT);
    else
        addStoreSuffixes_.Include(assEXT);
}

std::string TZipArchiver::StoreSuffixList() const
{
    std::string s;
    for (int i = assGIF; i <= assEXE; ++i)
        if (addStoreSuffixes_.Has(AddStoreSuffixEnum(i))) s += std::string(".") + StoreSuffixTexts[i] + ":";
    if (addStoreSuffixes_.Has(assEXT)) s += extAddStoreSuffixes_;
    if (!s.empty()) s.pop_back();
    return s;
}

int TZipArchiver::Percent(uint64_t done, uint64_t total)
{
    if (total == 0 || done == 0) return 0;
    if (total < 214748) return int(done * 100 / total);
    return int(done / (total / 100));
}

std::string TZipArchiver::ZipLoadStr(int ident, const std::string& def)
{
    std::string s = ZipResourceText(ident);
    if (OnZipStr) OnZipStr(this, ident, s);
    return s.empty() ? def : s;
}

void TZipArchiver::ReportText(int errCode, const std::string& text)
{
    if (OnMessage) OnMessage(this, errCode, text);
}

void TZipArchiver::ShowZipMessage(ZipMsg::Id ident, const std::string& suffix)
{
    const std::string looked = ZipLoadStr(ident);
    const std::string text =
        looked.empty() ? MissingTextPrefix + std::to_string(ident) + " " + suffix : looked + suffix;
    message_ = text;
    errCode_ = ident;
    if (!unattended_ && questions_) questions_->ShowMessage(MessageKind::Error, MessageCaption, text);
    ReportText(0, text);
}

void TZipArchiver::ShowExceptionError(const EZipArchiver& e)
{
    errCode_ = e.Ident();
    const std::string looked = ZipLoadStr(e.Ident());
    const std::string& arg = !e.StrArg().empty() ? e.StrArg() : e.NumArg();
    std::string text;
    if (!looked.empty()) {
        text = arg.empty() ? looked : FormatZipText(looked, arg);
    } else {
        // The argument is kept: without it the number would not say which file.
        text = MissingTextPrefix + std::to_string(e.Ident());
        if (!arg.empty()) text += " " + arg;
    }
    message_ = text;
    if (e.DisplayMsg() == 1 && !unattended_ && questions_)
        questions_->ShowMessage(MessageKind::Error, MessageCaption, text);
    ReportText(e.Ident(), text);
}

void TZipArchiver::LoaderReport(ZipMsg::Id ident, const std::string& path)
{
    // Trace texts have a default of their own; messages show their number.
    const std::string text = ZipLoadStr(ident, ZipMessageText(ident)) + path;
    message_ = text;
    ReportText(0, text);
}

int TZipArchiver::Extract()
{
    if (Busy()) return -255;
    ShowZipMessage(ZipMsg::ArchiveNotMade, "extraction is not supported by this program");
    return errCode_;
}

int TZipArchiver::AddToArchive()
{
    if (Busy()) return -255;
    addBusy_ = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clearBusy{addBusy_};

    successCnt_ = 0;
    if (fSpecArgs_.empty()) {
        if (addOptions_.Has(AddUpdate)) addOptions_.Exclude(AddUpdate).Include(AddFreshen);
        if (addOptions_.Has(AddFreshen)) {
            fSpecArgs_.push_back("*.*");
        } else {
            ShowZipMessage(ZipMsg::NothingToAdd);
            return errCode_;
        }
    }
    if (addOptions_.Has(AddDiskSpanErase)) {
        addOptions_.Include(AddDiskSpan);
        spanOptions_.Include(spWipeFiles);
    }
    if (zipFileName_.empty()) {
        ShowZipMessage(ZipMsg::NoArchiveName);
        return errCode_;
    }
    if (unattended_ && addOptions_.Has(AddEncrypt) && password_.empty()) {
        ShowZipMessage(ZipMsg::EncryptWithoutPassword);
        return errCode_;
    }
    if (addOptions_.Has(AddDiskSpan)) {
        if (addOptions_.Has(AddFreshen) || addOptions_.Has(AddUpdate)) ShowZipMessage(ZipMsg::SpanWithUpdate);
        else if (upperExt(zipFileName_) == ".EXE")
            ShowZipMessage(ZipMsg::SpanIntoProgram);
        else
            ShowZipMessage(ZipMsg::ArchiveNotMade,
                           "writing an archive across several disks is not supported by this program");
        return errCode_;
    }
    if (zipBusy_) return errCode_;
    std::error_code ec;
    if (upperExt(zipFileName_) == ".EXE" && dir_.SfxOffset == 0 &&
        !fs::exists(platform::PathFromUtf8(zipFileName_), ec)) {
        ShowZipMessage(ZipMsg::SfxProgramMissing);
        return errCode_;
    }
    int version = 0;
    try {
        version = zipEng_->Require(ZIPENG_INTERFACE_VERSION, false);
    } catch (const EZipArchiver& e) {
        ShowExceptionError(e);
        return errCode_;
    }
    if (version == 0) return errCode_;

    zipBusy_ = true;
    cancel_ = false;
    try {
        // The record's strings live here until the engine returns.
        ZipExecParams rec{};
        const std::string password = password_.substr(0, 81);
        const std::string suffixes = StoreSuffixList();
        const std::string archive = zipFileName_;
        const std::string tempDir = tempDir_;
        const std::string comment = dir_.Comment;
        const std::string finalName = finalZipName_.empty()
                                          ? std::string()
                                          : platform::Utf8Of(fs::absolute(platform::PathFromUtf8(finalZipName_), ec));
        std::string root;
        if (!rootDir_.empty()) {
            root = platform::Utf8Of(fs::absolute(platform::PathFromUtf8(rootDir_), ec));
            if (ec) root = rootDir_;
        }
        const AddOpts o = addOptions_;
        auto flag = [](bool b) { return b ? -1 : 0; };
        rec.ownerWindow = unattended_ ? 0 : ownerWindow_;
        rec.callerRef = this;
        rec.interfaceVersion = ZIPENG_INTERFACE_VERSION;
        rec.callback = zipArchCallback;
        rec.traceFlag = flag(trace_);
        rec.password = password.empty() ? nullptr : password.c_str();
        rec.storeSuffixes = suffixes.empty() ? nullptr : suffixes.c_str();
        rec.encryptFlag = flag(o.Has(AddEncrypt));
        rec.hiddenFilesFlag = flag(o.Has(AddHiddenFiles));
        rec.volumeLabelFlag = flag(o.Has(AddVolume));
        rec.noDirEntriesFlag = o.Has(AddSeparateDirs) ? 0 : -1;
        rec.fromDateFlag = flag(o.Has(AddFromDate));
        rec.verboseFlag = flag(verbose_ || trace_);
        rec.quietFlag = -1;
        rec.compressionLevel = addCompLevel_;
        rec.junkDirsFlag = o.Has(AddDirNames) ? 0 : -1;
        rec.recurseFlag = o.Has(AddRecurseDirs) ? 0xFFFF : 0;
        rec.growFlag = o.Has(AddSafe) ? 0 : -1;
        rec.forceDosFlag = flag(o.Has(AddForceDOS));
        rec.moveFlag = flag(o.Has(AddMove));
        rec.updateFlag = flag(o.Has(AddUpdate));
        rec.freshenFlag = o.Has(AddUpdate) ? 0 : flag(o.Has(AddFreshen));
        rec.latestTimeFlag = flag(o.Has(AddZipTime));
        const std::string date = fromDateText(addFrom_);
        std::memcpy(rec.fromDate, date.data(), std::min<size_t>(8, date.size()));
        rec.archiveName = archive.c_str();
        rec.tempDir = tempDir.empty() ? nullptr : tempDir.c_str();
        rec.archiveComment = comment.empty() ? nullptr : comment.c_str();
        rec.archiveOnly = o.Has(AddArchiveOnly) ? 1 : 0;
        rec.resetArchive = o.Has(AddResetArchive) ? 1 : 0;
        rec.recycleFlag = howToDelete_ == htdAllowUndo ? -1 : 0;
        rec.codePage = codePage_ == cpOEM ? 2 : 0;
        rec.finalArchiveName = finalName.empty() ? nullptr : finalName.c_str();
        rec.closingMarker = ZIPENG_CLOSING_MARKER;

        if (o.Has(AddForceDest)) {
            const fs::path dir = fs::absolute(platform::PathFromUtf8(archive), ec).parent_path();
            fs::create_directories(dir, ec);
            if (!fs::is_directory(dir, ec)) throw EZipArchiver(ZipMsg::ArchiveFolderMissing, platform::Utf8Of(dir));
        }

        // One spec record per line; the texts are kept beside them.
        std::vector<std::string> specTexts, specPasswords;
        specTexts.reserve(fSpecArgs_.size());
        specPasswords.reserve(fSpecArgs_.size());
        std::vector<ZipFileSpecEntry> specs(fSpecArgs_.size());
        for (size_t i = 0; i < fSpecArgs_.size(); ++i) {
            ZipFileSpecEntry& e = specs[i];
            e.recurseFlag = rec.recurseFlag;
            e.encryptFlag = rec.encryptFlag;
            e.rootDir = root.empty() ? nullptr : root.c_str();
            e.entryTime = i < fSpecTimes_.size() ? fSpecTimes_[i] : 0;
            if (literalSpecs_) {
                // A file name as it stands: the record points at the list itself.
                e.literalFlag = 1;
                e.fileSpec = fSpecArgs_[i].c_str();
                e.password = password.empty() ? nullptr : password.c_str();
                continue;
            }
            std::string line = fSpecArgs_[i];
            if (!line.empty() && line.front() == '>') {
                e.recurseFlag = 0xFFFF;
                line.erase(0, 1);
            } else if (!line.empty() && line.front() == '|') {
                e.recurseFlag = 0;
                line.erase(0, 1);
            }
            std::string pw = password;
            const size_t lt = line.find('<');
            if (lt != std::string::npos) {
                e.encryptFlag = 0xFFFF;
                pw.clear();
                if (lt + 1 >= line.size() || line[lt + 1] == ' ') e.encryptFlag = 0;
                else
                    pw = line.substr(lt + 1);
                line.erase(lt);
            }
            specPasswords.push_back(pw);
            const size_t b = line.find_first_not_of(" \t");
            const size_t end = line.find_last_not_of(" \t");
            specTexts.push_back(b == std::string::npos ? std::string() : line.substr(b, end - b + 1));
        }
        for (size_t i = 0; i < specTexts.size(); ++i) {
            specs[i].fileSpec = specTexts[i].c_str();
            specs[i].password = specPasswords[i].empty() ? nullptr : specPasswords[i].c_str();
        }
        rec.specCount = int32_t(specs.size());
        rec.specArray = specs.data();
        std::vector<const char*> excl;
        for (const std::string& x : fSpecArgsExcl_) excl.push_back(x.c_str());
        rec.excludeCount = int32_t(excl.size());
        rec.excludeArray = excl.empty() ? nullptr : excl.data();

        eventErr_.clear();
        engineError_.clear();
        clearProgress();
        const int result = zipEng_->Execute(&rec);
        if (result < 0) {
            successCnt_ = 0;
            // A failure the engine gives a reason for (a file it could not
            // read, a folder that refuses the archive) is the author's to
            // mend and is said as it is; only one it cannot explain, or a
            // command it could not take, is a fault of the engine.
            if (!engineError_.empty() && errCode_ != zeParams) ShowZipMessage(ZipMsg::ArchiveNotMade, engineError_);
            else
                ShowZipMessage(ZipMsg::ArchiveNotMade,
                               "fatal Dll error" + (engineError_.empty() ? std::string() : ": " + engineError_));
        } else {
            successCnt_ = result;
        }
    } catch (const EZipArchiver& e) {
        ShowExceptionError(e);
    } catch (const std::bad_alloc&) {
        ShowZipMessage(ZipMsg::OutOfMemory);
    } catch (const std::exception& e) {
        ShowZipMessage(ZipMsg::ArchiveNotMade, e.what());
    } catch (...) {
        ShowZipMessage(ZipMsg::ArchiveNotMade);
    }

    fSpecArgs_.clear();
    fSpecArgsExcl_.clear();
    std::string().swap(extraField_);
    zipEng_->Release(false);
    cancel_ = false;
    zipBusy_ = false;
    if (successCnt_ > 0) List();
    return errCode_;
}

void TZipArchiver::clearProgress()
{
    itemName_.clear();
    itemSize_ = itemDone_ = totalSize_ = totalDone_ = 0;
}

int TZipArchiver::HandleCallback(ZipCallbackRecord& rec)
{
    if (destroying_) return -1;
    const int action = rec.actionCode & 0xFF;
    std::string text(rec.text, strnlen(rec.text, sizeof rec.text));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    // Entry names are shown the way the file list writes paths; messages
    // keep their text, since they name files of this system.
    if (action != zaMessage) std::replace(text.begin(), text.end(), '/', '\\');
    try {
        dispatch(action, rec, text);
    } catch (const std::exception& e) {
        if (eventErr_.empty()) eventErr_ = " #" + std::to_string(action) + " \"" + e.what() + "\"";
        cancel_ = true;
    } catch (...) {
        if (eventErr_.empty()) eventErr_ = " #" + std::to_string(action) + " \"unknown exception\"";
        cancel_ = true;
    }
    if (OnAfterCallback) {
        CallBackInfo info{this, action, rec.errorCode, text, rec.size};
        bool abort = cancel_;
        try {
            OnAfterCallback(info, abort);
        } catch (...) {
            abort = true;
        }
        if (abort) cancel_ = true;
    } else if (ProcessMessages) {
        try {
            ProcessMessages();
        } catch (...) {
            cancel_ = true;
        }
    }
    return cancel_ ? -1 : 0;
}

void TZipArchiver::dispatch(int action, ZipCallbackRecord& rec, const std::string& text)
{
    const uint64_t size = rec.size < 0 ? 0 : uint64_t(rec.size);
    switch (action) {
    case zaTick:
        if (OnTick) OnTick(this);
        break;
    case zaItemStart:
        itemName_ = text;
        itemSize_ = size;
        itemDone_ = 0;
        if (OnProgress) OnProgress(this, ptItemStart, text, size);
        if (OnItemProgress) OnItemProgress(this, text, size, 0);
        break;
    case zaItemBytes:
        itemDone_ += size;
        totalDone_ += size;
        if (OnProgress) OnProgress(this, ptItemBytes, std::string(), size);
        if (OnItemProgress) OnItemProgress(this, itemName_, itemSize_, Percent(itemDone_, itemSize_));
        if (OnTotalProgress) OnTotalProgress(this, totalSize_, Percent(totalDone_, totalSize_));
        break;
    case zaBatchEnd:
        clearProgress();
        if (OnProgress) OnProgress(this, ptBatchEnd, std::string(), 0);
        if (OnItemProgress) OnItemProgress(this, std::string(), 0, -1);
        if (OnTotalProgress) OnTotalProgress(this, 0, -1);
        break;
    case zaMessage:
        message_ = text;
        if (rec.errorCode != 0) {
            errCode_ = rec.errorCode & 0xFF;
            fullErrCode_ = rec.errorCode;
            if (errCode_ == zeAbort && !eventErr_.empty()) message_ = "Exception in Event " + eventErr_;
            engineError_ = message_;
        }
        ReportText(rec.errorCode, message_);
        break;
    case zaFileCount:
        if (OnProgress) OnProgress(this, ptBatchFileCount, std::string(), size);
        break;
    case zaByteCount:
        totalSize_ = size;
        totalDone_ = 0;
        itemName_.clear();
        itemSize_ = 0;
        if (OnProgress) OnProgress(this, ptBatchByteCount, std::string(), size);
        break;
    case zaNewName:
        if (OnSetNewName) {
            std::string name = text;
            bool changed = false;
            OnSetNewName(this, name, changed);
            if (changed) {
                const size_t n = std::min(name.size(), sizeof rec.text - 1);
                std::memcpy(rec.text, name.data(), n);
                rec.text[n] = 0;
                rec.errorCode = 1;
            } else {
                rec.errorCode = 0;
            }
        }
        break;
    case zaPassword: {
        const bool confirm = rec.errorCode & 1;
        std::string pw;
        unsigned repeat = unsigned(std::min<uint64_t>(size, 15));
        PasswordButton button = pwbCancel;
        if (OnPasswordError) {
            OnPasswordError(this, rec.isZipOperation != 0, pw, text, repeat, button);
            if (!pw.empty()) button = pwbOk;
        } else {
            // No password dialog in this program: asked unattended or not,
            // the answer is "none", and the user is told.
            ShowZipMessage(confirm ? ZipMsg::NewPasswordNotGiven : ZipMsg::PasswordNotGiven,
                           unattended_ ? std::string() : text);
        }
        if (button == pwbOk && !pw.empty()) {
            pw = pw.substr(0, 80);
            std::memcpy(rec.text, pw.c_str(), pw.size() + 1);
            rec.errorCode = 1;
            rec.size = std::min(repeat, 15u);
        } else {
            rec.errorCode = 0;
            rec.size = 0;
            if (button == pwbCancelAll) rec.actionCode = 0;
            if (button == pwbAbort) cancel_ = true;
        }
        break;
    }
    case zaCrcError: rec.errorCode = 2; break;
    case zaSkipped:
        if (rec.errorCode != 0) {
            errCode_ = rec.errorCode & 0xFF;
            fullErrCode_ = rec.errorCode;
        }
        break;
    case zaComment:
        if (OnFileComment) {
            std::string comment(rec.text + 256, strnlen(rec.text + 256, 256));
            bool changed = false;
            OnFileComment(this, text, comment, changed);
            if (changed) {
                comment = comment.substr(0, 511);
                std::memcpy(rec.text, comment.c_str(), comment.size() + 1);
                rec.size = int64_t(comment.size());
            }
            rec.errorCode = changed ? 1 : 0;
        }
        break;
    case zaStreamSize:
        // No stream operations: a resize request cannot be met.
        rec.errorCode = 1;
        rec.size = 0;
        break;
    case zaExtraField:
        if (OnFileExtra) {
            std::string data;
            if (rec.dataPointer && size > 0) data.assign(static_cast<const char*>(rec.dataPointer), size_t(size));
            bool changed = false;
            OnFileExtra(this, text, data, changed);
            if (changed) {
                // Short data travels in the text area; longer data through
                // the data pointer, from a buffer kept until the run ends.
                if (data.size() < sizeof rec.text) {
                    std::memcpy(rec.text, data.data(), data.size());
                    rec.text[data.size()] = 0;
                    rec.size = int64_t(data.size());
                } else {
                    extraField_ = std::move(data);
                    rec.dataPointer = extraField_.data();
                    rec.size = int64_t(extraField_.size());
                }
                rec.errorCode = -1;
            }
        }
        break;
    case zaExtraStart: {
        itemName_ = ZipLoadStr(ZipMsg::ExtraStepBase + rec.errorCode, text);
        itemSize_ = size;
        itemDone_ = 0;
        if (OnProgress) OnProgress(this, ptExtraStart, text, size);
        break;
    }
    case zaExtraBytes:
        itemDone_ += size;
        if (OnProgress) OnProgress(this, ptExtraBytes, OnItemProgress ? itemName_ : std::string(), size);
        if (OnItemProgress) OnItemProgress(this, itemName_, itemSize_, Percent(itemDone_, itemSize_));
        break;
    default: break;
    }
}

void TZipArchiver::List()
{
    dir_ = ZipDirectory();
    errCode_ = 0;
    std::error_code ec;
    const fs::path zipFile = platform::PathFromUtf8(zipFileName_);
    if (zipFileName_.empty() || !fs::is_regular_file(zipFile, ec)) {
        if (OnDirUpdate) OnDirUpdate(this);
        return;
    }
    platform::File file;
    if (file.OpenRead(zipFile) != 0) {
        ShowExceptionError(EZipArchiver(ZipMsg::CannotOpen, zipFileName_));
        if (OnDirUpdate) OnDirUpdate(this);
        return;
    }
    try {
        readDirectory(file, file.Info().size);
    } catch (const EZipArchiver& e) {
        ShowExceptionError(e);
    } catch (const std::bad_alloc&) {
        ShowZipMessage(ZipMsg::OutOfMemory);
    } catch (const std::exception& e) {
        ShowZipMessage(ZipMsg::DirectoryReadFailed, e.what());
    }
    file.Close();
    if (OnDirUpdate) OnDirUpdate(this);
}

void TZipArchiver::readDirectory(platform::File& file, uint64_t fileSize)
{
    ZipDirOptions opts;
    opts.ArchiveName = zipFileName_;
    opts.CodePage = codePage_;
    opts.KeepDirOnlyEntries = useDirOnlyEntries_;
    opts.OnWarning = [this](ZipMsg::Id ident) { ShowZipMessage(ident); };
    opts.OnEntry = [this](int seqNo, const ZipDirEntry& e) {
        if (OnNewName) OnNewName(this, seqNo, e);
    };
    ReadZipDirectory(file, fileSize, dir_, opts);
}

} // namespace lw
