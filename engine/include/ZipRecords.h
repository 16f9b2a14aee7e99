// The records exchanged between the zip archiver component and the zip
// engine library. The engine is our own, so the fields keep their order and
// meaning from the original 32-bit interface but take the layout native to
// this platform: natural alignment, pointers of the platform's width and
// 64-bit sizes where a file size can exceed 4 GB.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Interface version the component asks for and the engine reports. */
#define ZIPENG_INTERFACE_VERSION 173
#define ZIPENG_CLOSING_MARKER 7
#define ZIPENG_TEXT_SIZE 512

/* Engine actions in ZipCallbackRecord.actionCode. */
enum ZipEngAction {
    zaTick = 0,      /* keep-alive */
    zaItemStart = 1, /* text = name, size = file size */
    zaItemBytes = 2, /* size = bytes done in this step */
    zaBatchEnd = 3,
    zaMessage = 4,   /* errorCode, text */
    zaFileCount = 5, /* size = number of files */
    zaByteCount = 6, /* size = number of bytes */
    zaNewName = 7,
    zaPassword = 8,
    zaCrcError = 9,
    zaOverwrite = 10,
    zaSkipped = 11,
    zaComment = 12,
    zaStreamSize = 13,
    zaExtraField = 14,
    zaExtraStart = 15,
    zaExtraBytes = 16
};

/* Error codes the engine reports (low byte of errorCode). */
enum ZipEngError {
    zeOk = 0,
    zeMemory = 4,
    zeAbort = 9, /* the callback asked to stop */
    zeTemp = 10,
    zeRead = 11,    /* an archive could not be read */
    zeNothing = 12, /* nothing to do */
    zeWrite = 14,
    zeCreate = 15,    /* the archive could not be written */
    zeParams = 16,    /* a bad command record */
    zeOpen = 18,      /* a listed file could not be found or read */
    zeNameClash = 19, /* two entry names differ only in letter case */
    zeBadName = 20,   /* an entry name that Windows cannot create */
    zeChanged = 21    /* a file changed while it was being added */
};

struct ZipCallbackRecord;
typedef int (*ZipCallbackFn)(struct ZipCallbackRecord* rec);

typedef struct ZipFileSpecEntry {
    const char* fileSpec; /* trimmed spec text */
    const char* password; /* this entry's password, or null */
    int32_t encryptFlag;  /* nonzero: encrypt */
    uint16_t recurseFlag; /* 0xFFFF or 0 */
    const char* rootDir;  /* full path the spec is relative to, or null */
    int32_t literalFlag;  /* nonzero: fileSpec is one file name, no wildcards */
    int64_t entryTime;    /* nonzero: the time (seconds since 1970, UTC) of the
                             entries this spec adds, instead of their files' */
    void* reserved[2];
} ZipFileSpecEntry;

typedef struct ZipExecParams {
    uintptr_t ownerWindow;
    void* callerRef;
    int32_t interfaceVersion;
    ZipCallbackFn callback;
    int32_t traceFlag;
    const char* password;
    const char* storeSuffixes; /* ".gif:.png:...", or null */
    int32_t encryptFlag;
    int32_t hiddenFilesFlag;
    int32_t volumeLabelFlag;
    int32_t noDirEntriesFlag;
    int32_t fromDateFlag;
    int32_t verboseFlag;
    int32_t quietFlag;
    int32_t compressionLevel;
    int32_t junkDirsFlag;
    uint16_t recurseFlag;
    int32_t growFlag;
    int32_t forceDosFlag;
    int32_t moveFlag;
    int32_t updateFlag;
    int32_t freshenFlag;
    int32_t latestTimeFlag;
    char fromDate[8]; /* "mm dd yy", no NUL */
    int32_t specCount;
    const char* archiveName;
    const char* tempDir;
    const char* archiveComment;
    uint16_t archiveOnly;
    uint16_t resetArchive;
    ZipFileSpecEntry* specArray;
    int32_t excludeCount;
    const char* const* excludeArray;
    int32_t outStreamFlag;
    void* outStream;
    int64_t outStreamSize;
    int32_t inStreamFlag;
    const void* inStream;
    int64_t inStreamSize;
    int32_t inStreamAttributes;
    int32_t inStreamDate;
    int32_t recycleFlag;
    uint16_t codePage;
    /* The file the archive will replace once it is complete, when it is
       written under another name; like the archive itself, never added to
       it. Null: none. */
    const char* finalArchiveName;
    int32_t closingMarker; /* ZIPENG_CLOSING_MARKER */
} ZipExecParams;

typedef struct ZipCallbackRecord {
    void* callerRef; /* ZipExecParams.callerRef */
    int32_t isZipOperation;
    int32_t actionCode; /* only the low byte counts */
    int32_t errorCode;
    int64_t size;
    char text[ZIPENG_TEXT_SIZE]; /* oldComment at text + 256 for action 12 */
    void* dataPointer;
} ZipCallbackRecord;

/* Entry points of the engine library.

   int ZipEngExec(ZipExecParams* params)
     Adds the files the spec entries name to params->archiveName (a new
     archive, or an update of an existing one as updateFlag and freshenFlag
     say), calling params->callback on the calling thread for progress,
     messages and questions. Returns:
       n >= 0  the number of files added (0 with a zeNothing message when
               there was nothing to do, or after the callback stopped the
               run with zeAbort; the archive is then unchanged);
       -1      the run failed: a zaMessage callback with a ZipEngError code
               and a text naming the file has said why (a bad command
               record: zeParams; a listed file missing or unreadable:
               zeOpen; a name Windows cannot create: zeBadName; two names
               that differ only in case: zeNameClash; a file changed while
               it was read: zeChanged; the archive not written: zeCreate or
               zeWrite). No archive is left half-written;
       -2      out of memory, -3 any other unexpected failure (no message).
     A null params gives -1 without a callback.

   int GetZipEngVersion(void)      ZIPENG_INTERFACE_VERSION or higher.
   int GetZipEngPrivVersion(void)  the engine's own build number.

   The flag fields of ZipExecParams are booleans (nonzero: on) unless their
   comment says otherwise: encryptFlag (encrypt with password),
   hiddenFilesFlag (add hidden files), noDirEntriesFlag (no entries for
   folders), fromDateFlag (only files from fromDate on), junkDirsFlag (store
   names without their folders), recurseFlag (0xFFFF: descend into
   folders), moveFlag (delete the files once added), updateFlag (add
   changed and new files), freshenFlag (only changed files that the archive
   holds), latestTimeFlag (give the archive the newest file's time),
   verboseFlag (report what is skipped and why through zaMessage);
   traceFlag, quietFlag, volumeLabelFlag, growFlag, forceDosFlag,
   recycleFlag, archiveOnly, resetArchive and the stream fields are
   accepted and ignored by this engine. */
typedef int (*ZipEngExecFn)(ZipExecParams* params);
typedef int (*ZipEngVersionFn)(void);

#ifdef __cplusplus
}
#endif
