#include "race/driver_names.h"

#include <cstdio>
#include <cstring>

#include "core/data_stream.h"
#include "core/text_utils.h"

AiDriverRecord AiDriverNames[AiDriverCount] = {};
char FKeyMessages[FKeyMessageCount][FKeyMessageSize] = {};

namespace {

constexpr int AiDriverRecordSize = 36;
constexpr int DriverCountPadding = 3;

constexpr const char *FKeyDefaults[FKeyDefaultCount] = {
    ":)", ":-)", "good pass", "good race", "", "", "", "",                       // keys 1..8
    ":)", "", "hi", "bye", "", "", "/w pb", "/w wr",                            // Ctrl, keys 1..8
    "/press up", "/press down", "/press left", "/press right",                    // Ctrl, keys 9..12
    "", "", "", "/exit",                                                         // Alt, keys 1..4
};

}  // namespace

int DefaultDriverNames()
{
    for (int i = 0; i < AiDriverCount; ++i) {
        AiDriverRecord &record = AiDriverNames[i];
        record = AiDriverRecord{};
        std::snprintf(record.name, sizeof(record.name), "AI %d", i + 1);
        // The short text is an 8-byte field: copied with its length.
        std::memcpy(record.shortText, record.name, sizeof(record.shortText));
    }
    return AiDriverCount;
}

void DefaultFKeyMessages()
{
    std::memset(FKeyMessages, 0, sizeof(FKeyMessages));
    for (int i = 0; i < FKeyDefaultCount; ++i) {
        std::snprintf(FKeyMessages[i], FKeyMessageSize, "%s", FKeyDefaults[i]);
    }
}

void ReadDriverNames()
{
    // The defaults first: the file overwrites only the records it holds in
    // full, so a short count or a cut file leaves no record half read.
    DefaultDriverNames();

    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, DriverNamesPath, DriverNamesFileId, &version, DriverNamesVersion, 0)) {
        return;
    }
    if (version >= DriverNamesOldestVersion) {
        int count = stream.ReadU8();
        uint8_t padding[DriverCountPadding];
        stream.ReadBytes(padding, DriverCountPadding);
        if (count > AiDriverCount) {
            count = AiDriverCount;
        }
        for (int i = 0; i < count && !stream.overrun && stream.Remaining() >= AiDriverRecordSize; ++i) {
            AiDriverRecord &record = AiDriverNames[i];
            stream.ReadBytes(record.name, AiDriverNameSize);
            stream.ReadBytes(record.shortText, AiDriverShortTextSize);
            record.name[AiDriverNameSize - 1] = 0;
            record.flag = stream.ReadU8() != 0 ? 1 : 0;
            stream.ReadBytes(record.extra, sizeof(record.extra));
        }
    }
    stream.Close();
}

void ReadFKeyMessages()
{
    // As with the names: the defaults first, then every message the file
    // holds in full.
    DefaultFKeyMessages();

    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, FKeyMessagesPath, DriverNamesFileId, &version, FKeyMessagesVersion, 0)) {
        return;
    }
    if (version >= FKeyMessagesOldestVersion) {
        const int count = version == FKeyMessagesVersion ? FKeyMessageCount : (version == 249 ? 20 : 16);
        for (int i = 0; i < count && stream.Remaining() >= FKeyMessageSize; ++i) {
            stream.ReadBytes(FKeyMessages[i], FKeyMessageSize);
            // A message that fills its field would have no end.
            FKeyMessages[i][FKeyMessageSize - 1] = 0;
        }
    }
    stream.Close();
}

void WriteDriverNames()
{
    DataStream stream;
    if (stream.OpenWrite(nullptr, DriverNamesPath, DriverNamesFileId, DriverNamesVersion) != nullptr) {
        return;
    }
    stream.WriteU8(AiDriverCount);
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU8(0);
    for (const AiDriverRecord &record : AiDriverNames) {
        stream.WriteBytes(record.name, AiDriverNameSize);
        stream.WriteBytes(record.shortText, AiDriverShortTextSize);
        stream.WriteU8(record.flag);
        stream.WriteBytes(record.extra, sizeof(record.extra));
    }
    stream.Close();
}

void WriteFKeyMessages()
{
    DataStream stream;
    if (stream.OpenWrite(nullptr, FKeyMessagesPath, DriverNamesFileId, FKeyMessagesVersion) != nullptr) {
        return;
    }
    for (const char *message : FKeyMessages) {
        stream.WriteBytes(message, FKeyMessageSize);
    }
    stream.Close();
}

int FindDriverName(const char *name)
{
    for (int i = 0; i < AiDriverCount; ++i) {
        char bounded[AiDriverNameSize];
        std::memcpy(bounded, AiDriverNames[i].name, sizeof(bounded));
        bounded[AiDriverNameSize - 1] = 0;
        if (EqualsNoCase(bounded, name)) {
            return i;
        }
    }
    return 0;
}
