// Windows multimedia file reading: buffered reads and the RIFF chunk walk.
//
// Handles are numbers looked up in a table of open files, so a closed or made-up handle is
// refused rather than followed. Chunk sizes come from the file and are never trusted: a
// search never steps past the end of its parent chunk or of the file.
#include "platform.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace {

struct MmioFile {
    std::FILE* file = nullptr;
    uint64_t size = 0;
    uint64_t pos = 0;              // where the next read starts
    uint64_t seen = ~uint64_t{0};  // where the stream stands, when known

    ~MmioFile() {
        if (file != nullptr) std::fclose(file);
    }

    // Reads up to `count` bytes at `at`; returns how many were read, -1 on an error.
    long long ReadAt(uint64_t at, void* out, uint64_t count) {
        if (at >= size || count == 0) return 0;
        if (count > size - at) count = size - at;
        if (seen != at) {
            if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0) {
                seen = ~uint64_t{0};
                return -1;
            }
        }
        size_t got = std::fread(out, 1, static_cast<size_t>(count), file);
        if (got < count && std::ferror(file)) {
            std::clearerr(file);
            seen = ~uint64_t{0};
            if (got == 0) return -1;
        }
        seen = at + got;
        return static_cast<long long>(got);
    }
};

std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<uintptr_t, std::unique_ptr<MmioFile>>& Table() {
    static std::map<uintptr_t, std::unique_ptr<MmioFile>> table;
    return table;
}
uintptr_t NextHandle = 0x10;

MmioFile* Find(HMMIO handle) {
    auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    return it != Table().end() ? it->second.get() : nullptr;
}

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

HMMIO WINAPI mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags) {
    // Only buffered or plain reading of a named file.
    if (fileName == nullptr || info != nullptr) return nullptr;
    if ((flags & ~static_cast<DWORD>(MMIO_ALLOCBUF)) != MMIO_READ) return nullptr;
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) return nullptr;
    struct stat st;
    // Offsets in chunk descriptions are 32 bits wide: larger files cannot be walked.
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<uint64_t>(st.st_size) > 0xFFFFFFFFu) {
        std::fclose(file);
        return nullptr;
    }
    auto mmio = std::make_unique<MmioFile>();
    mmio->file = file;
    mmio->size = static_cast<uint64_t>(st.st_size);
    mmio->seen = 0;
    std::lock_guard<std::mutex> lock(TableMutex());
    uintptr_t handle = NextHandle;
    NextHandle += 0x10;
    Table()[handle] = std::move(mmio);
    return reinterpret_cast<HMMIO>(handle);
}

MMRESULT WINAPI mmioClose(HMMIO handle, UINT) {
    std::lock_guard<std::mutex> lock(TableMutex());
    auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == Table().end()) return MMSYSERR_INVALHANDLE;
    Table().erase(it);
    return MMSYSERR_NOERROR;
}

LONG WINAPI mmioRead(HMMIO handle, HPSTR buffer, LONG count) {
    std::lock_guard<std::mutex> lock(TableMutex());
    MmioFile* f = Find(handle);
    if (f == nullptr || count < 0) return -1;
    if (count == 0) return 0;
    if (buffer == nullptr) return -1;
    long long got = f->ReadAt(f->pos, buffer, static_cast<uint64_t>(count));
    if (got < 0) return -1;
    f->pos += static_cast<uint64_t>(got);
    return static_cast<LONG>(got);
}

MMRESULT WINAPI mmioDescend(HMMIO handle, LPMMCKINFO chunk, const MMCKINFO* parent, UINT flags) {
    std::lock_guard<std::mutex> lock(TableMutex());
    MmioFile* f = Find(handle);
    if (f == nullptr) return MMSYSERR_INVALHANDLE;
    if (chunk == nullptr) return MMSYSERR_INVALPARAM;
    const UINT search = flags & (MMIO_FINDCHUNK | MMIO_FINDRIFF | MMIO_FINDLIST);
    if (flags != search || (search != 0 && search != MMIO_FINDCHUNK && search != MMIO_FINDRIFF &&
                            search != MMIO_FINDLIST)) {
        return MMSYSERR_INVALFLAG;
    }

    // The search stays inside the parent's data and the file.
    uint64_t begin = 0;
    uint64_t end = f->size;
    if (parent != nullptr) {
        begin = parent->dwDataOffset;
        uint64_t parentEnd = static_cast<uint64_t>(parent->dwDataOffset) + parent->cksize;
        if (parentEnd < end) end = parentEnd;
    }
    uint64_t pos = f->pos;
    if (pos < begin) return MMIOERR_CHUNKNOTFOUND;

    while (pos + 8 <= end) {
        uint8_t header[12];
        long long got = f->ReadAt(pos, header, pos + 12 <= end ? 12 : 8);
        if (got < 8) return MMIOERR_CANNOTREAD;
        const FOURCC id = Le32(header);
        const uint32_t size = Le32(header + 4);
        const uint64_t data = pos + 8;
        const bool container = id == FOURCC_RIFF || id == FOURCC_LIST;
        // A form type needs room in the chunk and before the end of the search.
        const bool typed = container && got >= 12 && size >= 4;
        const FOURCC type = typed ? Le32(header + 8) : 0;

        bool match = false;
        switch (search) {
            case MMIO_FINDRIFF: match = id == FOURCC_RIFF && typed && type == chunk->fccType; break;
            case MMIO_FINDLIST: match = id == FOURCC_LIST && typed && type == chunk->fccType; break;
            case MMIO_FINDCHUNK: match = id == chunk->ckid; break;
            default:
                if (container && !typed) return MMIOERR_CHUNKNOTFOUND;  // cut off in its header
                match = true;
                break;
        }
        if (match) {
            chunk->ckid = id;
            chunk->cksize = size;
            chunk->fccType = typed ? type : 0;
            chunk->dwDataOffset = static_cast<DWORD>(data);
            chunk->dwFlags = 0;
            f->pos = typed ? data + 4 : data;
            return MMSYSERR_NOERROR;
        }
        // Step over the chunk and its pad byte, never beyond the end of the search.
        uint64_t next = data + size + (size & 1u);
        if (next > end) break;
        pos = next;
    }
    return MMIOERR_CHUNKNOTFOUND;
}

MMRESULT WINAPI mmioAscend(HMMIO handle, LPMMCKINFO chunk, UINT flags) {
    std::lock_guard<std::mutex> lock(TableMutex());
    MmioFile* f = Find(handle);
    if (f == nullptr) return MMSYSERR_INVALHANDLE;
    if (chunk == nullptr) return MMSYSERR_INVALPARAM;
    if (flags != 0) return MMSYSERR_INVALFLAG;
    // To the end of the chunk's data and its pad byte. This may lie before the position when
    // the caller read past the chunk; it never lies outside the file.
    uint64_t target =
        static_cast<uint64_t>(chunk->dwDataOffset) + chunk->cksize + (chunk->cksize & 1u);
    if (target > f->size) target = f->size;
    f->pos = target;
    return MMSYSERR_NOERROR;
}
