#pragma once

#include <cstdint>
#include <vector>

// Render objects: named meshes made of one part per material. Each part's
// geometry is divided into items (one placed world object of a track mesh,
// one level of detail of a car model); the items of a part lie one after
// the other, so a run of consecutive visible items is one draw call.
//
// Building: InitParts, SetPartMaterial per part; then per item ClearParts
// (returns the item index), add the item's vertices and triangles to the
// parts that need them (RenderPart::AddVertex / AddTriangle, indices
// relative to the item), FinishParts; finally Build.
//
// The build moves every part into a static vertex buffer of its vertex
// kind and an index buffer (16-bit; 32-bit for a part of more than 65536
// vertices) from the buffer pools. The CPU side of every part (vertices,
// indices, item ranges) is kept after the build as well, so that runs
// without a device and tests can read meshes back. A part whose buffers
// could not be made (no device) draws nothing.
//
// Parts compare materials by pointer. The vertex kind 14 ("take the
// material's") is resolved from the material when it is set.

struct Material;
struct RenderObject;
struct VertexBuffer;
struct IndexBuffer;
struct TextureRecord;

constexpr uint32_t VertexKindOfMaterial = 14;   // "take the vertex kind of the material"
constexpr int RenderObjectNameSize = 64;       // 63 characters and a terminating zero
constexpr int NoProjector = 32;                // "no projector" / "no further set bit"

// One vertex as builders hand it over (40 bytes).
struct PartVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
    uint32_t diffuse;   // ARGB
    uint32_t specular;  // ARGB
};
static_assert(sizeof(PartVertex) == 40, "PartVertex is 40 bytes");

// Index and vertex range of one finished item within its part.
struct PartItemRange {
    uint32_t firstIndex;
    uint32_t firstVertex;
    uint32_t endIndex;
    uint32_t endVertex;
};

// The geometry of one material inside a render object.
struct RenderPart {
    uint32_t passCount = 0;                      // projectors consumed by the last draw (0..2)
    Material *material = nullptr;
    uint32_t stateWords[4] = {VertexKindOfMaterial, VertexKindOfMaterial, VertexKindOfMaterial,
                              VertexKindOfMaterial};  // as given to SetPartMaterial
    uint32_t vertexKind = VertexKindOfMaterial;  // 14 until resolved
    uint32_t vertexCount = 0;                    // vertices of the built part
    uint32_t indexCount = 0;                     // indices of the built part
    uint32_t itemCount = 0;                      // finished items
    int built = 0;                               // 1 after BuildBuffers: no new items
    VertexBuffer *vertexBuffer = nullptr;        // static, write-only; null: none could be made
    IndexBuffer *indexBuffer = nullptr;          // 16-bit, or 32-bit past 65536 vertices

    std::vector<PartVertex> vertices;            // finished items, in item order
    std::vector<uint32_t> indices;               // offset by each item's first vertex
    std::vector<PartItemRange> ranges;           // one per finished item
    std::vector<uint32_t> emptyItems;            // bit set: items without geometry (after the build)
    std::vector<uint32_t> itemData;              // per item: leftover projector mask, extra-pass flag

    std::vector<PartVertex> itemVertices;        // the item being collected
    std::vector<uint16_t> itemIndices;           // relative to the item

    // Reserves room for the ranges of the expected number of items;
    // item count 0.
    void Init(int expectedItems);
    // Empties the item being collected.
    void ClearItem();
    // Triangles (item indices / 3) and vertices of the item being collected.
    void GetCounts(int *triangles, int *vertexCountOut) const;
    // Reserves room in the item arrays (nothing when either count is 0).
    void Reserve(int triangles, int vertexCountWanted);
    // Three indices relative to the item. Ignored after the build.
    void AddTriangle(uint16_t a, uint16_t b, uint16_t c);
    // Returns the vertex's index within the item, or -1 when the item
    // already holds 65536 vertices or the part is built.
    int AddVertex(const PartVertex &vertex);
    // Appends the item being collected. Triangles naming a vertex the item
    // lacks are dropped; an item without triangles is recorded empty.
    void FinishItem();
    // Freezes the part: makes and fills the vertex and index buffers,
    // builds the empty-item bit set and the zeroed item data. The CPU
    // arrays are kept.
    void BuildBuffers();
    // Lets both buffers go (the part then draws nothing).
    void ReleaseBuffers();

    // Read-back of a finished item (before or after the build).
    int ItemVertexCount(int item) const;               // 0 for an unknown item
    int ItemTriangleCount(int item) const;
    const PartVertex *ItemVertex(int item, int vertex) const;   // null when out of range
    // Corners of triangle t relative to the item; false when out of range.
    bool ItemTriangle(int item, int t, int *a, int *b, int *c) const;
    bool IsItemEmpty(int item) const;

    // Draws the items whose bits are set in `bits`, from item low to item
    // high, one draw call per run of consecutive drawable items; with
    // applyMaterial the part's material and shader are set first and the
    // texture stages reset after.
    void DrawItems(const uint32_t *bits, int low, int high, int applyMaterial);
    // Draws one item (nothing for an empty or unknown item) with up to two
    // projectors (NoProjector: none); passCount tells how many it used.
    void DrawItem(int item, int applyMaterial, int projector1, int projector2, int projectorCount);

    // The part's material becomes current with its texture and alpha test
    // (no texture: stage 0 empty, alpha test off).
    void ApplyMaterial();
    // Chooses the shader kind and texture stages for the material and up
    // to two projectors (NoProjector: none; count: the item's projectors)
    // and sets passCount to the projectors it took.
    void ApplyShader(int projector1, int projector2, int projectorCount);
    // Puts shadow caster `caster` on stage 0 or 1 with its projector matrix.
    void ApplyProjector(int stage, int caster);
    // Draws an item again for an added pass: mode 1 hemisphere light,
    // 2 reflection with specular, 3 reflection (modes 2 and 3 fall back to
    // 1 without a second texture).
    void DrawExtraPass(int item, int mode);

    RenderPart() = default;
    ~RenderPart();
    RenderPart(const RenderPart &) = delete;
    RenderPart &operator=(const RenderPart &) = delete;
};

struct RenderObject {
    char name[RenderObjectNameSize] = {};
    int plainLow = 0, plainHigh = 0;    // visible items without a mask; low = item count, high = 0: none
    int maskedLow = 0, maskedHigh = 0;  // the same for items with a mask
    float matrix[16] = {};              // world matrix when last drawn
    uint32_t notInMap = 0;              // 1: not entered in the render-object map
    uint32_t built = 0;                 // 1 after Build
    int partCount = 0;
    RenderPart *parts = nullptr;
    int itemCount = 0;                  // items begun so far
    int expectedItems = 0;              // InitParts' item (level) count
    int collecting = 0;                 // 1 between ClearParts and FinishParts
    int bitSetWords = 0;                // (item count + 63) / 32
    int hullVertexCount = 0;            // part 0's vertices when the bounds were made
    float *bounds = nullptr;            // 8 box corners (x, y, z), then part 0's vertex positions
    uint32_t maskUnion = 0;
    std::vector<uint32_t> plainBits;
    std::vector<uint32_t> maskedBits;
    std::vector<uint32_t> itemMasks;
    int editing = 0;                    // 1 between OpenForEdit and CloseEdit
    RenderObject *nextLive = nullptr;   // every object alive, for the release of device buffers
    RenderObject *previousLive = nullptr;

    RenderObject(const char *objectName, int notInMapFlag);
    ~RenderObject();
    RenderObject(const RenderObject &) = delete;
    RenderObject &operator=(const RenderObject &) = delete;

    // Part count (clamped to 0..256) and items expected per part (for a
    // car: its levels of detail). Replaces earlier parts; refused (-1)
    // after the build.
    int InitParts(int count, int itemsExpected);
    // Material and the four render-state words of a part; word 0 is the
    // part's vertex kind (14 = the material's). Ignored for a bad index.
    void SetPartMaterial(int part, Material *material, uint32_t word0 = VertexKindOfMaterial,
                         uint32_t word1 = VertexKindOfMaterial, uint32_t word2 = VertexKindOfMaterial,
                         uint32_t word3 = VertexKindOfMaterial);
    // Index of the first part with that material and the part, or
    // (part count, null).
    int FindPart(const Material *material, RenderPart **part) const;
    // Starts the next item in every part (finishing an open one first);
    // returns its index, -1 after the build.
    int ClearParts();
    // Finishes the current item in every part.
    void FinishParts();
    // Builds every part and the item bit sets; with withBounds the bounds
    // (box corners always containing the origin, then part 0's positions).
    void Build(int withBounds);

    // Marks an item for drawing; ignored outside 0 .. item count - 1 or
    // before the build.
    void SetPartVisible(int item, uint32_t mask);
    // Draws the plain-marked items and clears those marks.
    void DrawVisible();
    // Draws the items of [low, high] flagged in a part's leftover masks
    // with their leftover projectors, two at a time; lastDoubled: the pass
    // that leaves none over doubles for Modulate2x materials.
    void DrawPartRange(int low, int high, int lastDoubled);
    // Draws the mask-marked items (n = projectors to honour) and clears
    // those marks; nothing when no item carries a mask.
    void DrawMasked(int projectors);
    // DrawVisible for meshes whose materials may want an additive pass.
    void DrawWithAddPass(int blendAlreadyOn);
    // Draws one item of every part with c80..c83 = (object matrix x
    // itemMatrix) transposed.
    void DrawItemWithMatrix(const float *itemMatrix, int item);

    // Lamp-mesh editing: open, take the mesh of one level, add vertices
    // and triangles to it, close.
    // OpenForEdit: -1 when the object is built, else 0.
    int OpenForEdit();
    // The part (part 0 by default) collecting item `level`; items below
    // it that were never begun are recorded empty. Null when not open,
    // built, level outside 0 .. expected items - 1 or already finished,
    // or the part does not exist.
    RenderPart *GetLevelMesh(int level, int part = 0);
    // Finishes the level being edited.
    void CloseEdit();
};

// --- Mesh store (the render-object map, names compared case-insensitively) ---

// A new object entered in the map under its name (63 characters at most);
// when the name is already there the object is returned not entered.
RenderObject *CreateRenderObject(const char *name);
// Destroys the object (leaving the map) and clears the caller's pointer;
// a null pointer or object does nothing.
void DeleteRenderObject(RenderObject **object);
// Destroys every object of the map.
void DeleteAllRenderObjects();
// The entered object of that name, or null.
RenderObject *FindRenderObject(const char *name);
int RenderObjectMapCount();
// Lets the device buffers of every object still alive go (objects owned
// outside the map survive a release of all render resources; they then
// draw nothing).
void ReleaseRenderObjectBuffers();

// --- Transforms (row vectors, 16 floats row-major) ---

void SetIdentityMatrix(float *m);
// out = a x b; out may be a or b.
void MultiplyMatrix(float *out, const float *a, const float *b);
void TransposeMatrix(float *out, const float *m);
// 0, or -1 for a singular (or non-finite) matrix, out unchanged.
int InvertMatrix(float *out, const float *m);
void SetScaleMatrix(float *m, float sx, float sy, float sz);
// Multiplies columns 0, 1, 2 of every row by sx, sy, sz.
void ScaleMatrixAxes(float *m, float sx, float sy, float sz);
// out = (p, 1) x m, the translation row included.
void TransformPoint(float *out, const float *p, const float *m);

// View width w at distance 1, near and far plane, x and y offsets; uses the
// device's viewport aspect (1 when its height is 0).
// -1 (nothing changes) when w is not a positive finite number.
int SetPerspective(float w, float nearPlane, float farPlane, float ox, float oy);
// Orthographic projection (left-handed) of width s x size and height
// s x size x the viewport's height / width (1 for a viewport of width 0),
// with s, near and far as last given to SetPerspective. -1 (nothing
// changes) for an empty or non-finite box.
int SetProjection(float size);
void ResetWorldMatrix();
void SetWorldMatrix(const float *m);
void ResetViewMatrix();
void SetViewMatrix(const float *m);

struct TransformState {
    float projection[16];
    float view[16];
    float world[16];
    float worldInverse[16];
    float worldViewProjection[16];  // as last uploaded (not transposed)
    float viewWidth, nearPlane, farPlane;
};
const TransformState &GetTransformState();

// The environment rotation pair (a, b) and the reflection scale that the
// reflection constants use; set by the view code.
extern float EnvironmentRotation[2];
extern float ReflectionScale;
// Whether the device draws two textures in one pass.
bool DeviceCanMultitexture();

// Toggles CULLMODE between clockwise and counter-clockwise (mirrored views).
void FlipCullMode();

// --- Vertex-shader constants ---
// Constants are kept in a CPU-side register file (4 floats per register)
// and sent to the device as they are set. c0..c3 (world x view x
// projection, transposed) are kept as the global copy of the last upload.

constexpr int VertexConstantRegisters = 96;

// Writes registers (clipped to 0 .. VertexConstantRegisters - 1).
void SetVertexConstants(int firstRegister, const float *values, int registerCount);
// The four floats of a register; null outside the file.
const float *GetVertexConstant(int reg);

// Lighting input of the vertex shaders. The default values light with a
// white sun straight from above and a white sky.
struct VertexConstantSource {
    virtual ~VertexConstantSource() = default;
    // c6 sun colour; c7 the object-space up axis (third plus fourth row of
    // ObjectSpaceMatrix); c8, c9 the hemisphere light from the ground
    // colour (ground factors x sky colour, ground w) to the sky colour;
    // c10 the sun direction through ObjectSpaceMatrix (w 0); c0..c3 the
    // transposed world x view x projection.
    virtual void UploadVertexConstants();

    float sunColour[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    float groundFactors[3] = {1.0f, 1.0f, 1.0f};
    float groundW = 1.0f;
    float skyColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float sunDirection[3] = {0.0f, 0.0f, 1.0f};

    // The light texture that parts with an added pass put on stage 0; none
    // for this source.
    virtual TextureRecord *LightTexture() const { return nullptr; }
};

// Identity unless a car's source sets it for its upload.
extern float ObjectSpaceMatrix[16];

// Makes the source current and uploads it.
void UseVertexConstantSource(VertexConstantSource *source);
// No source current: the default one uploads.
void UseDefaultVertexConstants();
// The current source; null while the default one is in force.
VertexConstantSource *CurrentVertexConstantSource();

// --- Bit scans ---

// Builds the byte tables; done by the first render object too.
void BuildBitScanTables();
// Index of the next set bit of mask at or above start, or 32.
int FindNextSetBit(uint32_t mask, int start);
int CountSetBits(uint32_t mask);
