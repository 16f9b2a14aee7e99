#include "platform/Terminal.h"

#include "platform/Utf8.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>

#include <fcntl.h>
#include <io.h>

namespace lw::platform {

// Progress is drawn in place with "\r" and "\x1b[K", which a console
// takes as a command only in the mode Utf8Console asks for.
bool StderrIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0 &&
           (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    args.reserve(size_t(n));
    for (int i = 0; i < n; ++i) args.push_back(Utf8Of(std::wstring_view(wide[i])));
    LocalFree(wide);
    return args;
}

namespace {

// UTF-8 to a console as UTF-16, through WriteConsoleW: a console takes
// bytes in its own code page, but characters as they are. A character whose
// bytes the buffer splits waits there for the rest of them.
class ConsoleBuf final : public std::streambuf {
public:
    explicit ConsoleBuf(HANDLE console) : console_(console) { setp(buf_, buf_ + sizeof buf_); }

    // Writes what is left, a character cut short as U+FFFD.
    void Finish() { writeOut(true); }

protected:
    int_type overflow(int_type c) override
    {
        if (!writeOut(false)) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return writeOut(false) ? 0 : -1; }

private:
    // The bytes at the end of [begin, end) that start a UTF-8 sequence
    // without finishing it; 0 when the text ends on a whole character.
    static size_t unfinishedTail(const char* begin, const char* end)
    {
        size_t back = 0;
        for (const char* p = end; p > begin && back < 4;) {
            --p;
            ++back;
            const auto b = static_cast<unsigned char>(*p);
            if ((b & 0xC0) == 0x80) continue;
            const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            return length > back ? back : 0;
        }
        return 0;
    }

    bool writeOut(bool all)
    {
        char* const end = pptr();
        const size_t tail = all ? 0 : unfinishedTail(buf_, end);
        const std::wstring wide = WideOf(std::string_view(buf_, size_t(end - buf_) - tail));
        bool ok = true;
        for (size_t done = 0; done < wide.size();) {
            DWORD wrote = 0;
            const auto chunk = DWORD(std::min<size_t>(wide.size() - done, 8192));
            if (!WriteConsoleW(console_, wide.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
                ok = false;
                break;
            }
            done += wrote;
        }
        std::memmove(buf_, end - tail, tail);
        setp(buf_, buf_ + sizeof buf_);
        pbump(int(tail));
        return ok;
    }

    HANDLE console_;
    char buf_[4096];
};

} // namespace

struct Utf8Console::State {
    struct Stream {
        std::unique_ptr<ConsoleBuf> buf;
        std::streambuf* oldBuf = nullptr;
        HANDLE console = nullptr;
        DWORD oldMode = 0;
    };
    Stream out, err;
};

Utf8Console::Utf8Console() : state_(std::make_unique<State>())
{
    auto take = [](std::ostream& stream, FILE* file, DWORD which, State::Stream& into) {
        const HANDLE handle = GetStdHandle(which);
        DWORD mode = 0;
        if (handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
            stream.flush();
            into.buf = std::make_unique<ConsoleBuf>(handle);
            into.oldBuf = stream.rdbuf(into.buf.get());
            // Terminal commands (progress drawn in place) for as long as
            // the program runs; consoles before Windows 10 refuse them.
            into.console = handle;
            into.oldMode = mode;
            SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
        } else if (_fileno(file) >= 0) {
            // A file or a pipe gets the bytes as written, without the "\r"
            // the C library's text mode would put before each "\n". (A
            // program without a console has no stream to set.)
            _setmode(_fileno(file), _O_BINARY);
        }
    };
    take(std::cout, stdout, STD_OUTPUT_HANDLE, state_->out);
    take(std::cerr, stderr, STD_ERROR_HANDLE, state_->err);
}

Utf8Console::~Utf8Console()
{
    std::cout.flush();
    std::cerr.flush();
    auto give = [](std::ostream& stream, State::Stream& from) {
        if (!from.buf) return;
        from.buf->Finish();
        stream.rdbuf(from.oldBuf);
        SetConsoleMode(from.console, from.oldMode);
    };
    // In the reverse order: both may be the one console, whose mode err
    // found already changed.
    give(std::cerr, state_->err);
    give(std::cout, state_->out);
}

} // namespace lw::platform
