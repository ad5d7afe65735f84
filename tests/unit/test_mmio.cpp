// RIFF file reading: opening, plain reads and the chunk walk over well-made, oddly padded,
// cut-off and lying files.
#include "../support/support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

using namespace testing_support;

namespace {

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Le16(uint16_t v) {
    std::string s(2, '\0');
    s[0] = static_cast<char>(v & 0xFF);
    s[1] = static_cast<char>(v >> 8);
    return s;
}

// A chunk with its pad byte when the size is odd.
std::string Chunk(const char* id, const std::string& data) {
    std::string s = std::string(id, 4) + Le32(static_cast<uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0) s.push_back('\0');
    return s;
}

// A chunk header claiming `size` bytes, followed by whatever the caller adds.
std::string Header(const char* id, uint32_t size) { return std::string(id, 4) + Le32(size); }

std::string Riff(const char* form, const std::string& body) {
    return "RIFF" + Le32(static_cast<uint32_t>(4 + body.size())) + std::string(form, 4) + body;
}

std::string PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    return Le16(WAVE_FORMAT_PCM) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) +
           Le16(bits);
}

class Mmio : public ::testing::Test {
protected:
    void SetUp() override {
        Backend();
        dir_ = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    HMMIO Open(const std::string& path) {
        std::string copy = path;
        return mmioOpenA(copy.data(), nullptr, MMIO_ALLOCBUF | MMIO_READ);
    }
    static std::string Read(HMMIO h, LONG n) {
        std::string out(static_cast<size_t>(n), '\0');
        LONG got = mmioRead(h, out.data(), n);
        if (got < 0) return "<error>";
        out.resize(static_cast<size_t>(got));
        return out;
    }
    static MMCKINFO Riffed(FOURCC type) {
        MMCKINFO ck;
        std::memset(&ck, 0, sizeof ck);
        ck.fccType = type;
        return ck;
    }
    static MMCKINFO Named(FOURCC id) {
        MMCKINFO ck;
        std::memset(&ck, 0, sizeof ck);
        ck.ckid = id;
        return ck;
    }
    std::string dir_;
};

const FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
const FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
const FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');

TEST_F(Mmio, OpensOnlyExistingFilesForReadingAndRefusesDeadHandles) {
    std::string path = Write("a.snd", "RIFF");
    char missing[] = "/nonexistent/folder/none.snd";
    EXPECT_EQ(mmioOpenA(missing, nullptr, MMIO_ALLOCBUF | MMIO_READ), nullptr);
    std::string folder = dir_;
    EXPECT_EQ(mmioOpenA(folder.data(), nullptr, MMIO_READ), nullptr);
    EXPECT_EQ(mmioOpenA(nullptr, nullptr, MMIO_READ), nullptr);
    std::string copy = path;
    EXPECT_EQ(mmioOpenA(copy.data(), nullptr, 0x00000001 /* write */), nullptr);

    HMMIO plain = mmioOpenA(copy.data(), nullptr, MMIO_READ);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(mmioClose(plain, 0), MMSYSERR_NOERROR);

    HMMIO h = Open(path);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Read(h, 4), "RIFF");
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);

    // A closed handle, a made-up one and none at all are refused without harm.
    MMCKINFO ck = Riffed(kWave);
    char buf[4];
    for (HMMIO bad : {h, reinterpret_cast<HMMIO>(uintptr_t{0x7654321}), static_cast<HMMIO>(nullptr)}) {
        EXPECT_EQ(mmioRead(bad, buf, 4), -1);
        EXPECT_NE(mmioDescend(bad, &ck, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
        EXPECT_NE(mmioAscend(bad, &ck, 0), MMSYSERR_NOERROR);
        EXPECT_NE(mmioClose(bad, 0), MMSYSERR_NOERROR);
    }
}

TEST_F(Mmio, ReadsAcrossChunksUpToTheEndOfTheFile) {
    std::string bytes = Riff("WAVE", Chunk("abcd", "xyz") + Chunk("efgh", "12"));
    HMMIO h = Open(Write("r.snd", bytes));
    ASSERT_NE(h, nullptr);
    char buf[8];
    EXPECT_EQ(mmioRead(h, buf, -1), -1);
    EXPECT_EQ(mmioRead(h, nullptr, 4), -1);
    EXPECT_EQ(mmioRead(h, buf, 0), 0);
    EXPECT_EQ(Read(h, 10), bytes.substr(0, 10));
    EXPECT_EQ(Read(h, 1000), bytes.substr(10));  // not bounded by any chunk
    EXPECT_EQ(mmioRead(h, buf, 8), 0);           // at the end
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

TEST_F(Mmio, WalksPastListAndPaddedChunksToFormatAndData) {
    std::string fmt = PcmFormat(1, 22050, 8);
    std::string samples = "\x01\x02\x03\x04\x05";
    // An odd-sized LIST first (with its pad byte), an odd-sized unknown chunk between.
    std::string body = Chunk("LIST", "INFOabc") + Chunk("fmt ", fmt) + Chunk("junk", "j") +
                       Chunk("data", samples);
    std::string bytes = Riff("WAVE", body);
    HMMIO h = Open(Write("w.snd", bytes));
    ASSERT_NE(h, nullptr);

    MMCKINFO riff = Riffed(kWave);
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.cksize, bytes.size() - 8);
    EXPECT_EQ(riff.fccType, kWave);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    EXPECT_EQ(riff.dwFlags, 0u);

    MMCKINFO chunk = Named(kFmt);
    ASSERT_EQ(mmioDescend(h, &chunk, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    size_t fmtAt = bytes.find("fmt ");
    EXPECT_EQ(chunk.ckid, kFmt);
    EXPECT_EQ(chunk.cksize, 16u);
    EXPECT_EQ(chunk.dwDataOffset, fmtAt + 8);
    // 18 bytes from a 16-byte chunk: the last two come from the next chunk's ID.
    EXPECT_EQ(Read(h, 18), fmt + "ju");
    ASSERT_EQ(mmioAscend(h, &chunk, 0), MMSYSERR_NOERROR);

    chunk.ckid = kData;
    ASSERT_EQ(mmioDescend(h, &chunk, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(chunk.cksize, 5u);
    EXPECT_EQ(chunk.dwDataOffset, bytes.find("data") + 8);
    EXPECT_EQ(Read(h, 5), samples);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

TEST_F(Mmio, DescendWithoutFlagsTakesTheNextChunk) {
    std::string body = Chunk("LIST", "INFOabc") + Chunk("fmt ", PcmFormat(2, 44100, 16)) +
                       Chunk("data", "abcd");
    HMMIO h = Open(Write("n.snd", Riff("WAVE", body)));
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = Riffed(0);
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.fccType, kWave);

    MMCKINFO ck = Named(0);
    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.ckid, FOURCC_LIST);
    EXPECT_EQ(ck.cksize, 7u);
    EXPECT_EQ(ck.fccType, mmioFOURCC('I', 'N', 'F', 'O'));
    EXPECT_EQ(ck.dwDataOffset, 20u);
    EXPECT_EQ(Read(h, 3), "abc");  // the position is past the list's type
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);  // over the pad byte

    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.ckid, kFmt);
    EXPECT_EQ(ck.fccType, 0u);
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.ckid, kData);
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioDescend(h, &ck, &riff, 0), MMIOERR_CHUNKNOTFOUND);  // the end of the form
    EXPECT_EQ(ck.ckid, kData);  // a failed search leaves the description alone
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

TEST_F(Mmio, FindsTheRiffFormByItsType) {
    std::string bytes = Riff("AVI ", Chunk("data", "zz")) + Riff("WAVE", Chunk("data", "ok"));
    HMMIO h = Open(Write("two.snd", bytes));
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = Riffed(kWave);
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.dwDataOffset, 30u);  // the second form, after 22 bytes of the first
    MMCKINFO ck = Named(kData);
    ASSERT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(Read(h, 2), "ok");
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);

    // No WAVE form at all; a RIFX file; a LIST is not a RIFF.
    for (const std::string& other :
         {Riff("AVI ", Chunk("data", "zz")), "RIFX" + Le32(8) + "WAVE" + Chunk("data", "zz"),
          Chunk("LIST", "WAVEdata")}) {
        h = Open(Write("other.snd", other));
        ASSERT_NE(h, nullptr);
        riff = Riffed(kWave);
        EXPECT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMIOERR_CHUNKNOTFOUND);
        EXPECT_EQ(riff.ckid, 0u);
        EXPECT_EQ(Read(h, 4), other.substr(0, 4));  // the position is where it was
        EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    }
}

TEST_F(Mmio, StaysInsideTheParentAndTheFile) {
    std::string fmt = Chunk("fmt ", PcmFormat(1, 8000, 8));
    // The RIFF chunk holds only the format chunk; a data chunk follows outside it.
    std::string bytes = "RIFF" + Le32(4 + static_cast<uint32_t>(fmt.size())) + "WAVE" + fmt +
                        Chunk("data", "outside");
    HMMIO h = Open(Write("p.snd", bytes));
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = Riffed(kWave);
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    MMCKINFO ck = Named(kData);
    EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    // Without the parent the search runs on through the file.
    ASSERT_EQ(mmioDescend(h, &ck, nullptr, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(Read(h, 7), "outside");
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);

    // Chunks that claim more than there is: a skipped chunk running past its parent, one
    // whose size wraps 32-bit offsets, one whose size with its pad byte wraps.
    for (uint32_t lie : {1000u, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
        std::string body = Header("junk", lie) + std::string(8, 'j') + Chunk("fmt ", PcmFormat(1, 8000, 8)) +
                           Chunk("data", "dd");
        h = Open(Write("lie.snd", Riff("WAVE", body)));
        ASSERT_NE(h, nullptr);
        riff = Riffed(kWave);
        ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
        ck = Named(kFmt);
        EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND) << lie;
        ck = Named(kData);
        EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND) << lie;
        EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    }

    // A RIFF size past the end of the file: the search ends with the file; a data chunk
    // claiming more than the file has is found with its stated size and reads what is there.
    std::string cut = "RIFF" + Le32(0x7FFFFFF0u) + "WAVE" + Chunk("fmt ", PcmFormat(1, 8000, 8)) +
                      Header("data", 100) + "short";
    h = Open(Write("cut.snd", cut));
    ASSERT_NE(h, nullptr);
    riff = Riffed(kWave);
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.cksize, 0x7FFFFFF0u);
    ck = Named(kData);
    ASSERT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.cksize, 100u);
    EXPECT_EQ(Read(h, 100), "short");
    // Ascending out of it stops at the end of the file.
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    char c;
    EXPECT_EQ(mmioRead(h, &c, 1), 0);
    ck = Named(mmioFOURCC('n', 'o', 'n', 'e'));
    EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

TEST_F(Mmio, CutOffHeadersAndGarbageAreNotFound) {
    const std::string kFiles[] = {
        "",
        "RIF",
        "RIFF" + Le32(4),                       // no form type
        "RIFF" + Le32(2) + "WA",                // a form type that does not fit
        Riff("WAVE", "fmt " + Le16(16)),        // a sub-chunk header cut in half
        Riff("WAVE", Chunk("fmt ", PcmFormat(1, 8000, 8)) + "dat"),
        std::string("\xFF\x00\x13", 3),
    };
    for (const std::string& bytes : kFiles) {
        HMMIO h = Open(Write("bad.snd", bytes));
        ASSERT_NE(h, nullptr);
        MMCKINFO riff = Riffed(kWave);
        MMRESULT found = mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF);
        if (found == MMSYSERR_NOERROR) {
            MMCKINFO ck = Named(kFmt);
            if (mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR) {
                EXPECT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
                ck = Named(kData);
                EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND)
                    << "file of " << bytes.size() << " bytes";
            } else {
                SUCCEED();
            }
        } else {
            EXPECT_EQ(found, MMIOERR_CHUNKNOTFOUND) << "file of " << bytes.size() << " bytes";
        }
        MMCKINFO any = Named(0);
        EXPECT_NE(mmioDescend(h, &any, nullptr, 0), MMSYSERR_NOERROR) << bytes.size();
        EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    }

    // Garbage with room for a header is a chunk like any other when no search is asked for;
    // its size is passed on as read, but reading stops at the end of the file.
    std::string garbage("\xFF\x00\x13\x37garbage\x01\x02\x03", 14);
    HMMIO h = Open(Write("garbage.snd", garbage));
    ASSERT_NE(h, nullptr);
    MMCKINFO any = Named(0);
    ASSERT_EQ(mmioDescend(h, &any, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(any.ckid, mmioFOURCC('\xFF', '\x00', '\x13', '\x37'));
    EXPECT_EQ(any.cksize, mmioFOURCC('g', 'a', 'r', 'b'));
    EXPECT_EQ(any.dwDataOffset, 8u);
    EXPECT_EQ(Read(h, 100), "age\x01\x02\x03");
    ASSERT_EQ(mmioAscend(h, &any, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioDescend(h, &any, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

TEST_F(Mmio, AscendGoesToTheChunkEndWithItsPadByte) {
    std::string bytes = Riff("WAVE", Chunk("odd ", "abc") + Chunk("next", "xy"));
    HMMIO h = Open(Write("a.snd", bytes));
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = Riffed(kWave);
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    MMCKINFO ck = Named(mmioFOURCC('o', 'd', 'd', ' '));
    ASSERT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.cksize, 3u);
    // Read past the chunk's end, then ascend: back to the chunk's end and over the pad byte.
    EXPECT_EQ(Read(h, 6), std::string("abc\0ne", 6));
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(Read(h, 4), "next");

    // An ascent from a chunk description that runs past the file stops at its end.
    MMCKINFO huge = ck;
    huge.cksize = 0xFFFFFFFFu;
    ASSERT_EQ(mmioAscend(h, &huge, 0), MMSYSERR_NOERROR);
    char c;
    EXPECT_EQ(mmioRead(h, &c, 1), 0);
    EXPECT_NE(mmioAscend(h, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

}  // namespace
