#include "core/text_block.h"

#include <cstring>

#include "core/text_utils.h"

namespace {

constexpr int MaxLineChars = TextBlock::LineSize - 1;
// Lines shorter than this are never measured.
constexpr int MeasureFromChars = 7;
constexpr float MeasureScale = 0.85f;

TextBlockServices Services = {};

float MeasureText(const char *text, float size, int codePage)
{
    if (Services.measureCodedText)
        return Services.measureCodedText(text, size, codePage);
    return static_cast<float>(strlen(text)) * 0.5f * size;
}

bool IsDoubleByteCodePage(int codePage)
{
    if (Services.isDoubleByteCodePage)
        return Services.isDoubleByteCodePage(codePage) != 0;
    return codePage == 4 || codePage == 7 || codePage == 8 || codePage == 9;
}

bool IsLeadByte(int codePage, unsigned char byte)
{
    if (Services.isLeadByte)
        return Services.isLeadByte(codePage, byte) != 0;
    if (codePage == 4)
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    return byte >= 0x81 && byte <= 0xFE;
}

void Warn(const char *text)
{
    if (Services.printWarning)
        Services.printWarning(text);
}

// Skips what is left of the current file line, its line feed included.
void SkipRestOfLine(FILE *file, int ch)
{
    while (ch != '\n' && ch != EOF)
        ch = getc(file);
}

// Where a full line of length characters breaks: the number of characters
// that stay on it (the rest moves to the next line).
int FindBreak(const char *line, int length, int codePage)
{
    // A blank, ")" or "-" within the last quarter of the line; the break
    // character stays on the line.
    for (int k = length - 1; k >= length - length / 4; --k) {
        if (line[k] == ' ' || line[k] == ')' || line[k] == '-')
            return k + 1;
    }
    if (!IsDoubleByteCodePage(codePage))
        return length;
    // Never split a double-byte pair: a last byte that starts a pair moves on
    // with the character being added.
    int keep = length;
    bool secondByte = false;
    for (int k = 0; k < length; ++k) {
        const unsigned char byte = static_cast<unsigned char>(line[k]);
        if (byte < 32)
            Warn("Invalid character");
        if (secondByte) {
            secondByte = false;
        } else if (IsLeadByte(codePage, byte)) {
            if (k == length - 1)
                keep = k;
            else
                secondByte = true;
        }
    }
    return keep;
}

}  // namespace

void SetTextBlockServices(const TextBlockServices &services)
{
    Services = services;
}

void TextBlock::Init(uint32_t blockKind)
{
    memset(this, 0, sizeof *this);
    kind = blockKind;
}

void TextBlock::ReadSection(FILE *file, const char *title, float size, float width)
{
    if (!file)
        return;

    int ch = getc(file);
    if (ch == '@') {
        SkipRestOfLine(file, ch);
        ch = getc(file);
    }
    while (ch == '\r' || ch == '\n')
        ch = getc(file);

    int line = 0;
    if (title) {
        CopyString(lines[0], title, LineSize);
        line = 1;
    }

    const int codePage = kind == 0 ? LanguageCodePage : 0;
    const float measureSize = MeasureScale * size;
    float savedWidthFactor = 0.0f;
    if (Services.widthFactor) {
        savedWidthFactor = *Services.widthFactor;
        *Services.widthFactor = 1.0f;
    }

    bool firstLine = true;
    bool ended = false;
    while (line < MaxLines && !ended) {
        if (!firstLine)
            ch = getc(file);
        firstLine = false;
        while (ch == '\r')
            ch = getc(file);
        if (ch == '\\') {
            SkipRestOfLine(file, ch);
            break;
        }
        if (ch == EOF)
            break;

        char *text = lines[line];
        int length = 0;
        text[0] = 0;
        for (; ch != '\n' && ch != EOF; ch = getc(file)) {
            if (ch == '\r')
                continue;
            if (length >= MeasureFromChars &&
                (length >= MaxLineChars || MeasureText(text, measureSize, codePage) >= width)) {
                const int keep = FindBreak(text, length, codePage);
                if (line == MaxLines - 1) {
                    // No line left to wrap into: the overflow is dropped and
                    // the section ends after this file line.
                    text[keep] = 0;
                    SkipRestOfLine(file, ch);
                    ended = true;
                    break;
                }
                char *next = lines[line + 1];
                const int moved = length - keep;
                memcpy(next, text + keep, static_cast<size_t>(moved));
                text[keep] = 0;
                ++line;
                text = next;
                length = moved;
            }
            text[length++] = static_cast<char>(ch);
            text[length] = 0;
        }
        ++line;
        if (ch == EOF)
            break;
    }

    if (Services.widthFactor)
        *Services.widthFactor = savedWidthFactor;
}

int TextBlock::KeepLines(int n)
{
    if (n < 0)
        n = 0;
    if (n > MaxLines)
        n = MaxLines;
    for (int k = n; k < MaxLines; ++k)
        memset(lines[k], 0, LineSize);
    int count = 0;
    for (int k = 0; k < n; ++k) {
        if (lines[k][0])
            ++count;
    }
    return count;
}

int TextBlock::CountLines() const
{
    for (int k = MaxLines - 1; k >= 0; --k) {
        if (lines[k][0])
            return k + 1;
    }
    return 0;
}

int TextBlock::AddItems(float left, float top, float right, float spacing, MenuPage *page) const
{
    const int rows = CountLines();
    float y = top;
    for (int k = 0; k < rows; ++k) {
        if (lines[k][0] && Services.addTextItem)
            Services.addTextItem(left, y, right, y + spacing, lines[k], kind != 0, page);
        y += spacing;
    }
    return rows;
}
