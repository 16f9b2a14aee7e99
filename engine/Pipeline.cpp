#include "Pipeline.h"

#include "Deflater.h"
#include "SpecScan.h"
#include "TinyDeflate.h"
#include "ZipRecords.h"
#include "platform/File.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <libdeflate.h>

namespace zipeng {

namespace {

static_assert(SmallPieceLimit <= TinyDeflateLimit);

std::string readPiece(const Piece& p, std::vector<uint8_t>& buf, int& code)
{
    code = zeOpen;
    buf.resize(p.length);
    const std::string& path = *p.path;
    lw::platform::File f;
    if (const int err = f.OpenReadFoundUtf8(path)) return "Cannot read \"" + path + "\": " + std::strerror(err);
    if (const int err = f.ReadAt(p.offset, buf.data(), size_t(p.length))) {
        if (f.Info().size < p.offset + p.length)
            return "Cannot read \"" + path + "\": the file became shorter while it was being added";
        return "Cannot read \"" + path + "\": " + std::strerror(err);
    }
    // Checked after reading, so a change made while the bytes were read
    // is caught too.
    const lw::platform::FileInfo info = f.Info();
    if (info.exists && (info.size != p.fileSize || info.mtimeNs != p.mtimeNs)) {
        code = zeChanged;
        return "\"" + path + "\" changed while it was being packed; pack again once it is saved";
    }
    return {};
}

} // namespace

Pipeline::Pipeline(std::vector<Piece> pieces, int deflateLevel, unsigned threads, size_t maxPieces, uint64_t maxBytes)
    : pieces_(std::move(pieces)), level_(deflateLevel), maxPieces_(maxPieces ? maxPieces : 1), maxBytes_(maxBytes)
{
    if (threads == 0) threads = 1;
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

Pipeline::~Pipeline()
{
    Stop();
}

void Pipeline::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        writerWaiting_ = true;
    }
    workCv_.notify_all();
    doneCv_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

bool Pipeline::mayClaim() const
{
    if (next_ >= pieces_.size()) return true; // lets the worker see there is no more
    if (next_ == released_) return true;      // the one the writer waits for
    return next_ - released_ < maxPieces_ && bytesOut_ + pieces_[next_].length <= maxBytes_;
}

void Pipeline::work()
{
    libdeflate_compressor* comp = nullptr;
    std::vector<uint8_t> raw;
    struct Done {
        std::vector<uint8_t> data;
        uint32_t crc = 0;
        std::string error;
        int code = 0;
    };
    std::vector<Done> done;
    for (;;) {
        // Small pieces are claimed and handed back in runs, so that a run of
        // thousands of small files costs few hand-overs between threads.
        size_t first, count = 0;
        {
            std::unique_lock lock(mutex_);
            ++idle_;
            workCv_.wait(lock, [this] { return stop_ || mayClaim(); });
            --idle_;
            if (stop_ || next_ >= pieces_.size()) break;
            first = next_;
            uint64_t bytes = 0;
            do {
                bytes += pieces_[next_].length;
                bytesOut_ += pieces_[next_].length;
                ++next_;
                ++count;
            } while (count < MaxRun && next_ < pieces_.size() && bytes + pieces_[next_].length <= RunBytes &&
                     mayClaim());
        }
        done.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const Piece& p = pieces_[first + i];
            Done& d = done[i];
            d = Done{};
            d.error = readPiece(p, raw, d.code);
            if (!d.error.empty()) continue;
            d.crc = libdeflate_crc32(0, raw.data(), raw.size());
            if (p.deflate && p.last && p.offset == 0 && raw.size() <= SmallPieceLimit) {
                if (!TinyDeflate(raw.data(), raw.size(), d.data)) {
                    d.error = "Cannot compress \"" + *p.path + "\": out of memory";
                    d.code = zeMemory;
                }
            } else if (p.deflate) {
                if (!comp) comp = libdeflate_alloc_compressor(level_);
                if (!comp || !DeflatePiece(comp, raw.data(), raw.size(), p.last, d.data)) {
                    d.error = "Cannot compress \"" + *p.path + "\": out of memory";
                    d.code = zeMemory;
                }
            } else {
                d.data.swap(raw);
            }
        }
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            wake = writerWaiting_;
            for (size_t i = 0; i < count; ++i) {
                Piece& p = pieces_[first + i];
                Done& d = done[i];
                p.data = std::move(d.data);
                p.crc = d.crc;
                p.error = std::move(d.error);
                p.errorCode = p.error.empty() ? 0 : d.code;
                p.ready = true;
            }
        }
        if (wake) doneCv_.notify_all();
        if (raw.capacity() > (uint64_t(16) << 20)) std::vector<uint8_t>().swap(raw);
    }
    if (comp) libdeflate_free_compressor(comp);
}

bool Pipeline::Wait(size_t k, const std::function<bool()>& tick)
{
    std::unique_lock lock(mutex_);
    while (!pieces_[k].ready) {
        writerWaiting_ = true;
        const bool timedOut = doneCv_.wait_for(lock, std::chrono::milliseconds(100)) == std::cv_status::timeout;
        writerWaiting_ = false;
        if (timedOut && !pieces_[k].ready && tick) {
            lock.unlock();
            const bool go = tick();
            lock.lock();
            if (!go) return false;
        }
        if (stop_ && !pieces_[k].ready) return false;
    }
    return true;
}

void Pipeline::Release(size_t k)
{
    {
        std::lock_guard lock(mutex_);
        for (; released_ <= k && released_ < pieces_.size(); ++released_) {
            Piece& p = pieces_[released_];
            if (released_ < next_) bytesOut_ -= p.length;
            std::vector<uint8_t>().swap(p.data);
        }
        if (next_ < released_) next_ = released_; // never handed out: skipped
        if (idle_ == 0) return;                   // every worker is busy and will look again
    }
    workCv_.notify_all();
}

} // namespace zipeng
