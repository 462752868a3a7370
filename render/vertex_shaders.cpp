#include "render/vertex_shaders.h"

#include "platform/graphics_device.h"
#include "platform/vertex_program.h"
#include "platform/window.h"
#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/render_device.h"

#include <vector>

namespace {

uint32_t ShaderTable[ShaderTableKinds * ShaderTableVariants] = {};
uint32_t CurrentShader = 0xFFFFFFFFu;  // none known: the next selection reaches the device
int LastKind = -1;
int LastVariant = -1;
int Assembled = 0;

// --- Fragments ---

const char *LitFull(int variant)
{
    return (variant & 1) != 0 ? "mov oD0,v5\n"
                              : "dp3 r3.x,v3,c10\nmax r3.x,r3.x,c95\ndp3 r0.x,v3,c7\nmov r1,c8\n"
                                "mad r2.xyz,r0.x,c9,r1\nmad r4.xyz,r3.x,c6.xyz,r2.xyz\nmul oD0.xyz,r4.xyz,v5.xyz\n"
                                "mov oD0.w,v5.w\n";
}

const char *LitSun(int variant)
{
    return (variant & 1) != 0 ? "mov r2,v5\nsub oD0.xyz, r2.xyz, v6.xyz\nmov oD0.w,v5.w\n"
                              : "dp3 r3.x,v3,c10\nmax r3.x,r3.x,c95\nmul r4.xyz,c6.xyz,r3.x\n"
                                "mul oD0.xyz,r4.xyz,v5.xyz\nmov oD0.w,v5.w\n";
}

const char *const Tex0 = "mov oT0,v8\n";
const char *const Tex1 = "mov oT1,v8\n";
const char *const TexProject = "m4x4 r5,v0,c12\nmax r5,r5,c16\nmin oT0,r5,c17\n";
const char *const Proj0 = "m4x4 oT0,v0,c80\n";
const char *const Proj1 = "m4x4 oT1,v0,c84\n";
const char *const White = "mov oD0,c92\n";
const char *const ReflectFixed =
    "mov oD0, c36\nsub r8, c30, v0\nmov r8.w,c92.x\ndp3 r3.w, r8, r8\nrsq r3.w, r3.w\nmul r3, r8, r3.w\n"
    "mov r9, v3\ndp3 r4, r3, r9\nadd r4, r4, r4\nmul r9, r9, r4\nadd r3, r3, -r9\nmov r3.w,c92.x\n"
    "m4x4 r4,r3,c31\nmov oT0,r4\nmin r3.z,r4.z,c92.z\nmax r3.z,r3.z,c95.z\nmul oD0.xyz,c36.w,r3.z\n"
    "mov oT0.w, c92.x\n";
const char *const ReflectVertex =
    "mov oD0,v5\nsub r8, v0, c30\nmul r8,r8,c35\nmov r8.w,c92.x\ndp3 r3.w, r8, r8\nrsq r3.w, r3.w\n"
    "mul r3, r8, r3.w\nmov r9, v3\ndp3 r4, r3, r9\nadd r4, r4, r4\nmul r9, r9, r4\nadd r3, r3, -r9\n"
    "mov r3.w,c92.x\nm4x4 oT0,r3,c31\nmov oT0.w, c92.x\n";

// Appends "%d" replaced by r to the text.
void AppendWithRegister(std::string &text, const char *pattern, int r)
{
    for (const char *p = pattern; *p != 0; ++p) {
        if (p[0] == '%' && p[1] == 'd') {
            text += static_cast<char>('0' + r);
            ++p;
        } else {
            text += *p;
        }
    }
}

// The hemisphere light into colour register r; appended to the text so far.
void Sky(std::string &text, int r, int variant, int fog)
{
    const char *const litPlain = "dp3 r0.x,v3,c7\nmov r1,c8\nmad r2.xyzw,r0.x,c9,r1\nmul oD%d.xyz,v5,r2\n";
    const char *const litDoubled = "dp3 r0.x,v3,c7\nmov r1,c8\nmad r2.xyzw,r0.x,c9,r1\nmul r2,v5,r2\nadd oD%d.xyz,r2,r2\n";
    if (!fog) {
        switch (variant) {
        case 1:
            AppendWithRegister(text, "mov oD%d,v6\n", r);
            return;
        case 3:
            AppendWithRegister(text, "add oD%d,v6,v6\n", r);
            return;
        case 2:
            AppendWithRegister(text, litDoubled, r);
            AppendWithRegister(text, "mov oD%d.w,c92.w\n", r);
            return;
        default:
            AppendWithRegister(text, litPlain, r);
            AppendWithRegister(text, "mov oD%d.w,c92.w\n", r);
            return;
        }
    }
    switch (variant) {
    case 1:
        text += r == 0 ? "mov oD0,v6\n" : "mov oD1.xyz,v6\n";
        return;
    case 3:
        text += r == 0 ? "add oD0,v6,v6\n" : "add oD1.xyz,v6,v6\n";
        return;
    default:
        AppendWithRegister(text, variant == 2 ? litDoubled : litPlain, r);
        if (r == 0)
            AppendWithRegister(text, "\nmov oD%d.w,c92.w\n", r);
        return;
    }
}

const char *ErrorName(uint32_t code, bool creating)
{
    switch (code) {
    case DeviceOutOfMemory:
        return "E_OUTOFMEMORY";
    case DeviceInvalidCall:
        return "D3DERR_INVALIDCALL";
    case VertexProgramInvalidData:
        return creating ? "UNKNOWN ERROR" : "D3DXERR_INVALIDDATA";
    case 0x8876017Cu:
        return creating ? "D3DERR_OUTOFVIDEOMEMORY" : "UNKNOWN ERROR";
    default:
        return "UNKNOWN ERROR";
    }
}

}  // namespace

std::string ComposeVertexShaderSource(int kind, int variant, int fog)
{
    std::string text;
    if (kind == 14)
        return fog ? "vs.1.1\nm4x4 oPos,v0,c80\nmov oFog,c95.x\nmov oT0,c95\nmov oD0,c84\n"
                   : "vs.1.1\nm4x4 oPos,v0,c80\nmov oT0,c95\nmov oD0,c84\n";
    text = fog ? "vs.1.1\nm4x4 r0,v0,c0\nmov oPos,r0\nmad oFog,r0.z,c90.x,c90.y\n" : "vs.1.1\nm4x4 oPos,v0,c0\n";
    switch (kind) {
    case 0:
        text += LitFull(variant);
        text += Tex0;
        break;
    case 1:
        text += LitSun(variant);
        Sky(text, 1, variant, fog);
        text += Proj0;
        break;
    case 2:
        text += LitSun(variant);
        Sky(text, 1, variant, fog);
        text += Proj0;
        text += Proj1;
        break;
    case 3:
        text += LitSun(variant);
        text += Proj0;
        text += Proj1;
        break;
    case 4:
        text += Proj0;
        text += Proj1;
        text += White;
        break;
    case 5:
        Sky(text, 0, variant, fog);
        break;
    case 6:
        text += LitSun(variant);
        text += Tex0;
        text += Proj1;
        break;
    case 7:
        Sky(text, 0, variant, fog);
        text += Tex0;
        break;
    case 8:
        text += ReflectVertex;
        break;
    case 9:
        text += TexProject;
        text += LitSun(variant);
        break;
    case 10:
        text += TexProject;
        text += LitSun(variant);
        text += Proj1;
        break;
    case 11:
        text += ReflectFixed;
        Sky(text, 1, variant, fog);
        break;
    case 12:
        text += TexProject;
        text += LitSun(variant);
        text += Tex1;
        break;
    case 13:
        text += ReflectFixed;
        break;
    case 15:
        text += Proj0;
        text += White;
        break;
    case 16:
        text += LitSun(variant);
        text += Tex0;
        break;
    default:
        break;
    }
    return text;
}

uint32_t ShaderVertexKind(int kind, int preLit)
{
    return GetVertexKindForMaterial(preLit, kind == 8);
}

const uint32_t *BuildShaderDeclaration(uint32_t fvf)
{
    static uint32_t tokens[16];
    int n = 0;
    tokens[n++] = 0x20000000u;
    if ((fvf & FvfXyz) != 0)
        tokens[n++] = 0x40020000u;
    if ((fvf & FvfXyzRhw) != 0)
        tokens[n++] = 0x40030000u;
    if ((fvf & FvfNormal) != 0)
        tokens[n++] = 0x40020003u;
    if ((fvf & FvfDiffuse) != 0)
        tokens[n++] = 0x40040005u;
    if ((fvf & FvfSpecular) != 0)
        tokens[n++] = 0x40040006u;
    uint32_t sets = (fvf & FvfTexCountMask) >> FvfTexCountShift;
    if (sets > 4)
        sets = 4;
    for (uint32_t i = 0; i < sets; ++i)
        tokens[n++] = 0x40010008u + i;
    tokens[n] = 0xFFFFFFFFu;
    return tokens;
}

uint32_t CreateVertexShaderFromSource(const char *source, const uint32_t *declaration, uint32_t vertexKind)
{
    const uint32_t fallback = GetFvfForVertexKind(vertexKind);
    std::vector<uint32_t> code;
    const uint32_t assembled = AssembleVertexProgram(source, &code);
    ++Assembled;
    if (assembled != 0) {
        PlatformMessageBox("Could not compile vertex shader", ErrorName(assembled, false), PlatformBoxError);
        return fallback;
    }
    GraphicsDevice *device = RenderDevice.Device;
    uint32_t handle = 0;
    const uint32_t created = device != nullptr ? device->CreateVertexShader(declaration, code.data(), &handle)
                                               : DeviceInvalidCall;
    if (created != DeviceOk || handle == 0) {
        PlatformMessageBox("Could not create vertex shader", ErrorName(created, true), PlatformBoxError);
        return fallback;
    }
    return handle;
}

uint32_t GetVertexShaderProgram(int kind, int preLit, int doubled, int unused)
{
    (void)unused;
    if (kind < 0 || kind >= ShaderTableKinds)
        kind = 0;
    const int variant = (preLit ? 1 : 0) + (doubled ? 2 : 0);
    LastKind = kind;
    LastVariant = variant;
    uint32_t &entry = ShaderTable[kind * ShaderTableVariants + variant];
    if (entry == 0) {
        const std::string source = ComposeVertexShaderSource(kind, variant, RenderDevice.FogEnabled);
        const uint32_t vertexKind = ShaderVertexKind(kind, preLit);
        entry = CreateVertexShaderFromSource(source.c_str(), BuildShaderDeclaration(GetFvfForVertexKind(vertexKind)),
                                             vertexKind);
    }
    SetVertexShaderCached(entry);
    return entry;
}

uint32_t ShaderTableEntry(int kind, int variant)
{
    if (kind < 0 || kind >= ShaderTableKinds || variant < 0 || variant >= ShaderTableVariants)
        return 0;
    return ShaderTable[kind * ShaderTableVariants + variant];
}

int LastShaderKind()
{
    return LastKind;
}

int LastShaderVariant()
{
    return LastVariant;
}

int ShaderAssembleCount()
{
    return Assembled;
}

// --- The device's current shader -------------------------------------------------------------

void ReleaseVertexShaders()
{
    for (uint32_t &entry : ShaderTable) {
        if (entry >= FirstShaderHandle && RenderDevice.Device != nullptr)
            RenderDevice.Device->DeleteVertexShader(entry);
        entry = 0;
    }
    ClearCurrentMaterial();
}

void ForgetVertexShader()
{
    CurrentShader = 0xFFFFFFFFu;
    ClearCurrentMaterial();
}

void SetVertexShaderCached(uint32_t handleOrFvf)
{
    if (handleOrFvf == CurrentShader)
        return;
    CurrentShader = handleOrFvf;
    if (RenderDevice.Device != nullptr)
        RenderDevice.Device->SetVertexShader(handleOrFvf);
}
