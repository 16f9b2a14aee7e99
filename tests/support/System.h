// Which system the tests run on, for the few cases that make sense on one
// system only: they say so and are skipped on the other.
#pragma once

namespace lw::test {

#if defined(_WIN32)
constexpr bool OnWindows = true;
#else
constexpr bool OnWindows = false;
#endif

} // namespace lw::test
