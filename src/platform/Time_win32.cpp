#include "platform/Time.h"

namespace lw::platform {

std::tm LocalTime(std::time_t t)
{
    std::tm tm{};
    localtime_s(&tm, &t);
    return tm;
}

} // namespace lw::platform
