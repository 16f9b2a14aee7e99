// Turns RTF (or text) files into UTF-8 text the way --convert does, one
// <name>.txt per input in an output folder: for measuring the reader
// against other converters' output.
#include "editor/InfoConvert.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: rtf_totext OUTDIR FILE...\n";
        return 2;
    }
    const std::filesystem::path outDir = argv[1];
    int failed = 0;
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path in = argv[i];
        std::ofstream out(outDir / (in.stem().string() + ".txt"), std::ios::binary);
        if (lw::ConvertInfoFile(in.string(), "-", out, std::cerr) != 0) ++failed;
    }
    return failed ? 1 : 0;
}
