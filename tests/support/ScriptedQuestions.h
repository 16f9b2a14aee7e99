// Scripted answers to the program's questions, and a record of what was
// asked, so commands run end to end in tests.
#pragma once

#include "core/questions/Questions.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace lw::test {

class ScriptedQuestions : public Questions {
public:
    std::deque<std::optional<std::string>> folders, openFiles, saveFiles;
    std::deque<std::vector<std::string>> openFileLists;
    std::deque<int> games;
    std::deque<Answer> answers;

    std::vector<FolderRequest> folderRequests;
    std::vector<FileRequest> fileRequests;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    int gameQuestions = 0;
    int beeps = 0;

    std::optional<std::string> ChooseFolder(const FolderRequest& req) override
    {
        folderRequests.push_back(req);
        return take(folders);
    }
    std::optional<std::string> ChooseOpenFile(const FileRequest& req) override
    {
        fileRequests.push_back(req);
        return take(openFiles);
    }
    std::vector<std::string> ChooseOpenFiles(const FileRequest& req) override
    {
        fileRequests.push_back(req);
        if (openFileLists.empty()) return {};
        auto v = openFileLists.front();
        openFileLists.pop_front();
        return v;
    }
    std::optional<std::string> ChooseSaveFile(const FileRequest& req) override
    {
        fileRequests.push_back(req);
        return take(saveFiles);
    }
    int ChooseGame() override
    {
        ++gameQuestions;
        if (games.empty()) return -1;
        const int g = games.front();
        games.pop_front();
        return g;
    }
    void ShowMessage(MessageKind, const std::string&, const std::string& text) override { messages.push_back(text); }
    Answer AskYesNoCancel(const std::string&, const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty()) return Answer::Cancel;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void Beep() override { ++beeps; }

private:
    static std::optional<std::string> take(std::deque<std::optional<std::string>>& q)
    {
        if (q.empty()) return std::nullopt;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

} // namespace lw::test
