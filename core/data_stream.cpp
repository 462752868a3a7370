#include "core/data_stream.h"

#include <cstdlib>
#include <cstring>

#include "core/translation_table.h"
#include "core/tea_cipher.h"
#include "platform/file_system.h"

namespace {

constexpr int IdLength = 6;
constexpr long HeaderSize = 8;
constexpr const char *IdLengthText = "Id length not 6";

DataStreamErrorDisplay ErrorDisplay = nullptr;

// What `file` points at in mode 3: non-null, so callers see an open stream,
// but never a FILE that could be confused with one opened later.
uint8_t LoadedFileMarker;

void ShowOpenError(MenuPage *page, const char *text, const char *path)
{
    if (page && ErrorDisplay) {
        ErrorDisplay(page, text, path ? path : "");
    }
}

// True when the id has six characters before any terminator.
bool HasSixCharacters(const char *id)
{
    if (!id) {
        return false;
    }
    for (int i = 0; i < IdLength; ++i) {
        if (id[i] == 0) {
            return false;
        }
    }
    return true;
}

// Next byte of the file, or EOF; a stream that never opened reads as ended.
int FileByte(FILE *file)
{
    return file ? std::getc(file) : EOF;
}

// Next byte of a memory mode: zero and the overrun flag past the end.
uint8_t MemoryByte(DataStream &stream)
{
    if (stream.cursor < stream.end) {
        return *stream.cursor++;
    }
    stream.overrun = true;
    return 0;
}

// Mode 2 deciphers the next block only before a field, never inside one: the
// enciphered formats keep every field within its 8-byte block. A block that
// would run past the end of the image is not deciphered; the field then
// reads zeros and sets the overrun flag.
void BeginField(DataStream &stream)
{
    if (stream.mode != 2 || stream.cursor != stream.end) {
        return;
    }
    if (!stream.key || stream.cipherEnd - stream.cipherSource < 8) {
        return;
    }
    TeaDecipher(stream.cipherSource, stream.block, stream.key);
    stream.cipherSource += 8;
    stream.cursor = stream.block;
    stream.end = stream.block + 8;
}

// Past the end of a file in mode 0 every byte reads as 0xFF.
uint8_t NextByte(DataStream &stream)
{
    if (stream.mode == 0) {
        return static_cast<uint8_t>(FileByte(stream.file));
    }
    return MemoryByte(stream);
}

uint32_t ReadLittleEndian(DataStream &stream, int size)
{
    BeginField(stream);
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        value |= static_cast<uint32_t>(NextByte(stream)) << (8 * i);
    }
    return value;
}

// Writes go to the file of mode 0; any other stream has none to write to.
void PutBytes(DataStream &stream, const void *data, size_t n)
{
    FILE *file = stream.mode == 3 ? nullptr : stream.file;
    if (!file || std::fwrite(data, 1, n, file) != n) {
        stream.writeError = true;
    }
}

}  // namespace

void SetDataStreamErrorDisplay(DataStreamErrorDisplay display)
{
    ErrorDisplay = display;
}

const char *DataStream::OpenCheckHeader(const char *path, const char *id, int *version, int maxVersion)
{
    *this = DataStream{};
    file = path ? PlatformOpenFile(path, "rb") : nullptr;
    if (!file) {
        return Tx(Text_3a_cnocolon);
    }

    // All six id bytes are read even after a mismatch.
    const bool idUsable = HasSixCharacters(id);
    bool idMatches = idUsable;
    for (int i = 0; i < IdLength; ++i) {
        const int c = std::getc(file);
        if (!idUsable || c != static_cast<unsigned char>(id[i])) {
            idMatches = false;
        }
    }
    if (!idMatches) {
        std::fclose(file);
        file = nullptr;
        return Tx(Text_3a_filenohc);
    }

    // Missing version bytes read as 0xFF, so a truncated header is refused as
    // a later version.
    const int high = std::getc(file) & 0xFF;
    const int low = std::getc(file) & 0xFF;
    const int fileVersion = high * 256 + low;
    if (version) {
        *version = fileVersion;
    }
    if (fileVersion > maxVersion) {
        std::fclose(file);
        file = nullptr;
        return Tx(Text_3a_latervfl);
    }
    return nullptr;
}

const char *DataStream::OpenRead(MenuPage *page, const char *path, const char *id, int *version, int maxVersion,
                                 int stayOnFile)
{
    const char *error = OpenCheckHeader(path, id, version, maxVersion);
    if (error) {
        ShowOpenError(page, error, path);
        return error;
    }
    if (stayOnFile) {
        return nullptr;
    }

    // Mode 3: everything after the header in one read, then the file closes.
    long size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    const size_t length = size > HeaderSize ? static_cast<size_t>(size - HeaderSize) : 0;
    uint8_t *loaded = static_cast<uint8_t *>(std::malloc(length > 0 ? length : 1));
    if (!loaded) {
        std::fclose(file);
        file = nullptr;
        error = Tx(Text_3a_cnocolon);
        ShowOpenError(page, error, path);
        return error;
    }
    size_t got = 0;
    if (std::fseek(file, HeaderSize, SEEK_SET) == 0) {
        got = std::fread(loaded, 1, length, file);
    }
    std::fclose(file);

    mode = 3;
    file = reinterpret_cast<FILE *>(&LoadedFileMarker);
    buffer = loaded;
    cursor = loaded;
    end = loaded + got;  // a short read leaves a shorter image, read as truncated
    return nullptr;
}

// The header is taken from the image without checks. An image shorter than
// the header reads its missing version bytes as 0xFF, like a short file, so
// callers refuse it as a later version, and it is marked as overrun.
void DataStream::OpenMemory(const void *image, size_t length, int *version)
{
    *this = DataStream{};
    mode = 1;
    const uint8_t *bytes = static_cast<const uint8_t *>(image);
    const int high = length > 6 ? bytes[6] : 0xFF;
    const int low = length > 7 ? bytes[7] : 0xFF;
    if (version) {
        *version = high * 256 + low;
    }
    if (length < static_cast<size_t>(HeaderSize)) {
        overrun = true;
        cursor = bytes + length;
    } else {
        cursor = bytes + HeaderSize;
    }
    end = bytes + length;
}

void DataStream::OpenEnciphered(const void *source, size_t length, const uint32_t *cipherKey)
{
    *this = DataStream{};
    mode = 2;
    key = cipherKey;
    cipherSource = static_cast<const uint8_t *>(source);
    cipherEnd = cipherSource + length;
    // An empty block: the first field deciphers the first block.
    cursor = block + 8;
    end = block + 8;
}

const char *DataStream::OpenWrite(MenuPage *page, const char *path, const char *id, int version)
{
    *this = DataStream{};
    if (!HasSixCharacters(id) || id[IdLength] != 0) {
        ShowOpenError(page, IdLengthText, "");
        return IdLengthText;
    }
    file = path ? PlatformOpenFile(path, "wb") : nullptr;
    if (!file) {
        const char *error = Tx(Text_3a_nocrtfil);
        ShowOpenError(page, error, path);
        return error;
    }
    PutBytes(*this, id, IdLength);
    WriteU8(version >> 8);
    WriteU8(version);
    return nullptr;
}

int DataStream::Close()
{
    if (mode == 3) {
        std::free(buffer);
        buffer = nullptr;
    } else if (file) {
        if (std::ferror(file)) {
            writeError = true;
        }
        if (std::fclose(file) != 0) {
            writeError = true;
        }
    }
    // The plain text of an enciphered image lives only in the block.
    std::memset(block, 0, sizeof(block));
    key = nullptr;
    cipherSource = nullptr;
    cipherEnd = nullptr;
    file = nullptr;
    cursor = nullptr;
    end = nullptr;
    return writeError ? 1 : 0;
}

int DataStream::ReadU8()
{
    if (mode == 0) {
        return FileByte(file);
    }
    BeginField(*this);
    return MemoryByte(*this);
}

int DataStream::ReadU16()
{
    return static_cast<int16_t>(ReadLittleEndian(*this, 2));
}

uint32_t DataStream::ReadU32()
{
    return ReadLittleEndian(*this, 4);
}

float DataStream::ReadFloat()
{
    const uint32_t bits = ReadU32();
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

float DataStream::ReadFloatClamped(float min, float max)
{
    const float value = ReadFloat();
    if (!(value >= min)) {  // also a NaN
        return min;
    }
    return value <= max ? value : max;
}

void DataStream::ReadBytes(void *dest, int n)
{
    uint8_t *out = static_cast<uint8_t *>(dest);
    for (int i = 0; i < n; ++i) {
        BeginField(*this);
        out[i] = NextByte(*this);
    }
}

void DataStream::ReadBlock(void *dest, int n)
{
    if (n < 1) {
        return;
    }
    uint8_t *out = static_cast<uint8_t *>(dest);
    const size_t count = static_cast<size_t>(n);
    if (mode == 0) {
        const size_t got = file ? std::fread(out, 1, count, file) : 0;
        std::memset(out + got, 0xFF, count - got);
    } else if (mode == 2) {
        for (int word = 0; word < n / 4; ++word) {
            const uint32_t value = ReadU32();
            for (int i = 0; i < 4; ++i) {
                out[word * 4 + i] = static_cast<uint8_t>(value >> (8 * i));
            }
        }
    } else {
        const size_t available = cursor < end ? static_cast<size_t>(end - cursor) : 0;
        const size_t taken = count < available ? count : available;
        if (taken > 0) {
            std::memcpy(out, cursor, taken);
            cursor += taken;
        }
        if (taken < count) {
            std::memset(out + taken, 0, count - taken);
            overrun = true;
        }
    }
}

void DataStream::WriteU8(int value)
{
    const uint8_t byte = static_cast<uint8_t>(value);
    PutBytes(*this, &byte, 1);
}

void DataStream::WriteU16(int value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    PutBytes(*this, bytes, 2);
}

void DataStream::WriteU32(uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    PutBytes(*this, bytes, 4);
}

void DataStream::WriteBytes(const void *data, int n)
{
    if (n > 0) {
        PutBytes(*this, data, static_cast<size_t>(n));
    }
}

void DataStream::WriteString(const char *text, int n)
{
    // n - 1 characters at most, zeros after the text's end, one zero last.
    bool ended = text == nullptr;
    for (int i = 0; i < n - 1; ++i) {
        if (!ended && text[i] == 0) {
            ended = true;
        }
        WriteU8(ended ? 0 : text[i]);
    }
    WriteU8(0);
}

void DataStream::Seek(long offset)
{
    FILE *target = mode == 3 ? nullptr : file;
    if (!target || std::fseek(target, offset, SEEK_CUR) != 0) {
        writeError = true;
    }
}

void DataStream::SeekTo(long position)
{
    FILE *target = mode == 0 ? file : nullptr;
    if (!target || position < 0 || std::fseek(target, position, SEEK_SET) != 0) {
        writeError = true;
    }
}

long DataStream::Tell() const
{
    return mode == 0 && file != nullptr ? std::ftell(file) : -1;
}

void DataStream::WriteZeros(int n)
{
    for (int i = 0; i < n / 4; ++i) {
        WriteU32(0);
    }
}

int64_t DataStream::Remaining() const
{
    switch (mode) {
    case 0: {
        if (!file) {
            return 0;
        }
        const long position = std::ftell(file);
        if (position < 0 || std::fseek(file, 0, SEEK_END) != 0) {
            return 0;
        }
        const long size = std::ftell(file);
        std::fseek(file, position, SEEK_SET);
        return size > position ? size - position : 0;
    }
    case 2: {
        const int64_t inBlock = cursor < end ? end - cursor : 0;
        const int64_t blocks = cipherEnd > cipherSource ? (cipherEnd - cipherSource) / 8 : 0;
        return inBlock + blocks * 8;
    }
    default:
        return cursor < end ? end - cursor : 0;
    }
}

int FileExists(const char *path)
{
    FILE *file = PlatformOpenFile(path, "rb");
    if (!file) {
        return 0;
    }
    std::fclose(file);
    return 1;
}

long GetFileSize(const char *path)
{
    FILE *file = PlatformOpenFile(path, "rb");
    if (!file) {
        return 0;
    }
    long size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    std::fclose(file);
    return size > 0 ? size : 0;
}

int CanAppendToFile(const char *path)
{
    FILE *file = PlatformOpenFile(path, "a");
    if (!file) {
        return 0;
    }
    std::fclose(file);
    return 1;
}

uint32_t GetFileTimeMinutes(const char *path)
{
    // Minutes since 1601-01-01, the epoch the program's stored times use.
    constexpr int64_t SecondsFrom1601To1970 = 11644473600;
    int64_t unixSeconds = 0;
    if (!PlatformGetFileTime(path, &unixSeconds)) {
        return 0;
    }
    const int64_t seconds = unixSeconds + SecondsFrom1601To1970;
    return seconds > 0 ? static_cast<uint32_t>(static_cast<uint64_t>(seconds / 60)) : 0;
}

// Returns 1 only when the whole source was read and the whole copy written
// and flushed; a failed copy is never reported as done.
int CopyFileContents(const char *source, const char *destination)
{
    FILE *in = PlatformOpenFile(source, "rb");
    if (!in) {
        return 0;
    }
    long size = -1;
    if (std::fseek(in, 0, SEEK_END) == 0) {
        size = std::ftell(in);
    }
    const size_t length = size > 0 ? static_cast<size_t>(size) : 0;
    uint8_t *data = static_cast<uint8_t *>(std::malloc(length > 0 ? length : 1));
    bool ok = size >= 0 && data && std::fseek(in, 0, SEEK_SET) == 0 &&
              std::fread(data, 1, length, in) == length && !std::ferror(in);
    std::fclose(in);
    if (!ok) {
        std::free(data);
        return 0;
    }

    FILE *out = PlatformOpenFile(destination, "wb");
    if (!out) {
        std::free(data);
        return 0;
    }
    ok = std::fwrite(data, 1, length, out) == length;
    if (std::fclose(out) != 0) {
        ok = false;
    }
    std::free(data);
    return ok ? 1 : 0;
}

int CompareFiles(const char *pathA, const char *pathB)
{
    FILE *a = PlatformOpenFile(pathA, "rb");
    FILE *b = PlatformOpenFile(pathB, "rb");
    int result = 0;
    if (a && b) {
        result = 1;
        uint8_t bytesA[4096];
        uint8_t bytesB[4096];
        for (;;) {
            const size_t gotA = std::fread(bytesA, 1, sizeof(bytesA), a);
            const size_t gotB = std::fread(bytesB, 1, sizeof(bytesB), b);
            if (gotA != gotB || std::memcmp(bytesA, bytesB, gotA) != 0) {
                result = 2;  // also when one file ends first
                break;
            }
            if (gotA == 0) {
                break;
            }
        }
    }
    if (a) {
        std::fclose(a);
    }
    if (b) {
        std::fclose(b);
    }
    return result;
}
