#include "ui/text_entry.h"

#include <cstring>

#include "core/main_window.h"
#include "platform/code_page.h"
#include "platform/keys.h"
#include "platform/window.h"
#include "ui/font.h"
#include "ui/message_lines.h"
#include "ui/ui_services.h"

char EntryText[EntrySize] = {};
EntryChar EntryChars[EntrySize] = {};
int EntryMaxLength = EntrySize;
int EntryRoom = EntrySize - 1;
int EntryCursor = 0;
int EntryCursorByte = 0;
int EntryFixedLength = 0;
uint8_t EntryMode = EntryModeAny;
uint8_t EntryColour = EntryDefaultColour;
uint8_t PendingLeadByte = 0;
int RecallSequence = -1;

namespace {

constexpr int InvalidKeySound = 3;
// A character's marked-up form is at most six bytes (page, colour, escape or
// lead and trail), so the whole line always fits here before it is cut.
constexpr int ScratchSize = EntrySize * 6 + 1;
constexpr int Utf8LineSize = EntrySize * 4 + 1;

// The last copied line: its UTF-8 text and characters.
char CopiedUtf8[Utf8LineSize] = {};
EntryChar CopiedChars[EntrySize] = {};
int CopiedCount = 0;

char PlainCompareText[EntrySize] = {};

EntryClipboard DesktopClipboard = {PlatformGetClipboardUtf8, PlatformSetClipboardUtf8};
EntryClipboard Clipboard = DesktopClipboard;

void InvalidKey()
{
    if (UiLink.playInterfaceSound != nullptr) {
        UiLink.playInterfaceSound(InvalidKeySound);
    }
}

const CodePageEntry *PageEntry(int page, int c)
{
    if (page < 0 || page >= CodePageTableCount || CodePageTables == nullptr || c < CodePageFirstByte || c > 255) {
        return nullptr;
    }
    return &CodePageTables[page].entries[c - CodePageFirstByte];
}

bool IsLeadByte(int page, int c)
{
    const CodePageEntry *entry = PageEntry(page, c);
    return entry != nullptr && (entry->flags & CodePageDoubleByteFlag) != 0;
}

// True when the byte means something else in the two tables.
bool TablesDiffer(int a, int b, int c)
{
    if (a == b) {
        return false;
    }
    const CodePageEntry *ea = PageEntry(a, c);
    const CodePageEntry *eb = PageEntry(b, c);
    if (ea == nullptr || eb == nullptr) {
        return true;
    }
    return std::memcmp(ea, eb, sizeof(CodePageEntry)) != 0;
}

// The "^" letter of a character that file names cannot hold, else 0.
char FileNameEscape(int c)
{
    switch (c) {
    case '*': return 'a';
    case ':': return 'c';
    case '\\': return 'd';
    case '#': return 'h';
    case '<': return 'l';
    case '?': return 'q';
    case '>': return 'r';
    case '/': return 's';
    case '"': return 't';
    case '|': return 'v';
    default: return 0;
    }
}

const char PageLetters[] = "LETBJCGHSK";

// The whole line marked up, uncut; the cursor's byte is noted.
int EncodeLine(char *out, int *cursorByte)
{
    int n = 0;
    int page = 0;
    int colour = EntryDefaultColour;
    *cursorByte = -1;
    for (int i = 0; EntryChars[i].c != 0 && i < EntrySize; ++i) {
        const EntryChar &ch = EntryChars[i];
        if (i == EntryCursor) {
            *cursorByte = n;
        }
        if (ch.page != page && TablesDiffer(page, ch.page, ch.c)) {
            if (ch.page < CodePageLetterLimit) {
                out[n++] = '^';
                out[n++] = PageLetters[ch.page];
            }
            page = ch.page;
        }
        if (ch.c != ' ' && ch.colour != colour) {
            out[n++] = '^';
            out[n++] = static_cast<char>(ch.colour >= EntryDefaultColour ? '9' : '0' + ch.colour);
            colour = ch.colour;
        }
        const char escape = EntryMode == EntryModeFileName && ch.trail == 0 ? FileNameEscape(ch.c) : 0;
        if (ch.c == '^' && ch.trail == 0) {
            out[n++] = '^';
            out[n++] = '^';
        } else if (escape != 0) {
            out[n++] = '^';
            out[n++] = escape;
        } else {
            out[n++] = static_cast<char>(ch.c);
            if (ch.trail != 0) {
                out[n++] = static_cast<char>(ch.trail);
            }
        }
    }
    if (*cursorByte < 0) {
        *cursorByte = n;
    }
    out[n] = 0;
    return n;
}

// True when the line's marked-up text fits its limits.
bool LineFits()
{
    char line[ScratchSize];
    int cursorByte = 0;
    const int length = EncodeLine(line, &cursorByte);
    if (length >= EntryMaxLength) {
        return false;
    }
    if (line[0] == '/' && std::strncmp(line, "/me ", 4) != 0 && length >= SlashLineLimit) {
        return false;
    }
    return true;
}

void RemoveAt(int index)
{
    const int count = CountEntryChars();
    if (index < 0 || index >= count) {
        return;
    }
    std::memmove(&EntryChars[index], &EntryChars[index + 1], sizeof(EntryChar) * static_cast<size_t>(count - index));
    EntryChars[count - 1] = EntryChar{};
}

void ReplaceLine(const char *text, int codePage)
{
    std::memset(EntryChars, 0, sizeof(EntryChars));
    DecodeCodedText(EntryChars, EntrySize - 1, nullptr, 0, text, codePage);
    // The recalled text keeps what fits.
    int count = CountEntryChars();
    while (count > 0 && !LineFits()) {
        EntryChars[--count] = EntryChar{};
    }
    EntryCursor = count;
    PendingLeadByte = 0;
}

bool IsCtrlDigit(int code, int *digit)
{
    if (!CtrlHeld) {
        return false;
    }
    int d = -1;
    if (code >= '0' && code <= '9') {
        d = code - '0';
    } else if (code >= VkNumpad0 && code <= VkNumpad0 + 9) {
        d = code - VkNumpad0;
    }
    if (d < 0 || d > EntryDefaultColour) {
        return false;
    }
    *digit = d;
    return true;
}

int TablePageNumber(int page)
{
    if (page >= 0 && page < CodePageTableCount && CodePageTables != nullptr && CodePageTables[page].number != 0) {
        return CodePageTables[page].number;
    }
    return 1252;
}

void CopyLine()
{
    char utf8[Utf8LineSize];
    int n = 0;
    const int count = CountEntryChars();
    for (int i = 0; i < count; ++i) {
        char bytes[3] = {static_cast<char>(EntryChars[i].c), static_cast<char>(EntryChars[i].trail), 0};
        char one[8];
        if (PlatformCodePageToUtf8(TablePageNumber(EntryChars[i].page), bytes, one, sizeof(one)) <= 0) {
            continue;
        }
        const int len = static_cast<int>(std::strlen(one));
        if (n + len >= Utf8LineSize) {
            break;
        }
        std::memcpy(utf8 + n, one, static_cast<size_t>(len));
        n += len;
    }
    utf8[n] = 0;
    if (Clipboard.set == nullptr || !Clipboard.set(utf8)) {
        return;
    }
    std::memcpy(CopiedUtf8, utf8, static_cast<size_t>(n + 1));
    std::memcpy(CopiedChars, EntryChars, sizeof(CopiedChars));
    CopiedCount = count;
}

int Utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80) {
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        return 4;
    }
    return 1;
}

void PasteLine()
{
    char utf8[Utf8LineSize];
    if (Clipboard.get == nullptr || !Clipboard.get(utf8, sizeof(utf8))) {
        return;
    }
    if (CopiedCount > 0 && std::strcmp(utf8, CopiedUtf8) == 0) {
        for (int i = 0; i < CopiedCount; ++i) {
            const EntryChar &ch = CopiedChars[i];
            if (!InsertEntryChar(ch.c, ch.trail, ch.page, ch.colour)) {
                break;
            }
        }
        return;
    }
    const int page = KeyboardCodePage;
    const int number = TablePageNumber(page);
    int taken = 0;
    for (int at = 0; utf8[at] != 0 && taken < PasteCharacterLimit; ++taken) {
        int len = Utf8SequenceLength(static_cast<unsigned char>(utf8[at]));
        char one[5] = {};
        int k = 0;
        for (; k < len && utf8[at + k] != 0; ++k) {
            one[k] = utf8[at + k];
        }
        at += k;
        if (one[0] == '\r' || one[0] == '\n' || one[0] == '\t') {
            one[0] = ' ';
            one[1] = 0;
        }
        char bytes[8];
        if (PlatformUtf8ToCodePage(number, one, bytes, sizeof(bytes)) <= 0) {
            bytes[0] = '?';
            bytes[1] = 0;
        }
        for (int b = 0; bytes[b] != 0; ++b) {
            if (!InsertEntryChar(static_cast<unsigned char>(bytes[b]), 0, page, EntryColour)) {
                return;
            }
        }
    }
}

}  // namespace

void SetEntryClipboard(const EntryClipboard *clipboard)
{
    Clipboard = clipboard != nullptr ? *clipboard : DesktopClipboard;
}

int IsPrintableChar(int code)
{
    return code >= 32 && code <= 255 && code != 127 ? 1 : 0;
}

int CountEntryChars()
{
    int n = 0;
    while (n < EntrySize && EntryChars[n].c != 0) {
        ++n;
    }
    return n;
}

int DecodeCodedText(EntryChar *chars, int charCapacity, char *bytes, int byteCapacity, const char *text,
                    int codePage)
{
    int count = 0;
    int byteCount = 0;
    int page = codePage;
    int colour = EntryDefaultColour;
    if (text == nullptr) {
        text = "";
    }
    auto put = [&](int c, int trail) {
        if (chars != nullptr) {
            if (count >= charCapacity) {
                return false;
            }
            chars[count] = EntryChar{static_cast<uint8_t>(c), static_cast<uint8_t>(page), static_cast<uint8_t>(colour),
                                     static_cast<uint8_t>(trail)};
        }
        if (bytes != nullptr) {
            const int need = trail != 0 ? 2 : 1;
            if (byteCount + need >= byteCapacity) {
                return false;
            }
            bytes[byteCount++] = static_cast<char>(c);
            if (trail != 0) {
                bytes[byteCount++] = static_cast<char>(trail);
            }
        }
        ++count;
        return true;
    };
    for (int i = 0; text[i] != 0; ++i) {
        const int b = static_cast<unsigned char>(text[i]);
        if (b == '^' && text[i + 1] != 0) {
            const int next = static_cast<unsigned char>(text[++i]);
            if (next >= '0' && next <= '7') {
                colour = next - '0';
            } else if (next == '8') {
                colour = EntryDefaultColour;
                page = codePage;
            } else if (next == '9') {
                colour = EntryDefaultColour;
            } else if (next == ':') {
                page = 0;
            } else if (next == '^') {
                if (!put('^', 0)) {
                    break;
                }
            } else {
                const int meaning = DecodeCaretLetter(next, &page);
                if (meaning != 0 && !put(meaning, 0)) {
                    break;
                }
            }
            continue;
        }
        if (b < 32) {
            continue;
        }
        int trail = 0;
        if (IsLeadByte(page, b) && text[i + 1] != 0) {
            trail = static_cast<unsigned char>(text[++i]);
        }
        if (!put(b, trail)) {
            break;
        }
    }
    if (chars != nullptr && count < charCapacity) {
        chars[count] = EntryChar{};
    }
    if (bytes != nullptr && byteCapacity > 0) {
        bytes[byteCount] = 0;
    }
    return count;
}

int EncodeEntryText()
{
    char line[ScratchSize];
    int cursorByte = 0;
    int length = EncodeLine(line, &cursorByte);
    const int limit = EntryMaxLength - 1;
    if (length > limit) {
        length = limit;
    }
    std::memcpy(EntryText, line, static_cast<size_t>(length));
    EntryText[length] = 0;
    EntryCursorByte = cursorByte < length ? cursorByte : length;
    EntryRoom = EntryMaxLength - length - 1;
    return length;
}

void BeginTextEntry(int maxLength, const char *initial, int cursor, int mode)
{
    std::memset(EntryText, 0, sizeof(EntryText));
    std::memset(EntryChars, 0, sizeof(EntryChars));
    EntryMaxLength = maxLength < 1 ? 1 : maxLength > EntrySize ? EntrySize : maxLength;
    EntryMode = static_cast<uint8_t>(mode);
    EntryColour = EntryDefaultColour;
    PendingLeadByte = 0;
    RecallSequence = -1;
    EntryCursor = 0;
    EntryFixedLength = 0;
    if (initial != nullptr && initial[0] != 0) {
        DecodeCodedText(EntryChars, EntrySize - 1, nullptr, 0, initial, 0);
        int count = CountEntryChars();
        while (count > 0 && !LineFits()) {
            EntryChars[--count] = EntryChar{};
        }
        EntryCursor = cursor < 0 || cursor > count ? count : cursor;
        EntryFixedLength = EntryCursor;
    }
    EncodeEntryText();
}

int InsertEntryChar(int c, int trail, int page, int colour)
{
    const int count = CountEntryChars();
    if (count >= EntryMaxLength - 1) {
        InvalidKey();
        return 0;
    }
    if (!IsPrintableChar(c)) {
        return 1;
    }
    if (EntryMode == EntryModeFileName && c == '.' && EntryCursor == 0) {
        return 1;
    }
    int lead = c;
    if (PendingLeadByte != 0) {
        lead = PendingLeadByte;
        trail = c;
        PendingLeadByte = 0;
    } else if (IsLeadByte(page, c)) {
        if (EntryMode == EntryModeLatin) {
            InvalidKey();
            return 0;
        }
        if (trail == 0) {
            PendingLeadByte = static_cast<uint8_t>(c);
            return 1;
        }
    }
    EntryChar saved[EntrySize];
    std::memcpy(saved, EntryChars, sizeof(saved));
    const int savedCursor = EntryCursor;
    std::memmove(&EntryChars[EntryCursor + 1], &EntryChars[EntryCursor],
                 sizeof(EntryChar) * static_cast<size_t>(count - EntryCursor));
    EntryChars[EntryCursor] = EntryChar{static_cast<uint8_t>(lead), static_cast<uint8_t>(page),
                                        static_cast<uint8_t>(colour), static_cast<uint8_t>(trail)};
    EntryChars[count + 1] = EntryChar{};
    ++EntryCursor;
    if (!LineFits()) {
        std::memcpy(EntryChars, saved, sizeof(saved));
        EntryCursor = savedCursor;
        EncodeEntryText();
        InvalidKey();
        return 0;
    }
    EncodeEntryText();
    return 1;
}

int TypeEntryChar(int code)
{
    return InsertEntryChar(code, 0, KeyboardCodePage, EntryColour);
}

void DeleteCharBeforeCursor()
{
    if (EntryCursor > EntryFixedLength) {
        RemoveAt(--EntryCursor);
    }
}

void DeleteCharAtCursor()
{
    if (EntryCursor >= EntryFixedLength) {
        RemoveAt(EntryCursor);
    }
}

void TextEntryKey(int code)
{
    int digit = 0;
    const int count = CountEntryChars();
    const bool canRecall = EntryMode == EntryModeAny && EntryFixedLength == 0;
    if (IsCtrlDigit(code, &digit)) {
        EntryColour = static_cast<uint8_t>(digit);
        return;
    }
    switch (code) {
    case KeyCodeUp:
        if (canRecall) {
            char line[EntrySize];
            int page = 0;
            const int sequence = RecallMessageBefore(line, RecallSequence, sizeof(line), &page);
            if (sequence != -1 && (RecallSequence == -1 || sequence != RecallSequence)) {
                RecallSequence = sequence;
                ReplaceLine(line, page);
            }
        }
        break;
    case KeyCodeDown:
        if (canRecall && RecallSequence != -1) {
            char line[EntrySize];
            int page = 0;
            RecallSequence = RecallMessageAfter(line, RecallSequence, sizeof(line), &page);
            ReplaceLine(line, page);
        }
        break;
    case KeyCodeLeft:
        if (EntryCursor > EntryFixedLength) {
            --EntryCursor;
            while (CtrlHeld && EntryCursor > EntryFixedLength && EntryChars[EntryCursor - 1].c != ' ') {
                --EntryCursor;
            }
        }
        break;
    case KeyCodeRight:
        if (EntryCursor < count) {
            ++EntryCursor;
            while (CtrlHeld && EntryCursor < count && EntryChars[EntryCursor - 1].c != ' ') {
                ++EntryCursor;
            }
        }
        break;
    case KeyCodeHome:
        EntryCursor = EntryFixedLength;
        break;
    case KeyCodeEnd:
        EntryCursor = count;
        break;
    case 8:
        DeleteCharBeforeCursor();
        break;
    case 127:
        if (EntryCursor > EntryFixedLength) {
            DeleteCharBeforeCursor();
            while (EntryCursor > EntryFixedLength && EntryChars[EntryCursor - 1].c != ' ') {
                DeleteCharBeforeCursor();
            }
        }
        break;
    case KeyCodeDelete:
        if (CtrlHeld) {
            while (EntryCursor < CountEntryChars() && EntryChars[EntryCursor].c != ' ') {
                DeleteCharAtCursor();
            }
        }
        DeleteCharAtCursor();
        break;
    case ' ':
        if (EntryCursor != EntryFixedLength || EntryFixedLength == 0) {
            TypeEntryChar(code);
        }
        break;
    case KeyCodeCopy:
        CopyLine();
        break;
    case KeyCodePaste:
        PasteLine();
        break;
    default:
        TypeEntryChar(code);
        break;
    }
    EncodeEntryText();
}

void FinishEntryText()
{
    auto trimmed = [](uint8_t c) { return c == ' ' || (EntryMode == EntryModeFileName && c == '.'); };
    while (EntryFixedLength < CountEntryChars() && trimmed(EntryChars[EntryFixedLength].c)) {
        RemoveAt(EntryFixedLength);
    }
    int count = CountEntryChars();
    while (count > EntryFixedLength && EntryChars[count - 1].c == ' ') {
        RemoveAt(--count);
    }
    EntryCursor = CountEntryChars();
    EncodeEntryText();
}

void SetPlainCompareText(const char *text)
{
    DecodeCodedText(nullptr, 0, PlainCompareText, sizeof(PlainCompareText), text, 0);
}

int EqualsPlainCompareText(const char *text)
{
    char plain[EntrySize];
    DecodeCodedText(nullptr, 0, plain, sizeof(plain), text, 0);
    return std::strcmp(plain, PlainCompareText) == 0 ? 1 : 0;
}

int TakeQueuedInputLine(const char *(*lineText)(int index))
{
    const int queued = QueuedLineIndex;
    QueuedLineIndex = 0;
    if (queued <= 0 || lineText == nullptr) {
        return 0;
    }
    const char *text = lineText(queued - 1);
    if (text == nullptr) {
        return 0;
    }
    EntryChar chars[EntrySize];
    const int n = DecodeCodedText(chars, EntrySize - 1, nullptr, 0, text, KeyboardCodePage);
    for (int i = 0; i < n; ++i) {
        if (!InsertEntryChar(chars[i].c, chars[i].trail, chars[i].page, chars[i].colour)) {
            return 0;
        }
    }
    return 1;
}
