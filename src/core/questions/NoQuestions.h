// Questions for runs without a window (the command line, benchmarks): every
// choice is declined, so a run that needs one fails instead of guessing,
// and what would have been shown is kept as the reason.
#pragma once

#include "core/questions/Questions.h"

#include <ostream>

namespace lw {

class NoQuestions : public Questions {
public:
    // game: what the game question answers (-1: declined, as headless runs
    // must; a benchmark may name one). messages: where shown messages also
    // go, if anywhere.
    explicit NoQuestions(int game = -1, std::ostream* messages = nullptr) : game_(game), messages_(messages) {}

    std::string lastMessage;
    bool askedFolder = false, askedGame = false;

    std::optional<std::string> ChooseFolder(const FolderRequest&) override
    {
        askedFolder = true;
        return std::nullopt;
    }
    std::optional<std::string> ChooseOpenFile(const FileRequest&) override { return std::nullopt; }
    std::vector<std::string> ChooseOpenFiles(const FileRequest&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const FileRequest&) override { return std::nullopt; }
    int ChooseGame() override
    {
        askedGame = true;
        return game_;
    }
    void ShowMessage(MessageKind, const std::string&, const std::string& text) override
    {
        lastMessage = text;
        if (messages_) *messages_ << text << '\n';
    }
    Answer AskYesNoCancel(const std::string&, const std::string&) override { return Answer::Cancel; }
    void Beep() override {}

private:
    int game_;
    std::ostream* messages_;
};

} // namespace lw
