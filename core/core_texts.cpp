#include "core/core_texts.h"

#include <cstring>

namespace {

struct BuiltInText {
    const char *key;
    const char *text;
};

constexpr BuiltInText BuiltInTexts[] = {
    {"3a_cnocolon", "Could not open file :"},
    {"3a_filenohc", "File failed header check :"},
    {"3a_latervfl", "File was created by a later version :"},
    {"3a_nocrtfil", "Could not create file :"},
};

const char *(*RegisteredLookup)(const char *key) = nullptr;

}  // namespace

const char *LookupText(const char *key)
{
    if (!key) {
        return "";
    }
    if (RegisteredLookup) {
        if (const char *text = RegisteredLookup(key)) {
            return text;
        }
    }
    for (const BuiltInText &entry : BuiltInTexts) {
        if (std::strcmp(entry.key, key) == 0) {
            return entry.text;
        }
    }
    return key;
}

void SetTextLookup(const char *(*lookup)(const char *key))
{
    RegisteredLookup = lookup;
}
