// Local time, as the system's thread-safe call gives it.
#pragma once

#include <ctime>

namespace lw::platform {

// t broken down in local time.
std::tm LocalTime(std::time_t t);

} // namespace lw::platform
