// Replays every kept input through its harness's check: inputs that once
// failed (regressions/<harness>/) and the seeds (seeds/<harness>/). A new
// file dropped into one of those folders is replayed from then on.
#include "Harnesses.h"

#include "base/FileIO.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace lw::fuzz {
namespace {

std::vector<fs::path> inputsOf(const std::string& harness)
{
    std::vector<fs::path> files;
    for (const char* kind : {"regressions", "seeds"}) {
        const fs::path dir = lw::platform::PathFromUtf8(LW_FUZZ_DIR) / lw::platform::PathFromUtf8(kind) /
                             lw::platform::PathFromUtf8(harness);
        std::error_code ec;
        for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file()) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

void PrintTo(const Harness& h, std::ostream* os)
{
    *os << h.name;
}

namespace {

class Replay : public ::testing::TestWithParam<Harness> {};

TEST_P(Replay, EveryKeptInputPasses)
{
    const Harness& h = GetParam();
    const std::vector<fs::path> files = inputsOf(h.name);
    // Each harness has seeds at least; none would mean a folder went missing.
    ASSERT_FALSE(files.empty()) << "no inputs for " << h.name;
    for (const fs::path& file : files) {
        const std::string bytes = ReadWholeFile(file);
        try {
            h.check(bytes);
        } catch (const Failure& f) {
            ADD_FAILURE() << lw::platform::Utf8Of(file.lexically_relative(lw::platform::PathFromUtf8(LW_FUZZ_DIR)))
                          << ": " << f.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay, ::testing::ValuesIn(AllHarnesses()),
                         [](const ::testing::TestParamInfo<Harness>& info) { return std::string(info.param.name); });

} // namespace
} // namespace lw::fuzz
