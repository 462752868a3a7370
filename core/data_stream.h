#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct MenuPage;

// Shows an opening error ("%s %s": text and path) over a page. The interface
// layer registers it at start-up; until then errors are only returned.
using DataStreamErrorDisplay = void (*)(MenuPage *page, const char *text, const char *path);
void SetDataStreamErrorDisplay(DataStreamErrorDisplay display);

// The one reader and writer of the binary data files.
//
// Every data file starts with an 8-byte header: a six-character id, compared
// case-sensitively, then the format version as a 16-bit number, high byte
// first. All fields after it are little-endian.
//
// Sources (mode): 0 an open file read byte by byte, 1 a caller's memory image,
// 2 a caller's enciphered memory image deciphered 8 bytes at a time, 3 a whole
// file loaded into memory. Writing always goes to the file (mode 0).
//
// The memory modes know their end: a read past it yields zero bytes and sets
// `overrun`, which loaders test to refuse a truncated file. A read past the
// end of a file in mode 0 yields 0xFF bytes (-1 from ReadU8), as the file
// formats' own counts expect.
struct DataStream {
    uint32_t mode = 0;
    FILE *file = nullptr;               // the open file in mode 0; in mode 3 (file already
                                        // closed) a non-null marker that is not a FILE
    const uint8_t *cursor = nullptr;    // next byte in modes 1, 2 and 3
    const uint8_t *end = nullptr;       // end of the memory image, or of the current block in mode 2
    uint8_t *buffer = nullptr;          // owned by mode 3
    const uint32_t *key = nullptr;      // mode 2 key, owned by the caller
    const uint8_t *cipherSource = nullptr; // next enciphered block, owned by the caller
    const uint8_t *cipherEnd = nullptr;    // end of the enciphered image
    uint8_t block[8] = {};              // the deciphered block of mode 2
    bool overrun = false;               // a memory read went past the end
    bool writeError = false;            // a write failed; Close reports it

    // Opening. Each returns 0 on success or the (translated) error text; the
    // stream's file field is non-null after every successful open.
    const char *OpenCheckHeader(const char *path, const char *id, int *version, int maxVersion);
    const char *OpenRead(MenuPage *page, const char *path, const char *id, int *version, int maxVersion,
                         int stayOnFile);
    // An image shorter than the header reads its missing version bytes as 0xFF
    // (so it is refused as a later version) and is marked as overrun.
    void OpenMemory(const void *image, size_t length, int *version);
    void OpenEnciphered(const void *source, size_t length, const uint32_t *key);
    const char *OpenWrite(MenuPage *page, const char *path, const char *id, int version);

    // Closes the file or frees the loaded buffer. Returns 0, or 1 when a write
    // or the final flush failed (the file on disk is then not to be trusted).
    int Close();

    // Reading, in every mode.
    int ReadU8();
    int ReadU16();            // sign-extended: FF FF reads as -1
    uint32_t ReadU32();
    float ReadFloat();
    float ReadFloatClamped(float min, float max);
    void ReadBytes(void *dest, int n);
    void ReadBlock(void *dest, int n);

    // Writing, always to the file.
    void WriteU8(int value);
    void WriteU16(int value);
    void WriteU32(uint32_t value);
    void WriteBytes(const void *data, int n);
    void WriteString(const char *text, int n);
    void WriteZeros(int n);
    // Moves the position of a file being written by offset bytes from where
    // it is (back with a negative offset), to rewrite a record in place. A
    // move that fails, or a stream that is not on a file, sets writeError.
    void Seek(long offset);
    // Moves a file stream (read or written) to an absolute position; a move
    // that fails, or a stream that is not on a file, sets writeError.
    void SeekTo(long position);
    // The position in a file stream, or -1 when it is not on a file.
    long Tell() const;

    // Bytes still readable: what is left of the memory image or of the file.
    // Loaders compare a count read from a file with it before allocating.
    int64_t Remaining() const;
};

// Plain file functions.
int FileExists(const char *path);
long GetFileSize(const char *path);
int CanAppendToFile(const char *path);
uint32_t GetFileTimeMinutes(const char *path);
int CopyFileContents(const char *source, const char *destination);
int CompareFiles(const char *pathA, const char *pathB);
