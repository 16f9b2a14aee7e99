// The zip engine library: one call adds files to an archive, reporting to
// the caller's callback on the calling thread. Files are read and deflated
// by worker threads ahead of the writer; libzip writes the archive into a
// temporary file beside it and renames that over the archive only when the
// whole archive is written, so a failed or cancelled run changes nothing.
#include "ZipRecords.h"

#include "Deflater.h"
#include "Pipeline.h"
#include "SpecScan.h"
#include "ZipWriter.h"
#include "base/FileIO.h"
#include "base/StrUtils.h"
#include "platform/Export.h"
#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>
#include <zip.h>
#include <zlib.h>

#define ZIPENG_API extern "C" LW_EXPORT

namespace zipeng {
namespace {

// Paths come and go as UTF-8 text.
using lw::platform::PathFromUtf8;

constexpr int EngineVersion = 180;
constexpr int EngineBuild = 18000;
constexpr uint64_t PieceSize = uint64_t(4) << 20;      // a large file is deflated in pieces of this size
constexpr uint64_t WholeLimit = uint64_t(6) << 20;     // ... unless it is no larger than this
constexpr uint64_t ProgressStep = uint64_t(256) << 10; // bytes between progress reports within a piece
constexpr uint64_t MaxBytesInFlight = uint64_t(48) << 20;
constexpr size_t MaxPiecesInFlight = 4096; // small files: the bytes bound the memory long before this

struct Chosen {
    const ScanItem* item = nullptr;
    zip_int64_t replaceIndex = -1; // -1: a new entry
    bool store = false;
    size_t firstPiece = 0, endPiece = 0;
};

// The file libzip writes: the archive itself, or a copy in the temporary
// directory that is moved over the archive when the run succeeds. Whatever
// is not committed is removed.
class WorkCopy {
public:
    explicit WorkCopy(std::string target) : target_(std::move(target)), path_(target_) {}
    ~WorkCopy()
    {
        if (path_ != target_) lw::platform::RemoveFile(PathFromUtf8(path_));
    }
    const std::string& Path() const { return path_; }

    std::string Prepare(const std::string& dir)
    {
        lw::platform::File f;
        std::filesystem::path made;
        if (const int err = f.CreateTemp(PathFromUtf8(dir), "lwzip", {}, made))
            return "Cannot create a temporary file in \"" + dir + "\": " + std::strerror(err);
        f.Close();
        path_ = lw::platform::Utf8Of(made);
        if (!lw::platform::InfoOf(PathFromUtf8(target_)).exists) {
            lw::platform::RemoveFile(made); // libzip starts a new archive
            return {};
        }
        return copy(target_, path_);
    }

    // Moves the finished copy over the archive; an error text when it fails.
    std::string Commit()
    {
        if (path_ == target_) return {};
        const int err = lw::ReplaceWith(PathFromUtf8(path_), PathFromUtf8(target_));
        if (err == 0) {
            path_ = target_;
            return {};
        }
        if (err != EXDEV) return "Cannot write \"" + target_ + "\": " + std::strerror(err);
        // Another file system: copy beside the archive, then rename.
        const std::filesystem::path target = PathFromUtf8(target_);
        lw::platform::File f;
        std::filesystem::path made;
        if (const int err = f.CreateTemp(target.has_parent_path() ? target.parent_path() : ".",
                                         lw::platform::Utf8Of(target.filename()) + ".lw", {}, made))
            return "Cannot write \"" + target_ + "\": " + std::strerror(err);
        f.Close();
        std::string copyError = copy(path_, lw::platform::Utf8Of(made));
        if (copyError.empty())
            if (const int e = lw::ReplaceWith(made, target))
                copyError = "Cannot write \"" + target_ + "\": " + std::strerror(e);
        if (!copyError.empty()) lw::platform::RemoveFile(made);
        return copyError;
    }

private:
    static std::string copy(const std::string& from, const std::string& to)
    {
        lw::platform::File in, out;
        if (const int e = in.OpenRead(PathFromUtf8(from))) return "Cannot read \"" + from + "\": " + std::strerror(e);
        if (const int e = out.OpenWrite(PathFromUtf8(to))) return "Cannot write \"" + to + "\": " + std::strerror(e);
        std::vector<char> buf(1 << 20);
        std::string err;
        for (;;) {
            size_t n = 0;
            if (const int e = in.Read(buf.data(), buf.size(), n)) {
                err = "Cannot read \"" + from + "\": " + std::strerror(e);
                break;
            }
            if (n == 0) break;
            if (const int e = out.Write(buf.data(), n)) {
                err = "Cannot write \"" + to + "\": " + std::strerror(e);
                break;
            }
        }
        if (err.empty())
            if (const int e = out.Sync()) err = "Cannot write \"" + to + "\": " + std::strerror(e);
        return err;
    }

    std::string target_;
    std::string path_;
};

class Run;

struct Source {
    Run* run = nullptr;
    size_t order = 0; // position in the run's chosen list
    zip_error_t error{};
    bool opened = false;
    bool done = false;
    bool pieceHeld = false;
    bool progressSent = false;
    size_t cur = 0;
    size_t offset = 0;     // read position in the current piece's data
    uint64_t reported = 0; // uncompressed bytes of the current piece reported
    uint32_t crc = 0;
    uint64_t compSize = 0;
};

class Run {
public:
    explicit Run(ZipExecParams& p) : prm_(p) {}

    int Execute();
    zip_int64_t SourceCall(Source& s, void* data, zip_uint64_t len, zip_source_cmd_t cmd);

private:
    int call(int action, int err, int64_t size, std::string_view text);
    void message(int err, const std::string& text) { call(zaMessage, err, 0, text); }
    bool isStored(const ScanItem& it) const;
    bool collect(std::vector<ScanItem>& items);
    int fail(zip_t* za, int code, const std::string& text);
    int writeNew(const std::vector<ScanItem>& items, WorkCopy& work);
    int finish(WorkCopy& work, time_t latest);
    // The chosen files as the pieces the threads read and compress; the
    // bytes in all, and the newest time into latest.
    uint64_t cutIntoPieces(std::vector<Piece>& pieces, time_t& latest);
    zip_int64_t read(Source& s, uint8_t* data, uint64_t len);

    ZipExecParams& prm_;
    bool aborted_ = false;
    bool sourceFailed_ = false;
    std::vector<std::string> suffixes_;
    // What the scan found. The chosen files and the pipeline's pieces point
    // into it, so it is declared before them: the pipeline's threads are
    // stopped before it goes, on every way out of a run.
    std::vector<ScanItem> items_;
    std::vector<Chosen> chosen_;
    std::unique_ptr<Pipeline> pipeline_;
};

int Run::call(int action, int err, int64_t size, std::string_view text)
{
    if (!prm_.callback) return 0;
    ZipCallbackRecord rec{};
    rec.callerRef = prm_.callerRef;
    rec.isZipOperation = 1;
    rec.actionCode = action;
    rec.errorCode = err;
    rec.size = size;
    const size_t n = std::min(text.size(), sizeof rec.text - 1);
    std::memcpy(rec.text, text.data(), n);
    const int answer = prm_.callback(&rec);
    if (answer == -1) aborted_ = true;
    return answer;
}

bool Run::isStored(const ScanItem& it) const
{
    if (prm_.compressionLevel <= 0 || it.size == 0) return true;
    const std::string& name = it.entry;
    for (const std::string& suf : suffixes_) // lower case
        if (name.size() >= suf.size() && std::equal(suf.begin(), suf.end(), name.end() - std::ptrdiff_t(suf.size()),
                                                    [](char s, char n) { return s == lw::AsciiLower(n); }))
            return true;
    return false;
}

bool Run::collect(std::vector<ScanItem>& items)
{
    std::vector<ScanSpec> specs;
    specs.reserve(size_t(std::max(prm_.specCount, 0)));
    for (int i = 0; i < prm_.specCount; ++i) {
        const ZipFileSpecEntry& e = prm_.specArray[i];
        if (!e.fileSpec || !*e.fileSpec) continue;
        ScanSpec s;
        s.spec = e.fileSpec;
        if (e.rootDir) s.rootDir = e.rootDir;
        s.recurse = e.recurseFlag != 0;
        s.literal = e.literalFlag != 0;
        s.entryTime = time_t(e.entryTime);
        if (e.encryptFlag) {
            if (e.password && *e.password) s.password = e.password;
            else if (prm_.password && *prm_.password)
                s.password = prm_.password;
        }
        specs.push_back(std::move(s));
    }
    ScanOptions opts;
    opts.junkDirs = prm_.junkDirsFlag != 0;
    opts.hiddenFiles = prm_.hiddenFilesFlag != 0;
    opts.dirEntries = prm_.noDirEntriesFlag == 0;
    opts.fromDate = prm_.fromDateFlag != 0;
    if (opts.fromDate) opts.since = ParseFromDate(prm_.fromDate);
    opts.skipPaths.push_back(PathFromUtf8(prm_.archiveName));
    if (prm_.finalArchiveName && *prm_.finalArchiveName) opts.skipPaths.push_back(PathFromUtf8(prm_.finalArchiveName));
    for (int i = 0; i < prm_.excludeCount && prm_.excludeArray; ++i)
        if (prm_.excludeArray[i]) opts.excludes.emplace_back(prm_.excludeArray[i]);
    std::vector<ScanProblem> problems;
    const bool ok = ScanSpecs(specs, opts, items, problems);
    for (const ScanProblem& p : problems) message(p.code, p.text);
    return ok;
}

int Run::fail(zip_t* za, int code, const std::string& text)
{
    if (pipeline_) pipeline_->Stop();
    if (za) zip_discard(za);
    message(code, text);
    return -1;
}

int Run::Execute()
{
    if (prm_.closingMarker != ZIPENG_CLOSING_MARKER || !prm_.archiveName || !*prm_.archiveName || prm_.specCount < 0 ||
        (prm_.specCount > 0 && !prm_.specArray)) {
        message(zeParams, "Invalid command record");
        return -1;
    }
    if (prm_.storeSuffixes) {
        std::string cur;
        for (const char* p = prm_.storeSuffixes;; ++p) {
            if (*p == 0 || *p == ':' || *p == ';' || *p == ',') {
                if (!cur.empty()) suffixes_.push_back(lw::AsciiLower(cur));
                cur.clear();
                if (*p == 0) break;
            } else {
                cur += *p;
            }
        }
    }

    if (!collect(items_)) return -1;
    const std::vector<ScanItem>& items = items_;

    const std::string archive = prm_.archiveName;
    // With a temporary directory the archive is built there (from a copy of
    // the old one when updating) and moved into place once complete.
    WorkCopy work(archive);
    if (prm_.tempDir && *prm_.tempDir) {
        const std::string err = work.Prepare(prm_.tempDir);
        if (!err.empty()) {
            message(zeTemp, err);
            return -1;
        }
    }
    // A new archive without encryption is written directly; libzip keeps
    // what needs an existing archive read or entries encrypted.
    lw::platform::FileInfo workInfo;
    const bool fresh = lw::platform::InfoOf(PathFromUtf8(work.Path()), workInfo) == ENOENT;
    const bool encrypted =
        std::any_of(items.begin(), items.end(), [](const ScanItem& it) { return !it.password.empty(); });
    if (fresh && !encrypted) return writeNew(items, work);

    int zerr = 0;
    zip_t* za = zip_open(work.Path().c_str(), ZIP_CREATE, &zerr);
    if (!za) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, zerr);
        const std::string why = zip_error_strerror(&ze);
        zip_error_fini(&ze);
        message(zeCreate, "Cannot open archive \"" + archive + "\": " + why);
        return -1;
    }

    // What to add: update and freshen look at what the archive holds.
    const bool update = prm_.updateFlag != 0;
    const bool freshen = prm_.freshenFlag != 0 && !update;
    time_t latest = 0;
    const zip_int64_t existing = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < existing; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME))
            latest = std::max(latest, st.mtime);
    }
    std::vector<Chosen> replaced, added;
    for (const ScanItem& it : items) {
        const zip_int64_t at = zip_name_locate(za, it.entry.c_str(), ZIP_FL_NOCASE);
        if (it.dirOnly) {
            if (at < 0 && !freshen && zip_dir_add(za, it.entry.c_str(), ZIP_FL_ENC_UTF_8) < 0)
                return fail(za, zeCreate, std::string("Cannot add \"") + it.entry + "\": " + zip_strerror(za));
            continue;
        }
        if (at >= 0 && (update || freshen)) {
            zip_stat_t st;
            if (zip_stat_index(za, zip_uint64_t(at), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME) &&
                (InDosRange(it.mtime) & ~time_t(1)) <= st.mtime)
                continue; // the archive's copy is as new
        }
        if (at < 0 && freshen) continue;
        Chosen c;
        c.item = &it;
        c.replaceIndex = at;
        c.store = isStored(it);
        (at >= 0 ? replaced : added).push_back(c);
    }
    // libzip writes entries in index order: replaced entries keep their
    // places, new ones follow. Pieces are made in that order.
    std::sort(replaced.begin(), replaced.end(),
              [](const Chosen& a, const Chosen& b) { return a.replaceIndex < b.replaceIndex; });
    chosen_ = std::move(replaced);
    chosen_.insert(chosen_.end(), added.begin(), added.end());

    if (chosen_.empty()) {
        const bool dirsAdded = zip_get_num_entries(za, 0) > existing;
        if (!dirsAdded) {
            zip_discard(za);
            message(zeNothing, "Nothing to do for \"" + archive + "\"");
            return 0;
        }
    }

    std::vector<Piece> pieces;
    const uint64_t totalBytes = cutIntoPieces(pieces, latest);

    call(zaFileCount, 0, int64_t(chosen_.size()), "");
    call(zaByteCount, 0, int64_t(totalBytes), "");
    if (aborted_) {
        zip_discard(za);
        message(zeAbort, "Aborted");
        call(zaBatchEnd, 0, 0, "");
        return 0;
    }

    std::vector<std::unique_ptr<Source>> sources;
    for (size_t i = 0; i < chosen_.size(); ++i) {
        const Chosen& c = chosen_[i];
        auto s = std::make_unique<Source>();
        s->run = this;
        s->order = i;
        zip_error_init(&s->error);
        zip_source_t* src = zip_source_function(
            za,
            [](void* ud, void* data, zip_uint64_t len, zip_source_cmd_t cmd) -> zip_int64_t {
                Source* s = static_cast<Source*>(ud);
                return s->run->SourceCall(*s, data, len, cmd);
            },
            s.get());
        if (!src) return fail(za, zeMemory, std::string("Cannot add \"") + c.item->entry + "\": " + zip_strerror(za));
        zip_int64_t idx = c.replaceIndex;
        if (idx >= 0) {
            if (zip_file_replace(za, zip_uint64_t(idx), src, ZIP_FL_ENC_UTF_8) < 0) idx = -1;
        } else {
            idx = zip_file_add(za, c.item->entry.c_str(), src, ZIP_FL_ENC_UTF_8);
        }
        if (idx < 0) {
            zip_source_free(src);
            return fail(za, zeCreate, std::string("Cannot add \"") + c.item->entry + "\": " + zip_strerror(za));
        }
        const auto at = zip_uint64_t(idx);
        zip_set_file_compression(za, at, c.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        zip_file_set_mtime(za, at, InDosRange(c.item->entryTime), 0);
        if (!c.item->password.empty() && zip_file_set_encryption(za, at, ZIP_EM_AES_256, c.item->password.c_str()) < 0)
            return fail(za, zeCreate, std::string("Cannot encrypt \"") + c.item->entry + "\": " + zip_strerror(za));
        sources.push_back(std::move(s));
    }
    if (prm_.archiveComment && *prm_.archiveComment)
        zip_set_archive_comment(za, prm_.archiveComment,
                                zip_uint16_t(std::min<size_t>(std::strlen(prm_.archiveComment), 0xFFFF)));

    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    pipeline_ = std::make_unique<Pipeline>(std::move(pieces), DeflateLevelFor(prm_.compressionLevel), threads,
                                           MaxPiecesInFlight, MaxBytesInFlight);
    const int closed = zip_close(za);
    pipeline_->Stop();
    if (closed < 0) {
        const std::string why = zip_strerror(za);
        zip_discard(za);
        if (aborted_) message(zeAbort, "Aborted; \"" + archive + "\" is unchanged");
        else if (!sourceFailed_)
            message(zeWrite, "Cannot write \"" + archive + "\": " + why);
        call(zaBatchEnd, 0, 0, "");
        return aborted_ ? 0 : -1;
    }

    return finish(work, latest);
}

// The end of a run whose archive is written: moved into place, its time
// set, moved files deleted.
uint64_t Run::cutIntoPieces(std::vector<Piece>& pieces, time_t& latest)
{
    size_t count = 0;
    for (const Chosen& c : chosen_)
        count += c.item->size <= WholeLimit ? 1 : size_t((c.item->size + PieceSize - 1) / PieceSize);
    pieces.reserve(pieces.size() + count);
    uint64_t totalBytes = 0;
    for (Chosen& c : chosen_) {
        const ScanItem& it = *c.item;
        totalBytes += it.size;
        latest = std::max(latest, it.mtime);
        c.firstPiece = pieces.size();
        const uint64_t step = it.size <= WholeLimit ? std::max<uint64_t>(it.size, 1) : PieceSize;
        // An empty file is one piece of no bytes too: reading it is what
        // tells whether it has grown since the scan.
        uint64_t off = 0;
        do {
            Piece p;
            p.path = &it.path;
            p.offset = off;
            p.length = std::min(step, it.size - off);
            p.last = off + p.length >= it.size;
            p.deflate = !c.store;
            p.fileSize = it.size;
            p.mtimeNs = it.mtimeNs;
            pieces.push_back(std::move(p));
            off += step;
        } while (off < it.size);
        c.endPiece = pieces.size();
    }
    return totalBytes;
}

int Run::finish(WorkCopy& work, time_t latest)
{
    const std::string archive = prm_.archiveName;
    const std::string moved = work.Commit();
    if (!moved.empty()) {
        message(zeWrite, moved);
        call(zaBatchEnd, 0, 0, "");
        return -1;
    }
    // A file dated ahead (a clock set wrong, a copy from such a machine)
    // must not date the archive ahead too.
    if (prm_.latestTimeFlag && latest > 0)
        lw::platform::SetModifiedTime(PathFromUtf8(archive), std::min(latest, ::time(nullptr)));
    if (prm_.moveFlag)
        for (const Chosen& c : chosen_) lw::platform::RemoveFile(PathFromUtf8(c.item->path));
    call(zaBatchEnd, 0, 0, "");
    return int(std::min<size_t>(chosen_.size(), 0x7FFFFFFF));
}

int Run::writeNew(const std::vector<ScanItem>& items, WorkCopy& work)
{
    const std::string archive = prm_.archiveName;
    const bool freshen = prm_.freshenFlag != 0 && prm_.updateFlag == 0;
    std::vector<const ScanItem*> dirs;
    for (const ScanItem& it : items) {
        if (it.dirOnly) {
            if (!freshen) dirs.push_back(&it);
        } else if (!freshen) { // freshening a new archive adds nothing
            Chosen c;
            c.item = &it;
            c.store = isStored(it);
            chosen_.push_back(c);
        }
    }
    if (chosen_.empty() && dirs.empty()) {
        message(zeNothing, "Nothing to do for \"" + archive + "\"");
        return 0;
    }

    time_t latest = 0;
    std::vector<Piece> pieces;
    const uint64_t totalBytes = cutIntoPieces(pieces, latest);

    call(zaFileCount, 0, int64_t(chosen_.size()), "");
    call(zaByteCount, 0, int64_t(totalBytes), "");
    auto aborted = [&] {
        if (pipeline_) pipeline_->Stop();
        message(zeAbort, "Aborted; \"" + archive + "\" is unchanged");
        call(zaBatchEnd, 0, 0, "");
        return 0;
    };
    if (aborted_) return aborted();

    ZipWriter out;
    const std::string opened = out.Open(work.Path());
    if (!opened.empty()) {
        message(zeCreate, opened);
        call(zaBatchEnd, 0, 0, "");
        return -1;
    }
    auto writeFailed = [&] {
        if (pipeline_) pipeline_->Stop();
        message(zeWrite, out.Error());
        call(zaBatchEnd, 0, 0, "");
        return -1;
    };
    const time_t now = ::time(nullptr);
    for (const ScanItem* d : dirs)
        if (!out.BeginEntry(d->entry, now, 0, false, true) || !out.EndEntry(0, 0)) return writeFailed();

    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    pipeline_ = std::make_unique<Pipeline>(std::move(pieces), DeflateLevelFor(prm_.compressionLevel), threads,
                                           MaxPiecesInFlight, MaxBytesInFlight);
    for (const Chosen& c : chosen_) {
        const ScanItem& it = *c.item;
        if (call(zaItemStart, 0, int64_t(it.size), it.entry) == -1) return aborted();
        if (!out.BeginEntry(it.entry, it.entryTime, it.size, !c.store, false)) return writeFailed();
        uint32_t crc = 0;
        uint64_t compSize = 0;
        for (size_t k = c.firstPiece; k < c.endPiece; ++k) {
            if (!pipeline_->Wait(k, [this] { return call(zaTick, 0, 0, "") != -1; })) return aborted();
            const Piece& p = pipeline_->At(k);
            if (!p.error.empty()) {
                pipeline_->Stop();
                message(p.errorCode ? p.errorCode : zeOpen, p.error);
                call(zaBatchEnd, 0, 0, "");
                return -1;
            }
            // The first piece's CRC is the file's so far: nothing to combine.
            crc = k == c.firstPiece ? p.crc : uint32_t(crc32_combine(crc, p.crc, z_off_t(p.length)));
            compSize += p.data.size();
            // Written in slices, so that a large piece moves the bar in steps.
            const size_t slices = size_t(std::max<uint64_t>(1, p.length / ProgressStep));
            uint64_t reported = 0;
            for (size_t i = 1; i <= slices; ++i) {
                const size_t from = p.data.size() * (i - 1) / slices, to = p.data.size() * i / slices;
                if (!out.Write(p.data.data() + from, to - from)) return writeFailed();
                const uint64_t target = p.length * i / slices;
                if (call(zaItemBytes, 0, int64_t(target - reported), "") == -1) return aborted();
                reported = target;
            }
            pipeline_->Release(k);
        }
        if (!out.EndEntry(crc, it.size)) return writeFailed();
        if (prm_.verboseFlag) {
            std::string how = "stored";
            if (!c.store && it.size > 0) how = "deflated " + std::to_string(100 - int(compSize * 100 / it.size)) + "%";
            message(0, "  adding: " + it.entry + " (" + how + ")");
        }
    }
    pipeline_->Stop();
    const std::string comment = prm_.archiveComment ? prm_.archiveComment : "";
    if (!out.Commit(comment)) return writeFailed();
    return finish(work, latest);
}

zip_int64_t Run::read(Source& s, uint8_t* data, uint64_t len)
{
    const Chosen& c = chosen_[s.order];
    uint64_t total = 0;
    while (total < len && s.cur < c.endPiece) {
        if (!s.pieceHeld) {
            if (!pipeline_->Wait(s.cur, [this] { return call(zaTick, 0, 0, "") != -1; })) {
                zip_error_set(&s.error, ZIP_ER_CANCELLED, 0);
                return -1;
            }
            const Piece& p = pipeline_->At(s.cur);
            if (!p.error.empty()) {
                sourceFailed_ = true;
                message(p.errorCode ? p.errorCode : zeOpen, p.error);
                zip_error_set(&s.error, ZIP_ER_READ, EIO);
                return -1;
            }
            s.crc = uint32_t(crc32_combine(s.crc, p.crc, z_off_t(p.length)));
            s.compSize += p.data.size();
            s.pieceHeld = true;
            s.offset = 0;
            s.reported = 0;
        }
        const Piece& p = pipeline_->At(s.cur);
        const size_t n = size_t(std::min<uint64_t>(len - total, p.data.size() - s.offset));
        std::memcpy(data + total, p.data.data() + s.offset, n);
        s.offset += n;
        total += n;
        const bool pieceDone = s.offset == p.data.size();
        const uint64_t target = pieceDone ? p.length : p.length * s.offset / p.data.size();
        if (target > s.reported && (pieceDone || target - s.reported >= ProgressStep)) {
            const int64_t step = int64_t(target - s.reported);
            s.reported = target;
            s.progressSent = true;
            if (call(zaItemBytes, 0, step, "") == -1) {
                zip_error_set(&s.error, ZIP_ER_CANCELLED, 0);
                return -1;
            }
        }
        if (pieceDone) {
            pipeline_->Release(s.cur);
            ++s.cur;
            s.pieceHeld = false;
        }
    }
    if (total == 0 && s.cur >= c.endPiece && !s.done) {
        s.done = true;
        if (!s.progressSent && call(zaItemBytes, 0, 0, "") == -1) {
            zip_error_set(&s.error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        if (prm_.verboseFlag) {
            const ScanItem& it = *c.item;
            std::string how = "stored";
            if (!c.store && it.size > 0)
                how = "deflated " + std::to_string(100 - int(s.compSize * 100 / it.size)) + "%";
            message(0, "  adding: " + it.entry + " (" + how + ")");
        }
    }
    return zip_int64_t(total);
}

zip_int64_t Run::SourceCall(Source& s, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
{
    const Chosen& c = chosen_[s.order];
    switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    case ZIP_SOURCE_OPEN:
        if (s.opened) { // the pieces are gone once read
            zip_error_set(&s.error, ZIP_ER_INTERNAL, 0);
            return -1;
        }
        s.opened = true;
        s.cur = c.firstPiece;
        // Pieces of files before this one are done with, read or not.
        if (c.firstPiece > 0) pipeline_->Release(c.firstPiece - 1);
        if (call(zaItemStart, 0, int64_t(c.item->size), c.item->entry) == -1) {
            zip_error_set(&s.error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        return 0;
    case ZIP_SOURCE_READ:
        if (aborted_) {
            zip_error_set(&s.error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        return read(s, static_cast<uint8_t*>(data), len);
    case ZIP_SOURCE_CLOSE: return 0;
    case ZIP_SOURCE_STAT: {
        if (len < sizeof(zip_stat_t)) {
            zip_error_set(&s.error, ZIP_ER_INVAL, 0);
            return -1;
        }
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        st->size = c.item->size;
        st->mtime = c.item->entryTime;
        st->comp_method = c.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        if (s.done) {
            st->valid |= ZIP_STAT_CRC | ZIP_STAT_COMP_SIZE;
            st->crc = s.crc;
            st->comp_size = s.compSize;
        }
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&s.error, data, len);
    case ZIP_SOURCE_FREE: zip_error_fini(&s.error); return 0;
    default: zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
}

} // namespace
} // namespace zipeng

ZIPENG_API int ZipEngExec(ZipExecParams* params)
{
    if (!params) return -1;
    try {
        zipeng::Run run(*params);
        return run.Execute();
    } catch (const std::bad_alloc&) {
        return -2;
    } catch (...) {
        return -3;
    }
}

ZIPENG_API int GetZipEngVersion(void)
{
    return zipeng::EngineVersion;
}

ZIPENG_API int GetZipEngPrivVersion(void)
{
    return zipeng::EngineBuild;
}
