#include "platform/Time.h"

namespace lw::platform {

std::tm LocalTime(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

} // namespace lw::platform
