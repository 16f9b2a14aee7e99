// libFuzzer's entry point for one harness, named by LW_FUZZ_CHECK. A broken
// promise is reported and aborts, so libFuzzer keeps the input.
#include "Harnesses.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        lw::fuzz::LW_FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const lw::fuzz::Failure& f) {
        std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", f.what());
        std::abort();
    }
    return 0;
}
