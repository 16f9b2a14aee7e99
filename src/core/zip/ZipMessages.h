// The zip archiver's numbered messages, each named and with the program's
// text beside it. The numbers are the component's interface (ErrCode and
// OnMessage report them, OnZipStr is asked for them, EZipArchiver carries
// them), so they never change; code names them: ZipMsg::NothingToAdd.
//
// The component has no texts of its own: a message that nothing gives a
// text shows its number (TZipArchiver::MissingTextPrefix). The program hands
// these texts to it through OnZipStr; the two trace texts (loaded, unloaded)
// are the component's defaults as well. In a text, "%s" marks where the
// message's argument goes; a text ending in ": " is followed by the reason.
#pragma once

#include <span>
#include <string>

namespace lw {

// X(name, number, text), in the order of the numbers. A number or a name
// given twice does not compile.
// clang-format off
#define LW_ZIP_MESSAGES(X) \
    X(ArchiveNotMade,         10101, "The archive could not be made: ") \
    X(NoArchiveName,          10102, "No archive name was given.") \
    X(OutOfMemory,            10103, "There is not enough memory to make the archive.") \
    X(PasswordNotGiven,       10150, "A password is needed and none was given: ") \
    X(NewPasswordNotGiven,    10151, "A new password is needed and none was given: ") \
    X(DirectoryUnreadable,    10201, "The archive's directory cannot be read.") \
    X(DirectoryReadFailed,    10202, "The archive's directory could not be read: ") \
    X(DirectoryMisplaced,     10203, "The archive's directory is not where the archive says it is.") \
    X(DataAfterEnd,           10204, "There is data after the end of the archive.") \
    X(NothingToAdd,           10301, "There is nothing to add to the archive.") \
    X(EncryptWithoutPassword, 10302, "Encryption needs a password.") \
    X(SpanWithUpdate,         10303, "An archive across several disks cannot be freshened or updated.") \
    X(ArchiveFolderMissing,   10308, "The archive's folder does not exist: %s") \
    X(EngineNotLoaded,        10650, "The zip engine cannot be loaded: %s") \
    X(EngineWrongVersion,     10651, "The zip engine has the wrong version: %s") \
    X(EngineLoaded,           10652, "loaded ") \
    X(EngineUnloaded,         10653, "unloaded ") \
    X(SfxProgramMissing,      10804, "A self-extracting archive needs its program file, which does not exist.") \
    X(CannotOpen,             11001, "The archive cannot be opened: %s") \
    X(BadDrive,               11003, "Not a valid drive: %s") \
    X(NoSuchDrive,            11004, "The drive does not exist: %s") \
    X(Stopped,                11007, "Stopped.") \
    X(EntryHeaderShort,       11013, "The archive is damaged: its directory cannot be read.") \
    X(EntryHeaderSignature,   11015, "The archive is damaged: its directory cannot be read.") \
    X(EntryNameShort,         11017, "The archive is damaged: its directory cannot be read.") \
    X(EntryCommentShort,      11022, "The archive is damaged: its directory cannot be read.") \
    X(NotAnArchive,           11036, "The file is not a zip archive.") \
    X(ArchiveWithoutEnd,      11037, "The file is not a zip archive.") \
    X(DirectoryOnOtherDisk,   11038, "The file is not a zip archive.") \
    X(SpanIntoProgram,        11041, "An archive across several disks cannot be a program (.exe) file.")
// clang-format on

namespace ZipMsg {

// Plain enumerators, so that a name stands wherever a message number is an
// int (ErrCode, OnMessage, EZipArchiver::Ident).
enum Id : int {
#define LW_ZIP_MESSAGE_ENUMERATOR(name, number, text) name = number,
    LW_ZIP_MESSAGES(LW_ZIP_MESSAGE_ENUMERATOR)
#undef LW_ZIP_MESSAGE_ENUMERATOR
    // Not a message: ExtraStepBase + the step kind is looked up for the item
    // text of the engine's secondary step, whose file name is the default.
    ExtraStepBase = 11400,
};

} // namespace ZipMsg

struct ZipMessage {
    ZipMsg::Id id;
    const char* name; // the enumerator's name
    const char* text;
};

// Every message, in the order of their numbers.
std::span<const ZipMessage> ZipMessages();

// The text of a message number; empty for a number without one, so that the
// component's own fallback (the number, or the caller's default) applies.
std::string ZipMessageText(int id);

} // namespace lw
