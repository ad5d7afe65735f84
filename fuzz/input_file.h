// The file a fuzz target writes each input to, for the game's loaders, which read files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz {

// A file of the process's own in TMPDIR when that is set, else in /dev/shm where there is one,
// else in /tmp: a file written for every input costs little in memory, but on a disk that
// discards freed blocks its truncation alone costs more than the loading. The file is removed
// when the process ends.
inline const std::string& InputPath(const char* name, const char* extension) {
    static std::string path;
    if (!path.empty()) return path;
    const char* base = std::getenv("TMPDIR");
    std::string folder = base != nullptr                 ? base
                         : access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                         : "/tmp";
    path = folder + "/" + name + "-" + std::to_string(getpid()) + extension;
    std::atexit([] { std::remove(path.c_str()); });
    return path;
}

// Writes the input to the file; aborts the run where it cannot.
inline void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    if (std::fclose(file) != 0) std::abort();
}

}  // namespace fuzz
