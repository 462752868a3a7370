#pragma once

// The program's command line: options of the form /key=value that choose
// the start mode (normal, host, join, hot-lap check) and preset the host's
// settings. Parsed once at start-up, after cfg.txt has been read, so its
// values overwrite those of the file.
//
// The start parameters are cfg, host, join, hlvc and kill: at most one, and
// before every other option ("insim" and "player" may come first too, and no
// start parameter may follow them).
//
// So far the options "host", "dedicated" and "kill" take effect; every other
// keyword is checked and parsed but not applied yet (a log line says so).

constexpr int CommandKeywordCount = 45;
constexpr int CommandLineErrorSize = 128;

// The option keywords, in table order.
extern const char *const CommandKeywordTable[CommandKeywordCount];

// The error text of a failed parse, for the start-up's error box.
extern char CommandLineError[CommandLineErrorSize];

// Parses the options and sets the globals. An error stops at once: it sets
// CommandLineError and StartMode 0; values applied before it stay applied.
void ParseCommandLine(const char *text);

// Index of the first word of the list equal to word ignoring case; -1 when
// none.
int MatchWord(const char *word, const char *const *list, int count);

// How the parser shows its warnings (host name cut): the interface layer
// registers its message line printer. Without one they go to the log.
using CommandLineNoticePrinter = void (*)(const char *text);
void SetCommandLineNoticePrinter(CommandLineNoticePrinter printer);
