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
