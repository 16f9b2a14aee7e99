#include "Pipeline.h"

#include "Deflater.h"
#include "SpecScan.h"
#include "ZipRecords.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipeng {

namespace {

std::string readPiece(const Piece& p, std::vector<uint8_t>& buf, int& code)
{
    code = zeOpen;
    buf.resize(p.length);
    const int fd = ::open(p.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "Cannot read \"" + p.path + "\": " + std::strerror(errno);
    uint64_t done = 0;
    std::string err;
    while (done < p.length) {
        const ssize_t n = ::pread(fd, buf.data() + done, size_t(p.length - done), off_t(p.offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            err = "Cannot read \"" + p.path + "\": " + std::strerror(errno);
            break;
        }
        if (n == 0) {
            err = "Cannot read \"" + p.path + "\": the file became shorter while it was being added";
            break;
        }
        done += uint64_t(n);
    }
    // Checked after reading, so a change made while the bytes were read
    // is caught too.
    struct stat st {};
    if (err.empty() && ::fstat(fd, &st) == 0 && (uint64_t(st.st_size) != p.fileSize || MtimeNs(st) != p.mtimeNs)) {
        err = "\"" + p.path + "\" changed while it was being packed; pack again once it is saved";
        code = zeChanged;
    }
    ::close(fd);
    return err;
}

} // namespace

Pipeline::Pipeline(std::vector<Piece> pieces, int deflateLevel, unsigned threads,
                   size_t maxPieces, uint64_t maxBytes)
    : pieces_(std::move(pieces)), level_(deflateLevel), maxPieces_(maxPieces ? maxPieces : 1),
      maxBytes_(maxBytes)
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
    }
    workCv_.notify_all();
    doneCv_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

bool Pipeline::mayClaim() const
{
    if (next_ >= pieces_.size()) return true;  // lets the worker see there is no more
    if (next_ == released_) return true;      // the one the writer waits for
    return next_ - released_ < maxPieces_ && bytesOut_ + pieces_[next_].length <= maxBytes_;
}

void Pipeline::work()
{
    libdeflate_compressor* comp = nullptr;
    std::vector<uint8_t> raw;
    for (;;) {
        size_t k;
        {
            std::unique_lock lock(mutex_);
            workCv_.wait(lock, [this] { return stop_ || mayClaim(); });
            if (stop_ || next_ >= pieces_.size()) break;
            k = next_++;
            bytesOut_ += pieces_[k].length;
        }
        Piece& p = pieces_[k];
        int code = 0;
        std::string err = readPiece(p, raw, code);
        std::vector<uint8_t> out;
        uint32_t crc = 0;
        if (err.empty()) {
            crc = libdeflate_crc32(0, raw.data(), raw.size());
            if (p.deflate) {
                if (!comp) comp = libdeflate_alloc_compressor(level_);
                if (!comp || !DeflatePiece(comp, raw.data(), raw.size(), p.last, out)) {
                    err = "Cannot compress \"" + p.path + "\": out of memory";
                    code = zeMemory;
                }
            } else {
                out.swap(raw);
            }
        }
        {
            std::lock_guard lock(mutex_);
            p.data = std::move(out);
            p.crc = crc;
            p.error = std::move(err);
            p.errorCode = p.error.empty() ? 0 : code;
            p.ready = true;
        }
        doneCv_.notify_all();
        if (raw.capacity() > (uint64_t(16) << 20)) std::vector<uint8_t>().swap(raw);
    }
    if (comp) libdeflate_free_compressor(comp);
}

bool Pipeline::Wait(size_t k, const std::function<bool()>& tick)
{
    std::unique_lock lock(mutex_);
    while (!pieces_[k].ready) {
        if (doneCv_.wait_for(lock, std::chrono::milliseconds(100)) == std::cv_status::timeout &&
            !pieces_[k].ready && tick) {
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
        if (next_ < released_) next_ = released_;  // never handed out: skipped
    }
    workCv_.notify_all();
}

} // namespace zipeng
