// RIFF file reading: opening, plain reads and the chunk walk over well-made, oddly padded,
// cut-off and lying files.
#include "../support/support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

using namespace testing_support;
using namespace std::literals;

namespace {

const FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
const FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
const FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
const std::string kFormat = "sixteen bytes..!";  // the walk never looks inside a format chunk

std::string Le32(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// A chunk with its pad byte when the size is odd.
std::string Chunk(const char* id, const std::string& data) {
    return std::string(id, 4) + Le32(static_cast<uint32_t>(data.size())) + data + (data.size() % 2 ? "\0"s : ""s);
}

std::string Riff(const char* form, const std::string& body) {
    return "RIFF" + Le32(static_cast<uint32_t>(4 + body.size())) + std::string(form, 4) + body;
}

MMCKINFO Ck(FOURCC id, FOURCC type = 0) { return {id, 0, type, 0, 0}; }
std::vector<DWORD> Fields(const MMCKINFO& c) { return {c.ckid, c.cksize, c.fccType, c.dwDataOffset, c.dwFlags}; }

std::string Read(HMMIO h, LONG n) {
    std::string out(static_cast<size_t>(n), '\0');
    const LONG got = mmioRead(h, out.data(), n);
    return got < 0 ? "<error>" : out.substr(0, static_cast<size_t>(got));
}

// The walk the game makes: into the WAVE form, into its format chunk and back out, into its
// data chunk.
MMRESULT WalkToData(HMMIO h, MMCKINFO& riff, MMCKINFO& data) {
    MMRESULT r = mmioDescend(h, &(riff = Ck(0, kWave)), nullptr, MMIO_FINDRIFF);
    if (r == MMSYSERR_NOERROR) r = mmioDescend(h, &(data = Ck(kFmt)), &riff, MMIO_FINDCHUNK);
    if (r == MMSYSERR_NOERROR) r = mmioAscend(h, &data, 0);
    if (r == MMSYSERR_NOERROR) r = mmioDescend(h, &(data = Ck(kData)), &riff, MMIO_FINDCHUNK);
    return r;
}

class Mmio : public ::testing::Test {
protected:
    void SetUp() override { dir_ = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    void TearDown() override {
        for (HMMIO h : open_) EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    }
    // The bytes as a file, opened the way the game opens one unless told otherwise; closed
    // after the test.
    HMMIO Open(const std::string& bytes, DWORD flags = MMIO_ALLOCBUF | MMIO_READ) {
        std::string path = dir_ + "/" + std::to_string(++files_) + ".snd";
        std::ofstream(path, std::ios::binary) << bytes;
        HMMIO h = mmioOpenA(path.data(), nullptr, flags);
        if (h != nullptr) open_.push_back(h);
        return h;
    }

    std::string dir_;
    std::vector<HMMIO> open_;
    int files_ = 0;
};

TEST_F(Mmio, OpensOnlyFilesForReadingReadsToTheirEndAndRefusesDeadHandles) {
    char missing[] = "/nonexistent/folder/none.snd";
    EXPECT_EQ(mmioOpenA(missing, nullptr, MMIO_ALLOCBUF | MMIO_READ), nullptr);
    EXPECT_EQ(mmioOpenA(dir_.data(), nullptr, MMIO_READ), nullptr);  // a folder
    EXPECT_EQ(mmioOpenA(nullptr, nullptr, MMIO_READ), nullptr);
    EXPECT_EQ(Open("RIFF", 0x00000001 /* write */), nullptr);
    HMMIO h = Open("RIFF", MMIO_READ);  // unbuffered
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Read(h, 4), "RIFF");
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    open_.pop_back();

    // Reads are bounded by the file alone, not by any chunk.
    const std::string bytes = Riff("WAVE", Chunk("abcd", "xyz") + Chunk("efgh", "12"));
    HMMIO file = Open(bytes);
    char buf[8];
    EXPECT_EQ(mmioRead(file, buf, -1), -1);
    EXPECT_EQ(mmioRead(file, nullptr, 4), -1);
    EXPECT_EQ(Read(file, 10), bytes.substr(0, 10));
    EXPECT_EQ(Read(file, 1000), bytes.substr(10));
    EXPECT_EQ(mmioRead(file, buf, 8), 0);
    EXPECT_NE(mmioAscend(file, nullptr, 0), MMSYSERR_NOERROR);

    // A closed handle, a made-up one and none at all are refused without harm.
    MMCKINFO ck = Ck(0, kWave);
    for (HMMIO bad : {h, reinterpret_cast<HMMIO>(uintptr_t{0x7654321}), static_cast<HMMIO>(nullptr)}) {
        EXPECT_EQ(mmioRead(bad, buf, 4), -1);
        EXPECT_NE(mmioDescend(bad, &ck, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
        EXPECT_NE(mmioAscend(bad, &ck, 0), MMSYSERR_NOERROR);
        EXPECT_NE(mmioClose(bad, 0), MMSYSERR_NOERROR);
    }
}

TEST_F(Mmio, DescendsIntoFormsListsAndChunksAndAscendsOverPadBytes) {
    // An odd-sized LIST first, an odd-sized unknown chunk between format and data, and an
    // empty data chunk whose header ends the file.
    HMMIO h = Open(Riff("WAVE", Chunk("LIST", "INFOabc") + Chunk("fmt ", kFormat) + Chunk("junk", "j") + Chunk("data", "")));
    MMCKINFO riff = Ck(0), ck = Ck(0);
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, 0), MMSYSERR_NOERROR);  // whatever comes next
    EXPECT_EQ(Fields(riff), (std::vector<DWORD>{FOURCC_RIFF, 62, kWave, 8, 0}));
    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(Fields(ck), (std::vector<DWORD>{FOURCC_LIST, 7, mmioFOURCC('I', 'N', 'F', 'O'), 20, 0}));
    EXPECT_EQ(Read(h, 3), "abc");  // the position is past the list's type
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioDescend(h, &(ck = Ck(kFmt)), &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(Fields(ck), (std::vector<DWORD>{kFmt, 16, 0, 36, 0}));
    // 18 bytes from a 16-byte chunk: the last two come from the next chunk's ID. The ascent
    // goes back to the chunk's end.
    EXPECT_EQ(Read(h, 18), kFormat + "ju");
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioDescend(h, &(ck = Ck(kData)), &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(Fields(ck), (std::vector<DWORD>{kData, 0, 0, 70, 0}));
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioDescend(h, &ck, &riff, 0), MMIOERR_CHUNKNOTFOUND);  // the end of the form
    EXPECT_EQ(ck.ckid, kData);  // a failed search leaves the description alone

    // A RIFF cut off in its header is no chunk.
    for (const std::string& cut : {"RIFF" + Le32(4), "RIFF" + Le32(2) + "WA", "RIF"s}) {
        EXPECT_EQ(mmioDescend(Open(cut), &ck, nullptr, 0), MMIOERR_CHUNKNOTFOUND) << cut.size();
    }
}

TEST_F(Mmio, FindsTheWaveFormByItsTypeOrNothing) {
    MMCKINFO riff, data;
    HMMIO h = Open(Riff("AVI ", Chunk("data", "zz")) + Riff("WAVE", Chunk("fmt ", kFormat) + Chunk("data", "ok")));
    ASSERT_EQ(WalkToData(h, riff, data), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.dwDataOffset, 30u);  // the second form, after 22 bytes of the first
    EXPECT_EQ(Read(h, 2), "ok");

    // No WAVE form, a RIFX file, a LIST that is not a RIFF, headers cut off, garbage.
    const std::string files[] = {
        Riff("AVI ", Chunk("fmt ", kFormat) + Chunk("data", "zz")),
        "RIFX" + Le32(34) + "WAVE" + Chunk("fmt ", kFormat) + Chunk("data", "zz"),
        Chunk("LIST", "WAVE" + Chunk("fmt ", kFormat) + Chunk("data", "zz")),
        "", "RIF", "RIFF" + Le32(4), "RIFF" + Le32(2) + "WA",
        Riff("WAVE", "fmt \x10\0"s),  // a sub-chunk header cut in half
        Riff("WAVE", Chunk("fmt ", kFormat) + "dat"),
        "\xFF\x00\x13"s,
    };
    for (const std::string& bytes : files) {
        EXPECT_EQ(WalkToData(Open(bytes), riff, data), MMIOERR_CHUNKNOTFOUND) << bytes.size() << " bytes";
    }
}

TEST_F(Mmio, StaysInsideTheParentAndTheFile) {
    // The RIFF chunk holds only the format chunk; a data chunk follows outside it.
    const std::string fmt = Chunk("fmt ", kFormat);
    HMMIO h = Open("RIFF" + Le32(4 + static_cast<uint32_t>(fmt.size())) + "WAVE" + fmt + Chunk("data", "outside"));
    MMCKINFO riff, ck = Ck(kData);
    EXPECT_EQ(WalkToData(h, riff, ck), MMIOERR_CHUNKNOTFOUND);
    // Without the parent the search runs on through the file.
    ASSERT_EQ(mmioDescend(h, &ck, nullptr, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(Read(h, 7), "outside");

    // Chunks that claim more than there is: a skipped chunk running past its parent, one
    // whose size wraps 32-bit offsets, one whose size with its pad byte wraps.
    for (uint32_t lie : {1000u, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
        h = Open(Riff("WAVE", "junk" + Le32(lie) + std::string(8, 'j') + fmt + Chunk("data", "dd")));
        ASSERT_EQ(mmioDescend(h, &(riff = Ck(0, kWave)), nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
        EXPECT_EQ(mmioDescend(h, &(ck = Ck(kFmt)), &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND) << lie;
        EXPECT_EQ(mmioDescend(h, &(ck = Ck(kData)), &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND) << lie;
    }

    // A RIFF size past the end of the file: the search ends with the file; a data chunk
    // claiming more than the file has is found with its stated size and reads what is there.
    h = Open("RIFF" + Le32(0x7FFFFFF0u) + "WAVE" + fmt + "data" + Le32(100) + "short");
    ASSERT_EQ(WalkToData(h, riff, ck), MMSYSERR_NOERROR);
    EXPECT_EQ(std::vector<DWORD>({riff.cksize, ck.cksize}), std::vector<DWORD>({0x7FFFFFF0u, 100}));
    EXPECT_EQ(Read(h, 100), "short");
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);  // to the end of the file
    EXPECT_EQ(Read(h, 1), "");
}

}  // namespace
