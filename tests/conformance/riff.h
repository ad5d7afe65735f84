// Sound files made byte by byte, for the conformance program and the unit tests alike.
#pragma once

#include <cstdint>
#include <string>

namespace riff {

// The low `bytes` bytes of a number, least significant first.
inline std::string Le(uint32_t value, int bytes = 4) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return s;
}

// A chunk: its identifier, its size (as given, or the size of its data) and its data, padded
// to an even length unless told otherwise.
inline std::string Chunk(const char* id, const std::string& data, long declared = -1,
                         bool pad = true) {
    std::string s =
        std::string(id, 4) +
        Le(static_cast<uint32_t>(declared >= 0 ? declared : static_cast<long>(data.size())));
    s += data;
    if (pad && data.size() % 2 != 0) s.push_back('\0');
    return s;
}

// A RIFF form of the given type around its chunks.
inline std::string Riff(const char* type, const std::string& chunks) {
    return Chunk("RIFF", std::string(type, 4) + chunks, -1, false);
}

}  // namespace riff
