// The multimedia file and command calls of the game: the RIFF chunk walk that reads a sound
// file, and the MCI command strings of the music with no device open.
#include "conformance.h"
#include "riff.h"

#include <cstdio>
#include <string>

namespace conformance {
namespace {

using riff::Chunk;
using riff::Riff;

// 8-bit mono PCM at 11025 Hz, as a format chunk holds it: the tag, the channels, the rate, the
// bytes a second, the block and the bits.
std::string Format() {
    return riff::Le(1, 2) + riff::Le(1, 2) + riff::Le(11025) + riff::Le(11025) + riff::Le(1, 2) +
           riff::Le(8, 2);
}

struct FileCase {
    const char* what;
    std::string bytes;
    bool found;        // whether the walk finds format and data
    DWORD dataSize;    // the data chunk's size as declared
    DWORD dataOffset;  // where its data starts
    LONG dataRead;     // what a read of the declared size gives
    MMRESULT result;   // none, or that of the step that fails
};

std::vector<FileCase> Cases() {
    const std::string data5("\x10\x20\x30\x40\x50", 5), fmt = Chunk("fmt ", Format());
    const std::string info = Chunk("LIST", std::string("INFO") + Chunk("INAM", "abc"));
    const DWORD infoSize = static_cast<DWORD>(info.size());
    return {
        {"format, then data", Riff("WAVE", fmt + Chunk("data", data5)), true, 5, 12 + 24 + 8, 5, 0},
        // A LIST chunk before the format, holding an odd-sized chunk of its own.
        {"a LIST before the format", Riff("WAVE", info + fmt + Chunk("data", data5)), true, 5,
         12 + infoSize + 24 + 8, 5, 0},
        // An odd-sized chunk is followed by a pad byte that belongs to no chunk.
        {"an odd-sized chunk between format and data",
         Riff("WAVE", fmt + Chunk("junk", "xyz") + Chunk("data", data5)), true, 5, 12 + 24 + 12 + 8,
         5, 0},
        // A format chunk of 18 bytes, as some writers make them.
        {"a format chunk of 18 bytes",
         Riff("WAVE", Chunk("fmt ", Format() + std::string(2, '\0')) + Chunk("data", data5)), true,
         5, 12 + 26 + 8, 5, 0},
        // A file cut short: the data chunk claims more than there is.
        {"a data chunk cut short", Riff("WAVE", fmt + Chunk("data", data5, 100, false)), true, 100,
         12 + 24 + 8, 5, 0},
        {"no data chunk", Riff("WAVE", fmt), false, 0, 0, 0, MMIOERR_CHUNKNOTFOUND},
        {"not a WAVE", Riff("AVI ", fmt), false, 0, 0, 0, MMIOERR_CHUNKNOTFOUND},
    };
}

// The game's walk over a sound file: the WAVE form, its format chunk (read as 18 bytes), back
// out, and its data chunk, read whole.
TEST(Files, TheChunkWalkOfTheGamesSoundFiles) {
    char name[] = "conformance_walk.wav";
    for (const FileCase& c : Cases()) {
        SCOPED_TRACE(c.what);
        std::FILE* f = std::fopen(name, "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(c.bytes.data(), 1, c.bytes.size(), f), c.bytes.size());
        ASSERT_EQ(std::fclose(f), 0);

        HMMIO file = mmioOpenA(name, nullptr, MMIO_ALLOCBUF | MMIO_READ);
        ASSERT_NE(file, nullptr);
        MMCKINFO riff{};
        riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
        MMRESULT result = mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF);
        if (result == MMSYSERR_NOERROR) {
            // The form's identifier, its size and where its data starts.
            EXPECT_EQ(std::tuple(riff.ckid, riff.cksize, riff.dwDataOffset),
                      (std::tuple<FOURCC, DWORD, DWORD>(FOURCC_RIFF, c.bytes.size() - 8, 8)));
            MMCKINFO chunk{};
            chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
            result = mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK);
            EXPECT_EQ(result, static_cast<MMRESULT>(MMSYSERR_NOERROR));
            if (result == MMSYSERR_NOERROR) {
                WAVEFORMATEX format{};
                // Two bytes past the chunk, unless the file ends there.
                EXPECT_EQ(mmioRead(file, reinterpret_cast<HPSTR>(&format), 18), c.found ? 18 : 16);
                EXPECT_EQ(
                    std::tuple(format.wFormatTag, format.nSamplesPerSec, format.wBitsPerSample),
                    (std::tuple<WORD, DWORD, WORD>(WAVE_FORMAT_PCM, 11025, 8)));
                EXPECT_EQ(mmioAscend(file, &chunk, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
                chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
                result = mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK);
            }
            if (result == MMSYSERR_NOERROR) {
                EXPECT_EQ(std::pair(chunk.cksize, chunk.dwDataOffset),
                          std::pair(c.dataSize, c.dataOffset));
                char data[128] = {};
                EXPECT_EQ(mmioRead(file, data, static_cast<LONG>(chunk.cksize)), c.dataRead);
                EXPECT_EQ(std::string(data, 5), std::string("\x10\x20\x30\x40\x50", 5));
            }
        }
        EXPECT_EQ(result == MMSYSERR_NOERROR, c.found);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(mmioClose(file, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
        std::remove(name);
    }
    char missing[] = "conformance_missing.wav";
    EXPECT_EQ(mmioOpenA(missing, nullptr, MMIO_ALLOCBUF | MMIO_READ), nullptr);
}

// The game's music commands, sent with nothing open (no sequencer, no file): each one fails,
// and none that asked for a notification posts one.
TEST(Files, MusicCommandsWithNoDeviceOpen) {
    DrainMessages();
    const struct {
        const char* command;
        bool notify;
        MCIERROR expected;
        MCIERROR wine;  // what Wine answers instead, where it differs
    } kCases[] = {
        // Windows looks an alias up among the open devices and answers 263 for one that is not
        // open. Wine takes a name that is no open alias for a file to open by its extension and,
        // finding none, answers 281 (MCIERR_EXTENSION_NOT_FOUND).
        {"close all", false, 0, 0},
        {"stop MUSIC", false, MCIERR_INVALID_DEVICE_NAME, 281},
        {"play MUSIC notify", true, MCIERR_INVALID_DEVICE_NAME, 281},
        {"play MUSIC from 0 notify", true, MCIERR_INVALID_DEVICE_NAME, 281},
        {"open conformance_missing.mid type sequencer alias MUSIC", false, MCIERR_FILE_NOT_FOUND,
         MCIERR_FILE_NOT_FOUND},
        {"close all", false, 0, 0},
    };
    for (const auto& c : kCases) {
        char answer[64] = "untouched";
        MCIERROR result =
            mciSendStringA(c.command, answer, sizeof answer, c.notify ? Window() : nullptr);
        EXPECT_EQ(result, UnderWine() ? c.wine : c.expected) << c.command;
    }
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        EXPECT_NE(message.message, static_cast<UINT>(MM_MCINOTIFY));
}

}  // namespace
}  // namespace conformance
