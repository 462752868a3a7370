#include "platform/recording_device.h"

#include "platform/device_slots.h"
#include "platform/vertex_program.h"

#include <algorithm>
#include <cstring>

RecordingAdapter NullDisplayAdapter()
{
    RecordingAdapter adapter;
    adapter.description = "Null display";
    adapter.desktop = {1024, 768, 60, RenderFormatX8R8G8B8};
    const uint32_t x888 = RenderFormatX8R8G8B8;
    const uint32_t r565 = RenderFormatR5G6B5;
    adapter.modes = {
        {320, 240, 60, x888},   {640, 480, 60, x888},   {640, 480, 60, r565},   {800, 600, 60, x888},
        {800, 600, 60, r565},   {1024, 768, 60, x888},  {1024, 768, 60, r565},  {1024, 768, 60, x888},
        {1280, 960, 60, x888},  {1280, 960, 60, r565},
    };
    adapter.caps = NullDeviceCapsRecord();
    return adapter;
}

DeviceCapsRecord NullDeviceCapsRecord()
{
    DeviceCapsRecord caps{};
    caps.canRenderWindowed = 1;
    caps.hardwareTransform = 1;
    caps.vertexShaderVersion = 0x101;
    caps.maxTextureWidth = 4096;
    caps.maxTextureHeight = 4096;
    caps.clampAddressing = 1;
    caps.borderAddressing = 1;
    caps.destColourSourceBlend = 1;
    caps.sourceColourDestBlend = 1;
    caps.modulate2x = 1;
    caps.maxSimultaneousTextures = 2;
    caps.dynamicTextures = 1;
    caps.maxAnisotropy = 1;
    return caps;
}

RecordingDevice::RecordingDevice()
{
    adapters.push_back(NullDisplayAdapter());
    usableDepthFormats = {RenderFormatD16, RenderFormatD24X8, RenderFormatD24S8};
    SetDefaultStates();
    textures_.emplace_back();  // handle 0 is none
    surfaces_.emplace_back();
    buffers_.emplace_back();
    shaders_.push_back(Shader{false, {}, {}});
}

RecordingDevice::~RecordingDevice() = default;

// --- Helpers ---------------------------------------------------------------------------

void RecordingDevice::Log(const char *name, std::initializer_list<uint32_t> args)
{
    if (logCalls)
        calls.push_back(DeviceCall{name, std::vector<uint32_t>(args)});
}

bool RecordingDevice::Fails(const char *name) const
{
    return failing.count(name) != 0;
}

void RecordingDevice::SetDefaultStates()
{
    for (int s = 0; s < RenderStateCount; ++s) {
        renderStates[s] = DeviceDefaultRenderState(s);
    }
    for (int stage = 0; stage < DeviceStageCount; ++stage) {
        for (int t = 0; t < StageStateCount; ++t) {
            stageStates[stage][t] = DeviceDefaultStageState(stage, t);
        }
    }
    std::memset(transforms, 0, sizeof(transforms));
    for (auto &m : transforms) {
        m[0] = m[5] = m[10] = m[15] = 1.0f;
    }
    std::memset(constants, 0, sizeof(constants));
}

void RecordingDevice::MakeBackBuffer()
{
    backBuffer_.assign(static_cast<size_t>(std::max(present_.width, 1)) * static_cast<size_t>(std::max(present_.height, 1)),
                       0);
    viewport_ = {0, 0, present_.width, present_.height, 0.0f, 1.0f};
    target_ = 0;
}

uint32_t RecordingDevice::NewSurface(const Surface &surface)
{
    return AddLiveSlot(surfaces_, surface);
}

RecordingDevice::Texture *RecordingDevice::FindTexture(uint32_t texture)
{
    return FindLiveSlot(textures_, texture);
}

RecordingDevice::Surface *RecordingDevice::FindSurface(uint32_t surface)
{
    return FindLiveSlot(surfaces_, surface);
}

RecordingDevice::Buffer *RecordingDevice::FindBuffer(uint32_t buffer)
{
    return FindLiveSlot(buffers_, buffer);
}

std::vector<DeviceCall> RecordingDevice::CallsNamed(const std::string &name) const
{
    std::vector<DeviceCall> found;
    for (const DeviceCall &call : calls) {
        if (call.name == name) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<std::string> RecordingDevice::CallNames(bool withStates) const
{
    std::vector<std::string> names;
    for (const DeviceCall &call : calls) {
        const bool state = call.name == "SetRenderState" || call.name == "SetTextureStageState" ||
                           call.name == "GetRenderState" || call.name == "GetTextureStageState";
        if (withStates || !state) {
            names.push_back(call.name);
        }
    }
    return names;
}

void RecordingDevice::ClearLog()
{
    calls.clear();
}

int RecordingDevice::DefaultPoolResources() const
{
    int count = 0;
    for (const Texture &t : textures_) {
        count += t.alive && t.pool == PoolDefault ? 1 : 0;
    }
    for (const Buffer &b : buffers_) {
        count += b.alive && b.pool == PoolDefault ? 1 : 0;
    }
    for (const Surface &s : surfaces_) {
        count += s.alive && (s.kind == 3 || s.kind == 4) ? 1 : 0;
    }
    return count;
}

int RecordingDevice::LiveTextures() const
{
    return static_cast<int>(std::count_if(textures_.begin(), textures_.end(), [](const Texture &t) { return t.alive; }));
}

int RecordingDevice::LiveBuffers() const
{
    return static_cast<int>(std::count_if(buffers_.begin(), buffers_.end(), [](const Buffer &b) { return b.alive; }));
}

int RecordingDevice::LiveSurfaces() const
{
    return static_cast<int>(std::count_if(surfaces_.begin(), surfaces_.end(), [](const Surface &s) { return s.alive; }));
}

std::vector<uint8_t> RecordingDevice::BufferBytes(uint32_t buffer) const
{
    const Buffer *found = FindLiveSlot(buffers_, buffer);
    return found != nullptr ? found->bytes : std::vector<uint8_t>{};
}

uint32_t RecordingDevice::BufferUsage(uint32_t buffer) const
{
    const Buffer *found = FindLiveSlot(buffers_, buffer);
    return found != nullptr ? found->usage : 0;
}

uint32_t RecordingDevice::BackBufferPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= present_.width || y >= present_.height) {
        return 0;
    }
    return backBuffer_[static_cast<size_t>(y) * static_cast<size_t>(present_.width) + static_cast<size_t>(x)];
}

bool RecordingDevice::Start()
{
    Log("Start", {});
    return startable;
}

void RecordingDevice::Stop()
{
    Log("Stop", {});
}

// --- Adapters --------------------------------------------------------------------------

int RecordingDevice::AdapterCount()
{
    return static_cast<int>(adapters.size());
}

const char *RecordingDevice::AdapterDescription(int adapter)
{
    if (adapter < 0 || adapter >= AdapterCount()) {
        return "";
    }
    return adapters[static_cast<size_t>(adapter)].description.c_str();
}

bool RecordingDevice::DesktopMode(int adapter, DeviceDisplayMode *mode)
{
    if (adapter < 0 || adapter >= AdapterCount() || mode == nullptr) {
        return false;
    }
    *mode = adapters[static_cast<size_t>(adapter)].desktop;
    return true;
}

int RecordingDevice::ModeCount(int adapter)
{
    if (adapter < 0 || adapter >= AdapterCount()) {
        return 0;
    }
    return static_cast<int>(adapters[static_cast<size_t>(adapter)].modes.size());
}

bool RecordingDevice::Mode(int adapter, int index, DeviceDisplayMode *mode)
{
    if (index < 0 || index >= ModeCount(adapter) || mode == nullptr) {
        return false;
    }
    *mode = adapters[static_cast<size_t>(adapter)].modes[static_cast<size_t>(index)];
    return true;
}

bool RecordingDevice::CheckDisplayFormat(int adapter, uint32_t format)
{
    if (adapter < 0 || adapter >= AdapterCount()) {
        return false;
    }
    const auto &refused = adapters[static_cast<size_t>(adapter)].refusedFormats;
    const bool known = format == RenderFormatA8R8G8B8 || format == RenderFormatX8R8G8B8 ||
                       format == RenderFormatR5G6B5 || format == RenderFormatX1R5G5B5;
    return known && std::find(refused.begin(), refused.end(), format) == refused.end();
}

bool RecordingDevice::CheckDepthFormat(int adapter, uint32_t displayFormat, uint32_t depthFormat)
{
    const std::pair<uint32_t, uint32_t> pair(displayFormat, depthFormat);
    return CheckDisplayFormat(adapter, displayFormat) &&
           std::find(usableDepthFormats.begin(), usableDepthFormats.end(), depthFormat) != usableDepthFormats.end() &&
           std::find(refusedDepthPairs.begin(), refusedDepthPairs.end(), pair) == refusedDepthPairs.end();
}

bool RecordingDevice::CheckMultiSample(int adapter, uint32_t format, int, int multiSample)
{
    return CheckDisplayFormat(adapter, format) && multiSample >= 0 && multiSample <= MaxMultiSample &&
           refusedMultiSample.count(multiSample) == 0;
}

bool RecordingDevice::Caps(int adapter, DeviceCapsRecord *caps)
{
    if (adapter < 0 || adapter >= AdapterCount() || caps == nullptr) {
        return false;
    }
    *caps = adapters[static_cast<size_t>(adapter)].caps;
    return true;
}

// --- Life --------------------------------------------------------------------------------

uint32_t RecordingDevice::Create(int adapter, const DevicePresent &present, uint32_t behaviour)
{
    Log("Create", {static_cast<uint32_t>(adapter), static_cast<uint32_t>(present.width),
                   static_cast<uint32_t>(present.height), behaviour});
    if (Fails("Create") || adapter < 0 || adapter >= AdapterCount()) {
        return DeviceInvalidCall;
    }
    exists_ = true;
    present_ = present;
    SetDefaultStates();
    MakeBackBuffer();
    return DeviceOk;
}

uint32_t RecordingDevice::Reset(const DevicePresent &present)
{
    Log("Reset", {static_cast<uint32_t>(present.width), static_cast<uint32_t>(present.height),
                  static_cast<uint32_t>(present.multiSample), static_cast<uint32_t>(present.windowed)});
    if (!exists_ || Fails("Reset") || DefaultPoolResources() != 0) {
        cooperativeLevel = exists_ ? DeviceNotReset : cooperativeLevel;
        return DeviceInvalidCall;
    }
    present_ = present;
    SetDefaultStates();
    MakeBackBuffer();
    std::fill(std::begin(boundTextures_), std::end(boundTextures_), 0u);
    if (cooperativeLevel == DeviceNotReset) {
        cooperativeLevel = DeviceOk;
    }
    return DeviceOk;
}

uint32_t RecordingDevice::TestCooperativeLevel()
{
    Log("TestCooperativeLevel", {});
    return cooperativeLevel;
}

void RecordingDevice::Release()
{
    Log("Release", {});
    exists_ = false;
    inScene_ = false;
}

bool RecordingDevice::Exists()
{
    return exists_;
}

bool RecordingDevice::ClientSize(int *width, int *height)
{
    if (clientWidth <= 0 || clientHeight <= 0) {
        return false;
    }
    *width = clientWidth;
    *height = clientHeight;
    return true;
}

const char *RecordingDevice::RendererName()
{
    return exists_ ? "Recording device" : "";
}

// --- Frames -------------------------------------------------------------------------------

uint32_t RecordingDevice::BeginScene()
{
    Log("BeginScene", {});
    if (inScene_) {
        return DeviceInvalidCall;
    }
    inScene_ = true;
    return DeviceOk;
}

uint32_t RecordingDevice::EndScene()
{
    Log("EndScene", {});
    if (!inScene_) {
        return DeviceInvalidCall;
    }
    inScene_ = false;
    return DeviceOk;
}

uint32_t RecordingDevice::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil)
{
    Log("Clear", {flags, argb, FloatBits(z), stencil});
    if (!exists_ || (flags & ClearTarget) == 0) {
        return DeviceOk;
    }
    int width = present_.width;
    int height = present_.height;
    uint32_t *pixels = backBuffer_.data();
    int pitch = present_.width;
    if (target_ != 0) {
        Surface *surface = FindSurface(target_);
        Texture *texture = surface != nullptr ? FindTexture(surface->texture) : nullptr;
        if (texture == nullptr || FormatTexelBytes(texture->format) != 4) {
            return DeviceOk;
        }
        width = texture->width;
        height = texture->height;
        pixels = reinterpret_cast<uint32_t *>(texture->levels[0].data());
        pitch = width;
    }
    const int x0 = std::clamp(viewport_.x, 0, width);
    const int y0 = std::clamp(viewport_.y, 0, height);
    const int x1 = std::clamp(viewport_.x + viewport_.width, 0, width);
    const int y1 = std::clamp(viewport_.y + viewport_.height, 0, height);
    for (int y = y0; y < y1; ++y) {
        std::fill(pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch) + x0,
                  pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch) + x1, argb);
    }
    return DeviceOk;
}

uint32_t RecordingDevice::Present()
{
    Log("Present", {});
    ++presents;
    lastFrame = frame;
    frame = DeviceFrameCounts{};
    return exists_ ? cooperativeLevel : DeviceInvalidCall;
}

uint32_t RecordingDevice::SetViewport(const DeviceViewport &viewport)
{
    Log("SetViewport", {static_cast<uint32_t>(viewport.x), static_cast<uint32_t>(viewport.y),
                        static_cast<uint32_t>(viewport.width), static_cast<uint32_t>(viewport.height)});
    viewport_ = viewport;
    return DeviceOk;
}

// --- Targets -----------------------------------------------------------------------------------

uint32_t RecordingDevice::BackBufferSurface()
{
    if (!exists_) {
        return 0;
    }
    Surface surface;
    surface.kind = 0;
    surface.width = present_.width;
    surface.height = present_.height;
    return NewSurface(surface);
}

uint32_t RecordingDevice::DepthStencilSurface()
{
    if (!exists_ || !present_.autoDepthStencil) {
        return 0;
    }
    Surface surface;
    surface.kind = 1;
    surface.width = present_.width;
    surface.height = present_.height;
    return NewSurface(surface);
}

uint32_t RecordingDevice::TextureSurface(uint32_t texture, int level)
{
    Texture *found = FindTexture(texture);
    if (found == nullptr || Fails("TextureSurface") || level < 0 || level >= static_cast<int>(found->levels.size())) {
        return 0;
    }
    Surface surface;
    surface.kind = 2;
    surface.texture = texture;
    surface.level = level;
    surface.width = std::max(found->width >> level, 1);
    surface.height = std::max(found->height >> level, 1);
    return NewSurface(surface);
}

bool RecordingDevice::SurfaceSize(uint32_t surface, int *width, int *height)
{
    Surface *found = FindSurface(surface);
    if (found == nullptr) {
        return false;
    }
    *width = found->kind <= 1 ? present_.width : found->width;
    *height = found->kind <= 1 ? present_.height : found->height;
    return true;
}

uint32_t RecordingDevice::SetRenderTarget(uint32_t surface, uint32_t depthSurface)
{
    Log("SetRenderTarget", {surface, depthSurface});
    Surface *found = FindSurface(surface);
    if (Fails("SetRenderTarget") || found == nullptr) {
        return DeviceInvalidCall;
    }
    ++frame.targetSwitches;
    target_ = found->kind == 0 ? 0 : surface;
    int width = 0;
    int height = 0;
    SurfaceSize(surface, &width, &height);
    viewport_ = {0, 0, width, height, 0.0f, 1.0f};
    return DeviceOk;
}

uint32_t RecordingDevice::CreateDepthSurface(int width, int height, uint32_t format, uint32_t *surface)
{
    Log("CreateDepthSurface", {static_cast<uint32_t>(width), static_cast<uint32_t>(height), format});
    if (Fails("CreateDepthSurface") || width <= 0 || height <= 0) {
        return DeviceOutOfMemory;
    }
    Surface made;
    made.kind = 3;
    made.width = width;
    made.height = height;
    *surface = NewSurface(made);
    return DeviceOk;
}

uint32_t RecordingDevice::CreateLockableTarget(int width, int height, uint32_t format, uint32_t *surface)
{
    Log("CreateLockableTarget", {static_cast<uint32_t>(width), static_cast<uint32_t>(height), format});
    if (Fails("CreateLockableTarget") || width <= 0 || height <= 0) {
        return DeviceOutOfMemory;
    }
    Surface made;
    made.kind = 4;
    made.width = width;
    made.height = height;
    made.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    *surface = NewSurface(made);
    return DeviceOk;
}

uint32_t RecordingDevice::LockSurface(uint32_t surface, DeviceLockedRect *locked, uint32_t flags)
{
    Log("LockSurface", {surface, flags});
    Surface *found = FindSurface(surface);
    if (Fails("LockSurface") || found == nullptr || found->kind != 4) {
        return DeviceInvalidCall;
    }
    locked->bits = found->pixels.data();
    locked->pitch = found->width * 4;
    return DeviceOk;
}

uint32_t RecordingDevice::UnlockSurface(uint32_t surface)
{
    Log("UnlockSurface", {surface});
    return FindSurface(surface) != nullptr ? DeviceOk : DeviceInvalidCall;
}

uint32_t RecordingDevice::CopyRect(uint32_t from, const DeviceRect &rect, uint32_t to, int x, int y)
{
    Log("CopyRect", {from, static_cast<uint32_t>(rect.left), static_cast<uint32_t>(rect.top),
                     static_cast<uint32_t>(rect.right), static_cast<uint32_t>(rect.bottom), to,
                     static_cast<uint32_t>(x), static_cast<uint32_t>(y)});
    return FindSurface(from) != nullptr && FindSurface(to) != nullptr ? DeviceOk : DeviceInvalidCall;
}

void RecordingDevice::ReleaseSurface(uint32_t surface)
{
    Surface *found = FindSurface(surface);
    if (found != nullptr) {
        Log("ReleaseSurface", {surface});
        found->alive = false;
        found->pixels.clear();
    }
}

uint32_t RecordingDevice::ReadBackBuffer(uint8_t *out, int width, int height)
{
    Log("ReadBackBuffer", {static_cast<uint32_t>(width), static_cast<uint32_t>(height)});
    if (!exists_ || Fails("ReadBackBuffer") || width != present_.width || height != present_.height) {
        return DeviceInvalidCall;
    }
    for (size_t i = 0; i < backBuffer_.size(); ++i) {
        const uint32_t c = backBuffer_[i];
        out[i * 4] = static_cast<uint8_t>(c);
        out[i * 4 + 1] = static_cast<uint8_t>(c >> 8);
        out[i * 4 + 2] = static_cast<uint8_t>(c >> 16);
        out[i * 4 + 3] = static_cast<uint8_t>(c >> 24);
    }
    return DeviceOk;
}

// --- Textures -------------------------------------------------------------------------------------

uint32_t RecordingDevice::CreateTexture(int width, int height, int levels, uint32_t usage, uint32_t format,
                                        uint32_t pool, uint32_t *texture)
{
    Log("CreateTexture", {static_cast<uint32_t>(width), static_cast<uint32_t>(height), static_cast<uint32_t>(levels),
                          usage, format, pool});
    const bool known = FormatTexelBytes(format) != 0 || FormatBlockBytes(format) != 0;
    if (Fails("CreateTexture") || width <= 0 || height <= 0 || !known || refusedTextureFormats.count(format) != 0) {
        return Fails("CreateTexture") ? DeviceOutOfMemory : DeviceInvalidCall;
    }
    int most = 1;
    while ((width >> most) > 0 || (height >> most) > 0) {
        ++most;
    }
    Texture made;
    made.alive = true;
    made.width = width;
    made.height = height;
    made.format = format;
    made.usage = usage;
    made.pool = (usage & UsageRenderTarget) != 0 ? PoolDefault : pool;
    const int count = levels <= 0 ? most : std::min(levels, most);
    for (int level = 0; level < count; ++level) {
        made.levels.emplace_back(static_cast<size_t>(FormatLevelBytes(format, std::max(width >> level, 1),
                                                                      std::max(height >> level, 1))),
                                 0);
    }
    textures_.push_back(std::move(made));
    *texture = static_cast<uint32_t>(textures_.size() - 1);
    return DeviceOk;
}

int RecordingDevice::TextureLevels(uint32_t texture)
{
    Texture *found = FindTexture(texture);
    return found != nullptr ? static_cast<int>(found->levels.size()) : 0;
}

bool RecordingDevice::TextureLevelSize(uint32_t texture, int level, int *width, int *height)
{
    Texture *found = FindTexture(texture);
    if (found == nullptr || level < 0 || level >= static_cast<int>(found->levels.size())) {
        return false;
    }
    *width = std::max(found->width >> level, 1);
    *height = std::max(found->height >> level, 1);
    return true;
}

uint32_t RecordingDevice::LockTexture(uint32_t texture, int level, const DeviceRect *rect, uint32_t flags,
                                      DeviceLockedRect *locked)
{
    Log("LockTexture", {texture, static_cast<uint32_t>(level), flags});
    Texture *found = FindTexture(texture);
    if (Fails("LockTexture") || found == nullptr || level < 0 || level >= static_cast<int>(found->levels.size())) {
        return DeviceInvalidCall;
    }
    ++frame.textureLocks;
    const int width = std::max(found->width >> level, 1);
    const int pitch = FormatRowBytes(found->format, width);
    uint8_t *bits = found->levels[static_cast<size_t>(level)].data();
    if (rect != nullptr) {
        const bool blocks = FormatBlockBytes(found->format) != 0;
        const int row = blocks ? rect->top / 4 : rect->top;
        const int column = blocks ? rect->left / 4 * FormatBlockBytes(found->format)
                                  : rect->left * FormatTexelBytes(found->format);
        bits += static_cast<size_t>(row) * static_cast<size_t>(pitch) + static_cast<size_t>(column);
    }
    locked->bits = bits;
    locked->pitch = pitch;
    return DeviceOk;
}

uint32_t RecordingDevice::UnlockTexture(uint32_t texture, int level)
{
    Log("UnlockTexture", {texture, static_cast<uint32_t>(level)});
    return FindTexture(texture) != nullptr ? DeviceOk : DeviceInvalidCall;
}

uint32_t RecordingDevice::SetTexture(int stage, uint32_t texture)
{
    Log("SetTexture", {static_cast<uint32_t>(stage), texture});
    if (stage < 0 || stage >= DeviceStageCount) {
        return DeviceInvalidCall;
    }
    ++frame.textureBinds;
    boundTextures_[stage] = texture;
    return DeviceOk;
}

void RecordingDevice::ReleaseTexture(uint32_t texture)
{
    Texture *found = FindTexture(texture);
    if (found != nullptr) {
        Log("ReleaseTexture", {texture});
        found->alive = false;
        found->levels.clear();
        for (uint32_t &bound : boundTextures_) {
            bound = bound == texture ? 0 : bound;
        }
    }
}

// --- States and transforms -------------------------------------------------------------------

uint32_t RecordingDevice::SetRenderState(uint32_t state, uint32_t value)
{
    Log("SetRenderState", {state, value});
    if (state >= static_cast<uint32_t>(RenderStateCount)) {
        return DeviceInvalidCall;
    }
    ++frame.renderStates;
    renderStates[state] = value;
    return DeviceOk;
}

uint32_t RecordingDevice::GetRenderState(uint32_t state, uint32_t *value)
{
    if (state >= static_cast<uint32_t>(RenderStateCount)) {
        return DeviceInvalidCall;
    }
    *value = renderStates[state];
    return DeviceOk;
}

uint32_t RecordingDevice::SetTextureStageState(int stage, uint32_t type, uint32_t value)
{
    Log("SetTextureStageState", {static_cast<uint32_t>(stage), type, value});
    if (stage < 0 || stage >= DeviceStageCount || type >= static_cast<uint32_t>(StageStateCount)) {
        return DeviceInvalidCall;
    }
    ++frame.stageStates;
    stageStates[stage][type] = value;
    return DeviceOk;
}

uint32_t RecordingDevice::GetTextureStageState(int stage, uint32_t type, uint32_t *value)
{
    if (stage < 0 || stage >= DeviceStageCount || type >= static_cast<uint32_t>(StageStateCount)) {
        return DeviceInvalidCall;
    }
    *value = stageStates[stage][type];
    return DeviceOk;
}

uint32_t RecordingDevice::SetTransform(uint32_t kind, const float *matrix)
{
    Log("SetTransform", {kind});
    const int slot = kind == TransformWorld ? 0 : kind == TransformView ? 1 : kind == TransformProjection ? 2 : -1;
    if (slot < 0 || matrix == nullptr) {
        return DeviceInvalidCall;
    }
    std::memcpy(transforms[slot], matrix, sizeof(transforms[slot]));
    return DeviceOk;
}

// --- Buffers --------------------------------------------------------------------------------------

uint32_t RecordingDevice::CreateVertexBuffer(int bytes, uint32_t usage, uint32_t fvf, uint32_t pool, uint32_t *buffer)
{
    Log("CreateVertexBuffer", {static_cast<uint32_t>(bytes), usage, fvf, pool});
    if (Fails("CreateVertexBuffer") || bytes <= 0) {
        return DeviceOutOfMemory;
    }
    Buffer made;
    made.alive = true;
    made.pool = (usage & UsageDynamic) != 0 ? PoolDefault : pool;
    made.usage = usage;
    made.bytes.assign(static_cast<size_t>(bytes), 0);
    buffers_.push_back(std::move(made));
    *buffer = static_cast<uint32_t>(buffers_.size() - 1);
    return DeviceOk;
}

uint32_t RecordingDevice::CreateIndexBuffer(int bytes, uint32_t usage, uint32_t format, uint32_t pool,
                                            uint32_t *buffer)
{
    Log("CreateIndexBuffer", {static_cast<uint32_t>(bytes), usage, format, pool});
    if (Fails("CreateIndexBuffer") || bytes <= 0 ||
        (format != RenderFormatIndex16 && format != RenderFormatIndex32)) {
        return DeviceOutOfMemory;
    }
    Buffer made;
    made.alive = true;
    made.index = true;
    made.pool = (usage & UsageDynamic) != 0 ? PoolDefault : pool;
    made.usage = usage;
    made.bytes.assign(static_cast<size_t>(bytes), 0);
    buffers_.push_back(std::move(made));
    *buffer = static_cast<uint32_t>(buffers_.size() - 1);
    return DeviceOk;
}

uint32_t RecordingDevice::LockBuffer(uint32_t buffer, int offset, int size, uint32_t flags, void **data)
{
    Log("LockBuffer", {buffer, static_cast<uint32_t>(offset), static_cast<uint32_t>(size), flags});
    Buffer *found = FindBuffer(buffer);
    if (Fails("LockBuffer") || found == nullptr || offset < 0 || size < 0 ||
        static_cast<size_t>(offset) + static_cast<size_t>(size) > found->bytes.size()) {
        return DeviceInvalidCall;
    }
    ++frame.bufferLocks;
    *data = found->bytes.data() + offset;
    return DeviceOk;
}

uint32_t RecordingDevice::UnlockBuffer(uint32_t buffer)
{
    Log("UnlockBuffer", {buffer});
    return FindBuffer(buffer) != nullptr ? DeviceOk : DeviceInvalidCall;
}

void RecordingDevice::ReleaseBuffer(uint32_t buffer)
{
    Buffer *found = FindBuffer(buffer);
    if (found != nullptr) {
        Log("ReleaseBuffer", {buffer});
        found->alive = false;
        found->bytes.clear();
    }
}

uint32_t RecordingDevice::SetStreamSource(uint32_t buffer, int stride)
{
    Log("SetStreamSource", {buffer, static_cast<uint32_t>(stride)});
    return DeviceOk;
}

uint32_t RecordingDevice::SetIndices(uint32_t buffer, int baseVertex)
{
    Log("SetIndices", {buffer, static_cast<uint32_t>(baseVertex)});
    return DeviceOk;
}

// --- Vertex shaders and drawing --------------------------------------------------------------------

uint32_t RecordingDevice::CreateVertexShader(const uint32_t *declaration, const uint32_t *code, uint32_t *handle)
{
    Log("CreateVertexShader", {});
    const int length = VertexProgramLength(code);
    if (Fails("CreateVertexShader") || declaration == nullptr || length == 0) {
        return DeviceInvalidCall;
    }
    Shader shader{true, std::vector<uint32_t>(code, code + length), {}};
    for (int i = 0; i < 64; ++i) {
        shader.declaration.push_back(declaration[i]);
        if (declaration[i] == 0xFFFFFFFFu) {
            break;
        }
    }
    shaders_.push_back(std::move(shader));
    *handle = FirstShaderHandle + static_cast<uint32_t>(shaders_.size() - 1);
    return DeviceOk;
}

const std::vector<uint32_t> *RecordingDevice::ShaderCode(uint32_t handle) const
{
    const uint32_t index = handle - FirstShaderHandle;
    if (handle < FirstShaderHandle || index >= shaders_.size() || !shaders_[index].alive) {
        return nullptr;
    }
    return &shaders_[index].code;
}

const std::vector<uint32_t> *RecordingDevice::ShaderDeclaration(uint32_t handle) const
{
    const uint32_t index = handle - FirstShaderHandle;
    if (handle < FirstShaderHandle || index >= shaders_.size() || !shaders_[index].alive) {
        return nullptr;
    }
    return &shaders_[index].declaration;
}

uint32_t RecordingDevice::DeleteVertexShader(uint32_t handle)
{
    Log("DeleteVertexShader", {handle});
    const uint32_t index = handle - FirstShaderHandle;
    if (handle < FirstShaderHandle || index >= shaders_.size() || !shaders_[index].alive) {
        return DeviceInvalidCall;
    }
    shaders_[index].alive = false;
    shaders_[index].code.clear();
    return DeviceOk;
}

uint32_t RecordingDevice::SetVertexShader(uint32_t handleOrFvf)
{
    Log("SetVertexShader", {handleOrFvf});
    currentShader = handleOrFvf;
    ++frame.shaderSelections;
    return DeviceOk;
}

uint32_t RecordingDevice::SetVertexShaderConstant(int firstRegister, const float *values, int count)
{
    Log("SetVertexShaderConstant", {static_cast<uint32_t>(firstRegister), static_cast<uint32_t>(count)});
    if (firstRegister < 0 || count < 0 || firstRegister + count > 96) {
        return DeviceInvalidCall;
    }
    std::memcpy(constants[firstRegister], values, sizeof(float) * 4 * static_cast<size_t>(count));
    frame.constantRegisters += count;
    return DeviceOk;
}

uint32_t RecordingDevice::DrawIndexedTriangles(int minIndex, int vertexCount, int startIndex, int triangleCount)
{
    Log("DrawIndexedTriangles", {static_cast<uint32_t>(minIndex), static_cast<uint32_t>(vertexCount),
                                 static_cast<uint32_t>(startIndex), static_cast<uint32_t>(triangleCount)});
    ++frame.drawCalls;
    frame.triangles += triangleCount;
    return DeviceOk;
}
