// A stand-in engine library for the loader and component tests, built once
// per FAKE_VERSION. It reports what it was given as messages (action 4), so
// a test can see the command record the component filled, and returns the
// number of file specs.
#include "ZipRecords.h"
#include "platform/Export.h"

#include <cstdio>
#include <cstring>
#include <string>

#define FAKE_API extern "C" LW_EXPORT

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

// Sends one callback and returns the record as the component left it.
ZipCallbackRecord ask(ZipExecParams* p, int action, int err, int64_t size, const std::string& text,
                      void* data = nullptr, int* answer = nullptr)
{
    ZipCallbackRecord rec{};
    rec.callerRef = p->callerRef;
    rec.isZipOperation = 1;
    rec.actionCode = action;
    rec.errorCode = err;
    rec.size = size;
    rec.dataPointer = data;
    std::snprintf(rec.text, sizeof rec.text, "%s", text.c_str());
    const int a = p->callback(&rec);
    if (answer) *answer = a;
    return rec;
}

// The callbacks the real engine does not send (actions 7 to 16), each
// answered back as a message: "aN" followed by what the record holds.
void exerciseCallbacks(ZipExecParams* p)
{
    auto report = [&](int action, const ZipCallbackRecord& r, int answer) {
        say(p, "a" + std::to_string(action) + " answer=" + std::to_string(answer) +
                   " action=" + std::to_string(r.actionCode) + " err=" + std::to_string(r.errorCode) +
                   " size=" + std::to_string(r.size) + " text=\"" + std::string(r.text) + "\"");
    };
    int answer = 0;
    report(7, ask(p, zaNewName, 0, 0, "dir/old name.txt", nullptr, &answer), answer);
    report(8, ask(p, zaPassword, 1, 40, "secret.txt", nullptr, &answer), answer);
    report(9, ask(p, zaCrcError, 0, 0, "bad.txt", nullptr, &answer), answer);
    report(10, ask(p, zaOverwrite, 0, 5, "exists.txt", nullptr, &answer), answer);
    report(11, ask(p, zaSkipped, 0x0311, 0, "skipped.txt", nullptr, &answer), answer);
    {
        ZipCallbackRecord rec{};
        rec.callerRef = p->callerRef;
        rec.actionCode = zaComment;
        std::snprintf(rec.text, 256, "%s", "commented.txt");
        std::snprintf(rec.text + 256, 256, "%s", "old comment");
        answer = p->callback(&rec);
        report(12, rec, answer);
    }
    report(13, ask(p, zaStreamSize, 0, 4096, "", nullptr, &answer), answer);
    for (size_t n : {size_t(10), size_t(600)}) {
        std::string data(n, 'e');
        const ZipCallbackRecord r = ask(p, zaExtraField, 0, int64_t(n), "extra.txt", data.data(), &answer);
        report(14, r, answer);
        if (r.dataPointer && r.dataPointer != data.data()) {
            const std::string back(static_cast<const char*>(r.dataPointer), size_t(r.size));
            say(p, "a14 data " + std::to_string(back.size()) + " bytes" +
                       (back.find_first_not_of(back[0]) == std::string::npos ? " all " + back.substr(0, 1) : " mixed"));
        }
    }
    report(15, ask(p, zaExtraStart, 2, 1000, "step.txt", nullptr, &answer), answer);
    report(16, ask(p, zaExtraBytes, 0, 250, "", nullptr, &answer), answer);
}

} // namespace

FAKE_API int ZipEngExec(ZipExecParams* p)
{
    if (p->archiveName && std::strstr(p->archiveName, "callbacks")) {
        exerciseCallbacks(p);
        return 0;
    }
    say(p, "record level=" + std::to_string(p->compressionLevel) + " junkDirs=" + std::to_string(p->junkDirsFlag) +
               " update=" + std::to_string(p->updateFlag) + " freshen=" + std::to_string(p->freshenFlag) +
               " hidden=" + std::to_string(p->hiddenFilesFlag) + " latest=" + std::to_string(p->latestTimeFlag) +
               " recycle=" + std::to_string(p->recycleFlag) + " marker=" + std::to_string(p->closingMarker) +
               " suffixes=" + str(p->storeSuffixes) + " final=" + str(p->finalArchiveName));
    say(p, "fields owner=" + std::to_string(p->ownerWindow) + " callerRef=" + std::to_string(p->callerRef != nullptr) +
               " interface=" + std::to_string(p->interfaceVersion) + " trace=" + std::to_string(p->traceFlag) +
               " password=" + str(p->password) + " encrypt=" + std::to_string(p->encryptFlag) + " volume=" +
               std::to_string(p->volumeLabelFlag) + " noDirEntries=" + std::to_string(p->noDirEntriesFlag) +
               " fromDateFlag=" + std::to_string(p->fromDateFlag) + " fromDate=\"" + std::string(p->fromDate, 8) +
               "\" verbose=" + std::to_string(p->verboseFlag) + " quiet=" + std::to_string(p->quietFlag) +
               " recurse=" + std::to_string(p->recurseFlag) + " grow=" + std::to_string(p->growFlag) +
               " forceDos=" + std::to_string(p->forceDosFlag) + " move=" + std::to_string(p->moveFlag) + " specCount=" +
               std::to_string(p->specCount) + " archive=" + str(p->archiveName) + " temp=" + str(p->tempDir) +
               " comment=" + str(p->archiveComment) + " archiveOnly=" + std::to_string(p->archiveOnly) +
               " resetArchive=" + std::to_string(p->resetArchive) + " codePage=" + std::to_string(p->codePage));
    for (int i = 0; i < p->excludeCount; ++i) say(p, "exclude " + str(p->excludeArray[i]));
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
