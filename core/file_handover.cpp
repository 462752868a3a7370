#include "core/file_handover.h"

#include <cstdio>
#include <cstring>

#include "core/data_stream.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "platform/file_system.h"
#include "platform/instance_link.h"
#include "platform/program_folder.h"

int PendingFileType = 0;
char PendingFileName[PendingFileNameSize] = "";
int CommandLineIsLink = 0;

namespace {

constexpr const char *LinkPrefix = "kzv://";
constexpr int LinkMinLength = 7;
constexpr int PathLimit = 255;
constexpr int FileNameLimit = 67;
constexpr int ExtensionLength = 4;
constexpr int FileIdLength = 6;
constexpr int MinFileBytes = 8;

struct FileKind {
    const char *word;    // the extension, also the type name of the messages
    const char *folder;  // under data
    const char *fileId;
};
// Indexed by PendingFileType - 1.
const FileKind FileKinds[] = {
    {"SPR", "spr", "KZVSPR"},
    {"MPR", "mpr", "KZVMPR"},
    {"SET", "setups", "QZSETT"},
    {"LYT", "layout", "KZVLYT"},
};

FileHandOverServices Services = {};

PlatformAnswer Box(const char *title, const char *text, PlatformMessageBoxKind kind)
{
    return Services.messageBox ? Services.messageBox(title, text, kind) : PlatformMessageBox(title, text, kind);
}

// Shows the error and gives the result of a failed start.
int Fail(const char *text)
{
    if (Services.messageBox) {
        if (DebugLogEnabled) {
            LogLine(text);
        }
        Services.messageBox(nullptr, text, PlatformBoxError);
    } else {
        ShowErrorBox(text);
    }
    return -1;
}

int FailWithType(const char *format, int type)
{
    char text[128];
    std::snprintf(text, sizeof(text), format, FileKinds[type - 1].word);
    return Fail(text);
}

int HexValue(int c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes the link's rest, which begins at its last leading '/', into the
// start of the command line. Returns false for a bad "%" escape.
bool DecodeLink(char *commandLine)
{
    const char *in = commandLine + std::strlen(LinkPrefix) - 1;
    while (in[1] == '/') {
        ++in;
    }
    char *out = commandLine;
    while (*in) {
        if (*in == '%') {
            const int high = HexValue(static_cast<unsigned char>(in[1]));
            const int low = high < 0 ? -1 : HexValue(static_cast<unsigned char>(in[2]));
            if (low < 0) {
                return false;
            }
            *out++ = static_cast<char>(high * 16 + low);
            in += 3;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
    return true;
}

bool IsLetterOrDigit(int c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The file type named by the last three letters or digits, or 0.
int TypeFromEnding(const char *text)
{
    char ending[4] = {0, 0, 0, 0};
    int found = 0;
    for (int i = static_cast<int>(std::strlen(text)) - 1; i >= 0 && found < 3; --i) {
        if (IsLetterOrDigit(static_cast<unsigned char>(text[i]))) {
            ending[2 - found] = text[i];
            ++found;
        }
    }
    if (found < 3) {
        return 0;
    }
    for (int type = 1; type <= 4; ++type) {
        if (EqualsNoCase(ending, FileKinds[type - 1].word)) {
            return type;
        }
    }
    return 0;
}

bool IsRegularFile(const char *path)
{
    FILE *file = PlatformOpenFile(path, "rb");
    if (!file) {
        return false;
    }
    std::fclose(file);
    return true;
}

// Moves into the program folder. Returns 0, or -1 after the error box.
int EnterProgramFolder()
{
    char folder[1024];
    const bool found = Services.findProgramFolder ? Services.findProgramFolder(folder, sizeof(folder))
                                                  : PlatformFindRunFolder(folder, sizeof(folder));
    if (!found) {
        return Fail("KZV folder error");
    }
    if (std::strlen(folder) > static_cast<size_t>(PathLimit)) {
        return Fail("Path is too long");
    }
    if (!PlatformChangeFolder(folder)) {
        return Fail("Could not change to KZV folder");
    }
    return 0;
}

int HandOverReplay(int type)
{
    const int reply = PlatformInstanceSend(InstanceSocketName, type, PendingFileName, InstanceReplyTimeoutMs);
    switch (reply) {
    case 1:
        return 0;
    case 2:
    case 3:
        return Fail("KZV is not in the entry screen");
    case 4:
        return Fail("Atom error");
    default:
        return Fail("Could not process message");
    }
}

int HandleFile(const char *commandLine, int type)
{
    const FileKind &kind = FileKinds[type - 1];
    if (std::strlen(commandLine) > static_cast<size_t>(PathLimit)) {
        return FailWithType("%s file name is too long", type);
    }
    char given[PathLimit + 1];
    CopyWithoutQuotes(given, commandLine, PathLimit);
    // The path is read again after the folder change below.
    char source[2048];
    if (!PlatformAbsolutePath(given, source, sizeof(source))) {
        return FailWithType("Could not open %s file", type);
    }
    FILE *file = PlatformOpenFile(source, "rb");
    if (!file) {
        return FailWithType("Could not open %s file", type);
    }
    char header[MinFileBytes];
    const size_t got = std::fread(header, 1, sizeof(header), file);
    std::fclose(file);
    if (got < sizeof(header)) {
        return FailWithType("%s file is too short", type);
    }
    if (std::memcmp(header, kind.fileId, FileIdLength) != 0) {
        return FailWithType("%s file of unknown format", type);
    }

    if (EnterProgramFolder() != 0) {
        return -1;
    }
    const char *name = given;
    for (const char *p = given; *p; ++p) {
        if (*p == '/' || *p == '\\') {
            name = p + 1;
        }
    }
    const int nameLength = static_cast<int>(std::strlen(name));
    if (nameLength > FileNameLimit || nameLength <= ExtensionLength) {
        return FailWithType("%s file name is too long", type);
    }
    // The name is at most FileNameLimit characters; the buffer is sized for
    // any name so the formatting can never cut it.
    char destination[300];
    std::snprintf(destination, sizeof(destination), "data\\%s\\%s", kind.folder, name);

    bool copy = true;
    if (FileExists(destination)) {
        const int same = CompareFiles(source, destination);
        if (same == 1) {
            if (type == PendingFileSet || type == PendingFileLyt) {
                Box("No need to save", "The same file already exists", PlatformBoxInfo);
                return 0;
            }
            copy = false;
        } else if (same == 2) {
            if (Box("A different file with the same name already exists", "Overwrite the existing file?",
                    PlatformBoxQuestion) != PlatformAnswerYes) {
                return 0;
            }
        } else {
            return Fail("Error checking files");
        }
    }
    if (copy && !CopyFileContents(source, destination)) {
        return Fail("Error copying file");
    }

    const int running = ProbeRunningInstance();
    if (type == PendingFileSet || type == PendingFileLyt) {
        if (running) {
            PlatformInstanceSend(InstanceSocketName, type, "", InstanceReplyTimeoutMs);
        }
        Box("Copied file", destination, PlatformBoxInfo);
        return 0;
    }
    CopyString(PendingFileName, name, nameLength - ExtensionLength + 1);
    PendingFileType = type;
    if (!running) {
        return 1;
    }
    return HandOverReplay(type);
}

// True when data\<name>\file.fl can be made; it is deleted again.
bool CanWriteInFolder(const char *name)
{
    char path[128];
    std::snprintf(path, sizeof(path), "data\\%s\\file.fl", name);
    FILE *file = PlatformOpenFile(path, "wb");
    if (!file) {
        return false;
    }
    std::fclose(file);
    PlatformRemoveFile(path);
    return true;
}

int AnswerRequest(int type, const char *name)
{
    return OnExternalFileMessage(type, name);
}

}  // namespace

void SetFileHandOverServices(const FileHandOverServices &services)
{
    Services = services;
}

int HandleFileArgument(char *commandLine)
{
    CommandLineIsLink = 0;
    if (!commandLine || commandLine[0] == 0) {
        return 1;
    }
    if (std::strlen(commandLine) >= static_cast<size_t>(LinkMinLength) &&
        std::strncmp(commandLine, LinkPrefix, std::strlen(LinkPrefix)) == 0) {
        if (!DecodeLink(commandLine)) {
            return Fail("KZV was unable to interpret the request");
        }
        if (EnterProgramFolder() != 0) {
            return -1;
        }
        CommandLineIsLink = 1;
        return 1;
    }
    const int type = TypeFromEnding(commandLine);
    if (type == 0) {
        return 1;
    }
    if (commandLine[0] == '/') {
        // An absolute path, or options that happen to end in a type word.
        char given[PathLimit + 1];
        if (std::strlen(commandLine) > static_cast<size_t>(PathLimit)) {
            return 1;
        }
        CopyWithoutQuotes(given, commandLine, PathLimit);
        if (!IsRegularFile(given)) {
            return 1;
        }
    }
    return HandleFile(commandLine, type);
}

int IsPlainFileName(const char *name)
{
    return name && name[0] != 0 && !std::strchr(name, '/') && !std::strchr(name, '\\') &&
           !std::strchr(name, ':') && !std::strstr(name, "..");
}

int CanAcceptExternalFile()
{
    return Services.canAcceptExternalFile ? Services.canAcceptExternalFile() : 0;
}

int OnExternalFileMessage(int type, const char *name)
{
    switch (type) {
    case PendingFileSpr:
    case PendingFileMpr:
        if (!CanAcceptExternalFile()) {
            return 3;
        }
        if (!name || std::strlen(name) >= static_cast<size_t>(PendingFileNameSize) || !IsPlainFileName(name)) {
            return 4;
        }
        CopyString(PendingFileName, name, PendingFileNameSize);
        PendingFileType = type;
        if (Services.raiseWindow) {
            Services.raiseWindow();
        }
        return 1;
    case PendingFileSet:
        if (Services.refreshSetupList) {
            Services.refreshSetupList();
        }
        return 0;
    default:
        return 0;
    }
}

int ProbeRunningInstance()
{
    return PlatformInstanceProbe(InstanceSocketName);
}

int StartInstanceListener()
{
    return PlatformInstanceListen(InstanceSocketName);
}

void ServeInstanceRequests()
{
    PlatformInstanceServe(AnswerRequest);
}

void StopInstanceListener()
{
    PlatformInstanceClose();
}

int EnsureDataFolder(const char *name)
{
    if (!name || CanWriteInFolder(name)) {
        return name ? 0 : 1;
    }
    char folder[96];
    std::snprintf(folder, sizeof(folder), "data\\%s", name);
    // A folder that exists but takes no files is not usable either.
    return PlatformMakeDirectory(folder) && CanWriteInFolder(name) ? 0 : 1;
}

void ExitProgram(int code)
{
    if (ExitCode == 0) {
        ExitCode = code;
    }
    StartProgramExit(0);
}
