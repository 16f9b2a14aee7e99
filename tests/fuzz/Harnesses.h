// The fuzz harnesses: one check per entry point that takes outside bytes.
// Each check runs the code on the bytes and throws Failure when a promise
// is broken; crashes, leaks and undefined behaviour are the sanitizers'
// to catch. libFuzzer drives one check per program (FuzzMain.cpp); the
// ordinary test suite replays every input kept under regressions/ and
// seeds/ through all of them (RegressionTest.cpp).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lw::fuzz {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline void Expect(bool condition, const std::string& what)
{
    if (!condition) throw Failure(what);
}

// RTF into the document model; the model's size follows the input's.
void CheckRtfRead(std::string_view input);
// Read, write, read, write: the first write is a fixed point and the text
// survives it.
void CheckRtfRoundTrip(std::string_view input);
// The plain-text rule both ways: reading gives valid UTF-8, and a save
// reopens as the text that was saved.
void CheckPlainText(std::string_view input);
// A string file loaded, one key written, saved and loaded again: lines
// nobody wrote stay as they were.
void CheckStringFile(std::string_view input);
// A list file read, written and read again; opened as a project.
void CheckListFile(std::string_view input);
// An archive's central directory read by the archiver component.
void CheckZipDirectory(std::string_view input);
// Listed paths resolved in a temporary tree.
void CheckPathResolver(std::string_view input);
// File specifications scanned in a temporary tree, and entry names.
void CheckSpecScan(std::string_view input);
// The small-file deflate encoder in each of its forms, inflated back by
// zlib; the form it picks is the smallest.
void CheckTinyDeflate(std::string_view input);
// A tag file (mission, gamesys) and a model read as the check reads them:
// damage is a TagFileError, no read reaches past the file or repeats it
// without end, no used name leaves the FM folder.
void CheckTagFile(std::string_view input);

struct Harness {
    const char* name; // the folder of its seeds and regressions
    void (*check)(std::string_view);
};

inline const std::vector<Harness>& AllHarnesses()
{
    static const std::vector<Harness> all = {
        {"rtf_read", CheckRtfRead},           {"rtf_roundtrip", CheckRtfRoundTrip}, {"plain_text", CheckPlainText},
        {"string_file", CheckStringFile},     {"list_file", CheckListFile},         {"zip_dir", CheckZipDirectory},
        {"path_resolver", CheckPathResolver}, {"spec_scan", CheckSpecScan},         {"tiny_deflate", CheckTinyDeflate},
        {"tag_file", CheckTagFile},
    };
    return all;
}

} // namespace lw::fuzz
