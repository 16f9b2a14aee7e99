// A stand-in engine library for the loader and component tests, built once
// per FAKE_VERSION. It reports what it was given as messages (action 4), so
// a test can see the command record the component filled, and returns the
// number of file specs.
#include "ZipRecords.h"

#include <cstdio>
#include <cstring>
#include <string>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {

void say(ZipExecParams* p, const std::string& text)
{
    if (!p->callback) return;
    ZipCallbackRecord rec{};
    rec.callerRef = p->callerRef;
    rec.actionCode = zaMessage;
    std::snprintf(rec.text, sizeof rec.text, "%s", text.c_str());
    p->callback(&rec);
}

std::string str(const char* s)
{
    return s ? std::string("\"") + s + "\"" : "null";
}

} // namespace

FAKE_API int ZipEngExec(ZipExecParams* p)
{
    say(p, "record level=" + std::to_string(p->compressionLevel) +
               " junkDirs=" + std::to_string(p->junkDirsFlag) +
               " update=" + std::to_string(p->updateFlag) +
               " freshen=" + std::to_string(p->freshenFlag) +
               " hidden=" + std::to_string(p->hiddenFilesFlag) +
               " latest=" + std::to_string(p->latestTimeFlag) +
               " recycle=" + std::to_string(p->recycleFlag) +
               " marker=" + std::to_string(p->closingMarker) +
               " suffixes=" + str(p->storeSuffixes) +
               " final=" + str(p->finalArchiveName));
    for (int i = 0; i < p->specCount; ++i) {
        const ZipFileSpecEntry& e = p->specArray[i];
        say(p, "spec " + str(e.fileSpec) + " recurse=" + std::to_string(e.recurseFlag) +
                   " encrypt=" + std::to_string(e.encryptFlag) + " password=" + str(e.password) +
                   " root=" + str(e.rootDir) + " literal=" + std::to_string(e.literalFlag));
    }
    return p->specCount;
}

FAKE_API int GetZipEngVersion(void)
{
    return FAKE_VERSION;
}

FAKE_API int GetZipEngPrivVersion(void)
{
    return FAKE_VERSION * 100;
}
