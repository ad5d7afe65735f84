// What makegfx and makesnd share: their one argument, the folder they write to, and the writing
// of a file there with a message when that fails.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace tool {

// Reads the one argument into dir. Without exactly one, prints the usage line and returns false;
// the tool then exits with status 2.
inline bool OutputFolder(int argc, char** argv, const char* name, std::filesystem::path& dir) {
    if (argc != 2) {
        std::cerr << "usage: " << name << " OUTDIR\n";
        return false;
    }
    dir = argv[1];
    return true;
}

// Writes size bytes from data to path. When that fails, says so on stderr after the tool's name
// and returns false.
inline bool WriteFile(const char* name, const std::filesystem::path& path, const void* data,
                      std::size_t size) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        std::cerr << name << ": cannot open " << path.string() << " for writing\n";
        return false;
    }
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) {
        std::cerr << name << ": error writing " << path.string() << "\n";
        return false;
    }
    return true;
}

}  // namespace tool
