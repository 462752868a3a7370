#pragma once

// Whole-file reads and writes for tests that make fixtures byte by byte and
// check what the program wrote.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The whole content of a file; empty when it cannot be read.
inline std::vector<uint8_t> ReadFileBytes(const std::string &path)
{
    std::vector<uint8_t> content;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return content;
    uint8_t buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        content.insert(content.end(), buffer, buffer + got);
    std::fclose(file);
    return content;
}

inline std::string ReadFileText(const std::string &path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Replaces the file with the bytes; a file that cannot be made fails the test.
inline void WriteFileBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        ADD_FAILURE() << "cannot create " << path;
        return;
    }
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size()) << path;
    }
    std::fclose(file);
}
