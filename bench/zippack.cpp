// zippack LISTFILE OUT.zip: packs the files of a list file (paths relative
// to the list file's directory, one per line) the way the main window's Zip
// command does, for the benchmark until the program packs from the command
// line itself.
#include "core/zip/ZipArch.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: zippack LISTFILE OUT.zip\n";
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path list = fs::absolute(argv[1]);
    std::ifstream in(list);
    if (!in) {
        std::cerr << "cannot read " << list << "\n";
        return 2;
    }
    lw::TZipArchiver zipper;
    zipper.SetAddCompLevel(9);
    zipper.SetAddOptions({lw::AddDirNames, lw::AddUpdate, lw::AddZipTime, lw::AddHiddenFiles});
    zipper.SetAddStoreSuffixes(lw::DefaultStoreSuffixes());
    zipper.SetHowToDelete(lw::htdFinal);
    zipper.OnMessage = [](lw::TZipArchiver*, int code, const std::string& text) {
        std::cerr << (code ? "error " + std::to_string(code) + ": " : "") << text << "\n";
    };
    std::error_code ec;
    fs::remove(argv[2], ec);
    zipper.FSpecArgs().clear();
    zipper.SetZipFileName(argv[2]);
    zipper.SetRootDir(list.parent_path().string() + "/");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) zipper.FSpecArgs().push_back(line);
    }
    const int rc = zipper.AddToArchive();
    std::cout << zipper.SuccessCnt() << " files, " << zipper.Count() << " entries read back\n";
    return rc == 0 ? 0 : 1;
}
