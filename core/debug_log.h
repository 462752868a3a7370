#pragma once

#include <ctime>

#include "platform/window.h"

// The debug log: a text file beside the program with one line per event
// (start-up and shutdown steps, device capabilities, network events and,
// while a log file is named, every message line). Every line is appended by
// opening the file, writing the whole line in one write and closing the file
// again, so the log keeps each line written before a crash and lines from
// several threads never interleave.
//
// A line is a 16-character time stamp of the local time ("Dec  8 18:59:54 "),
// the text without its colour codes (at most 127 characters) and a newline.

constexpr int DebugLogPathSize = 32;          // a named log file has at most 31 characters
constexpr const char *DefaultDebugLogName = "deb.log";
constexpr int LogTextLimit = 127;             // characters of a text kept in its line
constexpr int LogStampLength = 16;
constexpr int LogPrintfBufferSize = 512;

// The log file named by the "log" option or command; empty means deb.log.
extern char DebugLogPath[DebugLogPathSize];
// 0 until DeleteDebugLog; only decides whether ShowErrorBox logs its text.
extern int DebugLogEnabled;

// Switches logging on and deletes deb.log, whatever file is named.
void DeleteDebugLog();
// Writes the program's name and version, "KZV : 0.5Z28".
void LogVersion();
// Appends one line to the named log file, or to deb.log. A file that cannot
// be opened loses the line without a report.
void LogLine(const char *text);
// LogLine of a printf text formatted into a 512-byte buffer (a longer text is
// cut there; the line keeps its first 127 characters anyway).
void LogPrintf(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Logs the text while logging is on, then shows it in an error box with the
// stop icon and no caption; returns the box's answer.
PlatformAnswer ShowErrorBox(const char *text);

// Where the time stamps take the time from: seconds since 1970, shown as
// local time. Null goes back to the system clock; tests fix the time.
using DebugLogClock = std::time_t (*)();
void SetDebugLogClock(DebugLogClock clock);
