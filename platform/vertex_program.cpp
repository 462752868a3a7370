#include "platform/vertex_program.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

namespace {

struct OpName {
    const char *name;
    uint32_t op;
};
constexpr OpName OpNames[] = {
    {"mov", VpMov}, {"add", VpAdd}, {"sub", VpSub}, {"mad", VpMad}, {"mul", VpMul},
    {"rsq", VpRsq}, {"dp3", VpDp3}, {"min", VpMin}, {"max", VpMax}, {"m4x4", VpM4x4},
};

constexpr uint32_t IdentitySwizzle = 0 | (1 << 2) | (2 << 4) | (3 << 6);

uint32_t RegWord(uint32_t file, uint32_t index)
{
    return (file << 28) | (index << 16);
}

std::string Trim(const std::string &text)
{
    size_t a = 0;
    size_t b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1])))
        --b;
    return text.substr(a, b - a);
}

bool ParseNumber(const std::string &text, size_t from, uint32_t *value)
{
    if (from >= text.size() || text.size() - from > 3)
        return false;
    uint32_t v = 0;
    for (size_t i = from; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        v = v * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    *value = v;
    return true;
}

// The register of a name without its suffix; false for one the programs do
// not have. dest: a register that can be written.
bool ParseRegister(const std::string &name, bool dest, uint32_t *word)
{
    uint32_t n = 0;
    if (name == "oPos") {
        *word = RegWord(VpPosition, 0);
        return dest;
    }
    if (name == "oFog") {
        *word = RegWord(VpFog, 0);
        return dest;
    }
    if (name.size() == 3 && name[0] == 'o' && (name[1] == 'D' || name[1] == 'T') && (name[2] == '0' || name[2] == '1')) {
        *word = RegWord(name[1] == 'D' ? VpColour : VpTexture, static_cast<uint32_t>(name[2] - '0'));
        return dest;
    }
    if (name.size() < 2 || !ParseNumber(name, 1, &n))
        return false;
    switch (name[0]) {
    case 'r':
        *word = RegWord(VpTemp, n);
        return n < VertexProgramTemps;
    case 'v':
        *word = RegWord(VpInput, n);
        return !dest && (n == 0 || n == 3 || n == 5 || n == 6 || n == 8);
    case 'c':
        *word = RegWord(VpConst, n);
        return !dest && n < VertexProgramConstants;
    default:
        return false;
    }
}

int Component(char c)
{
    switch (c) {
    case 'x':
        return 0;
    case 'y':
        return 1;
    case 'z':
        return 2;
    case 'w':
        return 3;
    default:
        return -1;
    }
}

bool ParseDest(const std::string &text, uint32_t *word)
{
    const size_t dot = text.find('.');
    if (!ParseRegister(text.substr(0, dot), true, word))
        return false;
    const uint32_t file = VpRegFile(*word);
    if (dot == std::string::npos) {
        *word |= 0xF;
        return true;
    }
    if (file == VpFog)
        return false;
    const std::string mask = text.substr(dot + 1);
    if (mask == "x")
        *word |= 1;
    else if (mask == "z")
        *word |= 4;
    else if (mask == "w")
        *word |= 8;
    else if (mask == "xyz")
        *word |= 7;
    else if (mask == "xyzw")
        *word |= 0xF;
    else
        return false;
    return true;
}

bool ParseSource(std::string text, uint32_t *word)
{
    bool negated = false;
    if (!text.empty() && text[0] == '-') {
        negated = true;
        text = Trim(text.substr(1));
    }
    const size_t dot = text.find('.');
    if (!ParseRegister(text.substr(0, dot), false, word))
        return false;
    uint32_t swizzle = IdentitySwizzle;
    if (dot != std::string::npos) {
        const std::string s = text.substr(dot + 1);
        if (s.size() == 1 && Component(s[0]) >= 0) {
            const uint32_t c = static_cast<uint32_t>(Component(s[0]));
            swizzle = c | (c << 2) | (c << 4) | (c << 6);
        } else if (s == "xyz") {
            swizzle = 0 | (1 << 2) | (2 << 4) | (2 << 6);
        } else if (s != "xyzw") {
            return false;
        }
    }
    *word |= swizzle | (negated ? 1u << 12 : 0u);
    return true;
}

bool AssembleLine(const std::string &line, std::vector<uint32_t> *code)
{
    size_t space = 0;
    while (space < line.size() && !std::isspace(static_cast<unsigned char>(line[space])))
        ++space;
    const std::string opText = line.substr(0, space);
    uint32_t op = 0;
    for (const OpName &name : OpNames)
        if (opText == name.name)
            op = name.op;
    if (op == 0)
        return false;
    std::vector<std::string> operands;
    std::string rest = line.substr(space);
    size_t start = 0;
    while (true) {
        const size_t comma = rest.find(',', start);
        operands.push_back(Trim(rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    const int sources = VertexProgramSourceCount(op);
    if (static_cast<int>(operands.size()) != sources + 1)
        return false;
    uint32_t dest = 0;
    if (!ParseDest(operands[0], &dest))
        return false;
    code->push_back(op);
    code->push_back(dest);
    for (int i = 1; i <= sources; ++i) {
        uint32_t src = 0;
        if (!ParseSource(operands[static_cast<size_t>(i)], &src))
            return false;
        // The matrix of m4x4 is four constants (or temps) in a row.
        if (op == VpM4x4 && i == 2 &&
            (VpRegSwizzle(src, 0) != 0 || VpRegNegated(src) ||
             (VpRegFile(src) == VpConst && VpRegIndex(src) + 3 >= VertexProgramConstants) ||
             (VpRegFile(src) == VpTemp && VpRegIndex(src) + 3 >= VertexProgramTemps) || VpRegFile(src) == VpInput))
            return false;
        code->push_back(src);
    }
    return true;
}

void Read(uint32_t word, const float (*temps)[4], const float (*inputs)[4], uint32_t inputMask,
          const float (*constants)[4], int offset, float out[4])
{
    static const float missing[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const uint32_t index = VpRegIndex(word) + static_cast<uint32_t>(offset);
    const float *reg = missing;
    switch (VpRegFile(word)) {
    case VpTemp:
        reg = index < VertexProgramTemps ? temps[index] : missing;
        break;
    case VpInput:
        reg = index < VertexProgramInputs && ((inputMask >> index) & 1u) != 0 ? inputs[index] : missing;
        break;
    case VpConst:
        reg = index < VertexProgramConstants ? constants[index] : missing;
        break;
    default:
        break;
    }
    for (int c = 0; c < 4; ++c) {
        const float v = reg[VpRegSwizzle(word, c)];
        out[c] = VpRegNegated(word) ? -v : v;
    }
}

float Clamp01(float v)
{
    return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v;
}

}  // namespace

int VertexProgramSourceCount(uint32_t op)
{
    switch (op) {
    case VpMov:
    case VpRsq:
        return 1;
    case VpAdd:
    case VpSub:
    case VpMul:
    case VpDp3:
    case VpMin:
    case VpMax:
    case VpM4x4:
        return 2;
    case VpMad:
        return 3;
    default:
        return 0;
    }
}

uint32_t AssembleVertexProgram(const char *text, std::vector<uint32_t> *code, int *errorLine)
{
    code->clear();
    if (errorLine != nullptr)
        *errorLine = 0;
    if (text == nullptr)
        return VertexProgramInvalidData;
    bool versionSeen = false;
    int lineNumber = 0;
    const char *at = text;
    while (true) {
        const char *end = std::strchr(at, '\n');
        const std::string line = Trim(end != nullptr ? std::string(at, end) : std::string(at));
        ++lineNumber;
        if (!line.empty()) {
            bool ok;
            if (!versionSeen) {
                ok = line == "vs.1.1";
                versionSeen = ok;
                if (ok)
                    code->push_back(VertexProgramVersion);
            } else {
                ok = AssembleLine(line, code);
            }
            if (!ok) {
                code->clear();
                if (errorLine != nullptr)
                    *errorLine = lineNumber;
                return VertexProgramInvalidData;
            }
        }
        if (end == nullptr)
            break;
        at = end + 1;
    }
    if (!versionSeen)
        return VertexProgramInvalidData;
    code->push_back(VertexProgramEnd);
    return 0;
}

int VertexProgramLength(const uint32_t *code)
{
    if (code == nullptr || code[0] != VertexProgramVersion)
        return 0;
    int at = 1;
    while (code[at] != VertexProgramEnd) {
        const int sources = VertexProgramSourceCount(code[at]);
        if (sources == 0 || at > (1 << 20))
            return 0;
        at += 2 + sources;
    }
    return at + 1;
}

float VertexProgramRsq(float x)
{
    const float a = std::fabs(x);
    return a < 1e-36f ? 1e18f : 1.0f / std::sqrt(a);
}

void RunVertexProgram(const uint32_t *code, const float (*inputs)[4], uint32_t inputMask, const float (*constants)[4],
                      VertexProgramOutput *out)
{
    // Outputs start at the values of unwritten ones: a partial write keeps
    // the other components.
    static const float defaults[6][4] = {
        {0, 0, 0, 1}, {1, 1, 1, 1}, {0, 0, 0, 0}, {0, 0, 0, 1}, {0, 0, 0, 1}, {1, 1, 1, 1},
    };
    float temps[VertexProgramTemps][4] = {};
    float outputs[6][4];  // oPos, oD0, oD1, oT0, oT1, oFog
    std::memcpy(outputs, defaults, sizeof outputs);
    if (code == nullptr || code[0] != VertexProgramVersion)
        return;
    for (int at = 1; code[at] != VertexProgramEnd;) {
        const uint32_t op = code[at];
        const int sources = VertexProgramSourceCount(op);
        if (sources == 0)
            break;
        const uint32_t dest = code[at + 1];
        float s[3][4] = {};
        float r[4] = {};
        for (int i = 0; i < sources; ++i)
            Read(code[at + 2 + i], temps, inputs, inputMask, constants, 0, s[i]);
        switch (op) {
        case VpMov:
            std::memcpy(r, s[0], sizeof r);
            break;
        case VpAdd:
            for (int c = 0; c < 4; ++c)
                r[c] = s[0][c] + s[1][c];
            break;
        case VpSub:
            for (int c = 0; c < 4; ++c)
                r[c] = s[0][c] - s[1][c];
            break;
        case VpMul:
            for (int c = 0; c < 4; ++c)
                r[c] = s[0][c] * s[1][c];
            break;
        case VpMad:
            for (int c = 0; c < 4; ++c)
                r[c] = s[0][c] * s[1][c] + s[2][c];
            break;
        case VpMin:
            for (int c = 0; c < 4; ++c)
                r[c] = s[0][c] < s[1][c] ? s[0][c] : s[1][c];
            break;
        case VpMax:
            for (int c = 0; c < 4; ++c)
                r[c] = s[0][c] > s[1][c] ? s[0][c] : s[1][c];
            break;
        case VpRsq:
            r[0] = r[1] = r[2] = r[3] = VertexProgramRsq(s[0][0]);
            break;
        case VpDp3:
            r[0] = r[1] = r[2] = r[3] = s[0][0] * s[1][0] + s[0][1] * s[1][1] + s[0][2] * s[1][2];
            break;
        case VpM4x4:
            for (int row = 0; row < 4; ++row) {
                float m[4];
                Read(code[at + 3], temps, inputs, inputMask, constants, row, m);
                r[row] = s[0][0] * m[0] + s[0][1] * m[1] + s[0][2] * m[2] + s[0][3] * m[3];
            }
            break;
        default:
            break;
        }
        const uint32_t file = VpRegFile(dest);
        const uint32_t index = VpRegIndex(dest);
        float *target = nullptr;
        int slot = -1;
        if (file == VpTemp)
            target = temps[index];
        else if (file == VpPosition)
            slot = 0;
        else if (file == VpColour)
            slot = 1 + static_cast<int>(index);
        else if (file == VpTexture)
            slot = 3 + static_cast<int>(index);
        else if (file == VpFog)
            slot = 5;
        if (slot >= 0)
            target = outputs[slot];
        if (target != nullptr)
            for (int c = 0; c < 4; ++c)
                if ((VpRegMask(dest) >> c) & 1u)
                    target[c] = r[c];
        at += 2 + sources;
    }
    std::memcpy(out->position, outputs[0], sizeof out->position);
    for (int c = 0; c < 4; ++c) {
        out->diffuse[c] = Clamp01(outputs[1][c]);
        out->specular[c] = Clamp01(outputs[2][c]);
    }
    std::memcpy(out->tex[0], outputs[3], sizeof out->tex[0]);
    std::memcpy(out->tex[1], outputs[4], sizeof out->tex[1]);
    out->fog = Clamp01(outputs[5][0]);
}
