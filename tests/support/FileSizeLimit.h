// Makes every write past a size fail (EFBIG) while it lives: a way to make
// a save fail that works for root too. POSIX only (RLIMIT_FSIZE); Active()
// is false elsewhere and tests then skip that case, saying WhyNot().
#pragma once

#if defined(_WIN32)

namespace lw::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long) {}
    bool Active() const { return false; }
    // Nothing else makes a write fail part-way on Windows: a full disk
    // cannot be made for one test, and a quota needs an administrator.
    const char* WhyNot() const
    {
        return "Windows has no file size limit per process to make a write fail part-way (RLIMIT_FSIZE is POSIX)";
    }
};

} // namespace lw::test

#else

#include <csignal>
#include <sys/resource.h>

namespace lw::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool Active() const { return active_; }
    const char* WhyNot() const { return "the system refused a lower file size limit (setrlimit RLIMIT_FSIZE)"; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool active_ = false;
};

} // namespace lw::test

#endif
