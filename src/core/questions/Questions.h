// Every question the program puts to the user goes through this interface:
// the program answers with real dialogs, tests with scripted answers, so
// each command can be run end to end without a person.
#pragma once

#include "core/questions/FolderOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace lw {

enum class MessageKind { Information, Warning, Error };
enum class Answer { Yes, No, Cancel };

struct FolderRequest {
    std::string title;    // window caption
    std::string text;     // instruction above the folders; may be empty
    std::string startDir; // folder shown first; may be empty or invalid
    FolderOptions options = FolderOptions::Defaults();
};

struct FileRequest {
    std::string title;  // empty: the toolkit's default caption
    std::string filter; // "File List|*.lst|Any File|*.*"; empty: none
    std::string initialDir;
    std::string fileName;   // proposed name (save dialogs)
    std::string defaultExt; // without dot; added to a name typed without one
    bool overwritePrompt = false;
};

class Questions {
public:
    virtual ~Questions() = default;
    // A real directory, without trailing separator; nothing when cancelled.
    virtual std::optional<std::string> ChooseFolder(const FolderRequest& req) = 0;
    virtual std::optional<std::string> ChooseOpenFile(const FileRequest& req) = 0;
    virtual std::vector<std::string> ChooseOpenFiles(const FileRequest& req) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const FileRequest& req) = 0;
    // The game type dialog: 0..2, or -1 when it is cancelled.
    virtual int ChooseGame() = 0;
    virtual void ShowMessage(MessageKind kind, const std::string& caption, const std::string& text) = 0;
    virtual Answer AskYesNoCancel(const std::string& caption, const std::string& text) = 0;
    // Yes or No, No the default; without a box of its own, the three-way
    // question stands in, Cancel meaning No.
    virtual Answer AskYesNo(const std::string& caption, const std::string& text)
    {
        return AskYesNoCancel(caption, text) == Answer::Yes ? Answer::Yes : Answer::No;
    }
    virtual void Beep() = 0;
};

} // namespace lw
