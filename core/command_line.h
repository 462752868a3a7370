#pragma once

#include <cstdint>

// The program's command line: options of the form /key=value that choose
// the start mode (normal, host, join, hot-lap check) and preset the host's
// settings. Parsed once at start-up, after cfg.txt has been read, so its
// values overwrite those of the file.
//
// The start parameters are cfg, host, join, hlvc and kill: at most one, and
// before every other option ("insim" and "player" may come first too, and no
// start parameter may follow them).
//
// Options that come from a "kzv://" link (a web page can start the program
// with one) may not name files or folders, open an InSim port or start an
// invisible host: cfg, log, welcome, tracks, mprdir, lytdir, insim and
// dedicated are refused there.

constexpr int CommandKeywordCount = 45;
constexpr int CommandLineErrorSize = 128;
constexpr int ConfigFileMaxBytes = 4096;

// The option keywords, in table order.
extern const char *const CommandKeywordTable[CommandKeywordCount];

// The error text of a failed parse, for the start-up's error box.
extern char CommandLineError[CommandLineErrorSize];

// Values the options set that belong to the race session and the network
// code, which take them from here when they start. Defaults as at program
// start; ParseCommandLine only writes the ones given.
struct CommandLineValues {
    char joinPassword[16];    // "pass" or "admin" in join mode
    int raceLengthCode;       // 0..100 laps, 101..190 (laps - 100) / 10 + 100, 191..238 hours + 190
    int qualifyMinutes;       // 0..60
    int wind;                 // 0..2
    int restartMinimum;       // "rstmin" seconds
    int restartAfterEnd;      // "rstend" seconds
    uint32_t hostCarsMask;    // "cars": the host's start-up cars mask; 0 when not given
    char tracksFile[32];      // "tracks"
    char welcomeFile[32];     // "welcome"
    int inSimPort;            // "insim"; 0 none
    char inSimPortText[8];    // its decimal text, set after parsing when not 0
    char mprFolder[16];       // "mprdir": data\<name>\%s.mpr
    char lytFolder[16];       // "lytdir": data\<name>\%s.lyt
};
extern CommandLineValues CommandLineSettings;

// What the parser needs of the subsystems above core; the program registers
// them at start-up. A null member: the track is unknown, InSim is not
// opened, the welcome text is not read, warnings go to the log.
struct CommandLineServices {
    // The track site of the two-letter code (letter case ignored): its name,
    // its configuration count and whether configuration config (1-based) can
    // be driven reversed. Null when there is no such site.
    const char *(*findTrackSite)(const char *code, int config, int *configCount, int *reversible);
    void (*inSimStart)(int port);
    void (*readWelcomeText)(const char *file);
    // A warning message line (a host or player name cut), in salmon.
    void (*printNotice)(const char *text);
};
void SetCommandLineServices(const CommandLineServices &services);

// Fills the keyword table's companions; once at program start.
void InitCommandKeywords();

// Parses the options and sets the globals; fromLink refuses the options a
// link may not give. An error stops at once: it sets CommandLineError and
// StartMode 0; values applied before it stay applied.
void ParseCommandLine(const char *text, int fromLink = 0);

// Index of the first word of the list equal to word ignoring case; -1 when
// none.
int MatchWord(const char *word, const char *const *list, int count);

// Reads a cars list ("ALL-ROAD", "XFG+XRG", ...): 1 with the mask, or 0
// (unknown or short word, or an empty mask).
int ParseCarsOption(const char *text, uint32_t *mask);

// The race length code of a lap count (0..1000) and of hours (1..48).
int RaceLengthCodeFromLaps(int laps);
int RaceLengthCodeFromHours(int hours);

// Error helpers: each sets CommandLineError and fails the parse.
void ReportInvalidParameter(int n);
void ReportUnknownOption(int keyword);
void ReportOutOfBounds(int keyword);
void FailCommandLine();
void RequestKill();
// "no" clears and "yes" sets the bit in "MP Flags "; another word fails the
// parse with "Unknown <keyword> option" and gives 1.
int SetHostFlagOption(const char *value, int keyword, uint32_t bit);
