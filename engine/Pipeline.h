// Worker threads that read and compress the pieces of the files to add,
// ahead of the thread that writes the archive. Pieces are handed out in
// order and taken back in order; a bounded window of pieces in flight keeps
// memory flat whatever the size of the files.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zipeng {

struct Piece {
    // The work. The file's path is its scan item's, which outlives the
    // pipeline.
    const std::string* path = nullptr;
    uint64_t offset = 0;
    uint64_t length = 0;
    bool last = true;     // the file's last piece
    bool deflate = false; // false: the bytes as they are
    // The file as the scan saw it; a piece read from a file that has
    // changed since then fails, so no archive holds half an edit.
    uint64_t fileSize = 0;
    int64_t mtimeNs = 0;
    // The result, valid once ready.
    bool ready = false;
    std::vector<uint8_t> data;
    uint32_t crc = 0;  // CRC-32 of the piece's uncompressed bytes
    std::string error; // non-empty: the piece failed
    int errorCode = 0; // the engine error code that goes with it
};

class Pipeline {
public:
    Pipeline(std::vector<Piece> pieces, int deflateLevel, unsigned threads, size_t maxPieces, uint64_t maxBytes);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    size_t Size() const { return pieces_.size(); }
    // Waits until piece k is done. tick runs about every tick interval while
    // waiting; when it returns false the wait ends with false.
    bool Wait(size_t k, const std::function<bool()>& tick);
    Piece& At(size_t k) { return pieces_[k]; }
    // Frees piece k (and every piece before it) so that workers can go on.
    void Release(size_t k);
    void Stop();

private:
    void work();
    bool mayClaim() const;

    std::vector<Piece> pieces_;
    int level_;
    size_t maxPieces_;
    uint64_t maxBytes_;
    std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable doneCv_;
    size_t next_ = 0;       // next piece to hand out
    size_t released_ = 0;   // pieces before this one are freed
    uint64_t bytesOut_ = 0; // uncompressed bytes handed out and not freed
    bool stop_ = false;
    bool writerWaiting_ = false; // the writer sleeps in Wait
    unsigned idle_ = 0;          // workers asleep for want of work
    std::vector<std::thread> threads_;
    static constexpr size_t MaxRun = 64;                    // pieces claimed at once, at most
    static constexpr uint64_t RunBytes = uint64_t(1) << 20; // ... and their bytes
};

} // namespace zipeng
