// What an open file does alike on every system; the calls themselves are
// in File_posix.cpp and File_win32.cpp.
#include "platform/File.h"

namespace lw::platform {

File::~File()
{
    Close();
}

File::File(File&& other) noexcept : handle_(other.handle_)
{
    other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

} // namespace lw::platform
