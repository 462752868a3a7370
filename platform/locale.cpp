#include "platform/locale.h"

#include <cstdlib>
#include <initializer_list>
#include <cstring>

namespace {

struct LocaleLanguage {
    const char *code;  // ISO 639 language code
    int primary;       // Windows primary language id
};

constexpr LocaleLanguage LocaleLanguages[] = {
    {"bg", 2},  {"ca", 3},  {"zh", 4},  {"cs", 5},  {"da", 6},  {"de", 7},  {"el", 8},
    {"en", 9},  {"es", 10}, {"fi", 11}, {"fr", 12}, {"hu", 14}, {"it", 16}, {"ja", 17},
    {"ko", 18}, {"nl", 19}, {"nb", 20}, {"nn", 20}, {"no", 20}, {"pl", 21}, {"pt", 22},
    {"ru", 25}, {"hr", 26}, {"sr", 26}, {"sk", 27}, {"sv", 29}, {"tr", 31}, {"be", 35},
    {"sl", 36}, {"et", 37}, {"lv", 38}, {"lt", 39}, {"gl", 86},
};

// A part of a locale name: the characters from text up to (not including)
// the first of the stop characters or the end.
struct LocalePart {
    const char *text = "";
    size_t length = 0;

    bool Is(const char *value) const
    {
        return std::strlen(value) == length && std::strncmp(text, value, length) == 0;
    }
};

LocalePart TakePart(const char *text, const char *stops)
{
    LocalePart part;
    part.text = text;
    part.length = std::strcspn(text, stops);
    return part;
}

// A locale name "language_TERRITORY.charset@modifier" taken apart; the parts
// it leaves out are empty.
struct LocaleName {
    LocalePart language;
    LocalePart territory;
    LocalePart modifier;
};

LocaleName SplitLocaleName(const char *locale)
{
    LocaleName name;
    name.language = TakePart(locale, "_.@");
    const char *rest = locale + name.language.length;
    if (*rest == '_') {
        name.territory = TakePart(rest + 1, ".@");
    }
    if (const char *at = std::strchr(locale, '@')) {
        name.modifier = TakePart(at + 1, "");
    }
    return name;
}

int PrimaryOf(const LocalePart &language)
{
    for (const LocaleLanguage &entry : LocaleLanguages) {
        if (language.Is(entry.code)) {
            return entry.primary;
        }
    }
    return 0;
}

// The sub-language where the language table tells variants apart; 1
// everywhere else.
int SubOf(int primary, const LocalePart &language, const LocalePart &territory, const LocalePart &modifier)
{
    switch (primary) {
    case 10:  // Spanish: Spain (or no territory) is "Castellano", the rest "Latino"
        return territory.length == 0 || territory.Is("ES") ? 3 : 2;
    case 22:
        return territory.Is("BR") ? 1 : 2;
    case 4:
        if (territory.Is("TW")) {
            return 1;
        }
        if (territory.Is("HK")) {
            return 3;
        }
        if (territory.Is("SG")) {
            return 4;
        }
        if (territory.Is("MO")) {
            return 5;
        }
        return 2;
    case 26:  // Croatian and Serbian share the primary id
        if (language.Is("hr")) {
            return territory.Is("BA") ? 4 : 1;
        }
        return modifier.Is("latin") ? 2 : 3;
    default:
        return 1;
    }
}

}  // namespace

int LanguageIdFromLocaleName(const char *locale)
{
    if (!locale || !locale[0]) {
        return LanguageIdEnglish;
    }
    const LocaleName name = SplitLocaleName(locale);
    const int primary = PrimaryOf(name.language);
    if (primary == 0) {
        return LanguageIdEnglish;  // "C", "POSIX" and unknown languages
    }
    return primary | SubOf(primary, name.language, name.territory, name.modifier) << 10;
}

int LanguageIdFromEnvironment(const char *lcAll, const char *lcMessages, const char *lang)
{
    for (const char *value : {lcAll, lcMessages, lang}) {
        if (value && value[0]) {
            return LanguageIdFromLocaleName(value);
        }
    }
    return LanguageIdEnglish;
}

int PlatformUserLanguageId()
{
    return LanguageIdFromEnvironment(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

namespace {

struct LanguageCodePage {
    const char *code;
    int codePage;
};

constexpr LanguageCodePage LanguageCodePages[] = {
    {"ja", 932},  {"ko", 949},  {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"sr", 1251},
    {"mk", 1251}, {"kk", 1251}, {"ky", 1251}, {"tg", 1251}, {"mn", 1251}, {"tt", 1251}, {"ba", 1251},
    {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"pl", 1250}, {"cs", 1250}, {"sk", 1250}, {"hu", 1250},
    {"sl", 1250}, {"hr", 1250}, {"bs", 1250}, {"ro", 1250}, {"sq", 1250}, {"et", 1257}, {"lv", 1257},
    {"lt", 1257},
};

}  // namespace

int CodePageFromLocaleName(const char *locale)
{
    constexpr int Western = 1252;
    if (!locale || !locale[0]) {
        return Western;
    }
    const LocaleName name = SplitLocaleName(locale);
    const LocalePart &language = name.language;
    const LocalePart &territory = name.territory;
    const LocalePart &modifier = name.modifier;
    if (language.Is("zh")) {
        return territory.Is("TW") || territory.Is("HK") || territory.Is("MO") ? 950 : 936;
    }
    if (language.Is("sr") && modifier.Is("latin")) {
        return 1250;
    }
    for (const LanguageCodePage &entry : LanguageCodePages) {
        if (language.Is(entry.code)) {
            return entry.codePage;
        }
    }
    return Western;
}

int CodePageFromEnvironment(const char *lcAll, const char *lcCtype, const char *lang)
{
    for (const char *value : {lcAll, lcCtype, lang}) {
        if (value && value[0]) {
            return CodePageFromLocaleName(value);
        }
    }
    return CodePageFromLocaleName(nullptr);
}

int PlatformLocaleCodePage()
{
    return CodePageFromEnvironment(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
}
