#pragma once

// The user's language as a Windows-style language id: primary language in
// the low 10 bits, sub-language above them (id = primary | sub << 10). The
// program only needs the ids its language table knows; everything else is
// English.

constexpr int LanguageIdEnglish = 9 | 1 << 10;

// The id of a POSIX locale name such as "pt_BR.UTF-8" or "sr_RS@latin".
// "C", "POSIX", an empty or null name and unknown languages give English.
int LanguageIdFromLocaleName(const char *locale);

// The id of the first non-empty of the three variables, in the order in
// which they decide the language of messages (LC_ALL, LC_MESSAGES, LANG).
int LanguageIdFromEnvironment(const char *lcAll, const char *lcMessages, const char *lang);

// The user's language from the process environment. Only reads the
// variables: the C library's locale (and with it the decimal point of
// printf and scanf) is never changed.
int PlatformUserLanguageId();

// The Windows ANSI code page of a POSIX locale's language, the stand-in for
// a keyboard layout's code page: ja 932; zh_TW and zh_HK 950; other Chinese
// 936; ko 949; Cyrillic-script languages 1251 (Serbian "@latin" 1250); el
// 1253; tr and az 1254; Central European languages 1250; et, lv and lt 1257;
// anything else ("C", unknown, empty) 1252.
int CodePageFromLocaleName(const char *locale);
// The page of the first non-empty of LC_ALL, LC_CTYPE and LANG.
int CodePageFromEnvironment(const char *lcAll, const char *lcCtype, const char *lang);
int PlatformLocaleCodePage();
