// The immediate context: bound state, buffer and texture mapping, clearing and
// the draw (vertex fetch, the ShaderMatrix transform, viewport, then the
// rasterizer). Also the inspection hooks of gpu_inspect.h. GUI thread only.
#include "platform/gpu/gpu_inspect.h"
#include "platform/gpu/draw_memo.h"
#include "platform/gpu/gpu_objects.h"
#include "platform/gpu/raster_bands.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <xmmintrin.h>

namespace {

// Recorded draws and injected failures (GUI thread, like the context).
bool g_recording = false;
std::vector<GpuDrawRecord> g_records;
HRESULT g_failNextMap = S_OK;
std::atomic<HRESULT> g_failDevice{S_OK}; // read by whichever thread creates a device
// Raster threads and split size of devices created from now on; 0 and -1 keep the defaults.
std::atomic<int> g_rasterThreads{0};
std::atomic<int64_t> g_splitPixels{-1};
// Vertices a batch of draws holds at most, for devices created from now on; -1 keeps the default.
std::atomic<int> g_batchVertices{-1};

// The render layer's vertex: position, colour, texture coordinate, line length.
constexpr size_t kRenderVertexBytes = 28;

// Consecutive small draws with the same state are rasterized as one job, so
// that together they are large enough to share the raster threads; a batch
// stops growing at this many (triangle-list) vertices.
constexpr int kBatchVertices = 1 << 18;

uint8_t ToUnorm(float f)
{
    if (!(f > 0.0f))
        return 0; // negative and NaN
    if (f >= 1.0f)
        return 255;
    return static_cast<uint8_t>(f * 255.0f + 0.5f);
}

} // namespace

class GpuContext final : public RefCounted<ID3D11DeviceContext> {
public:
    explicit GpuContext(GpuDevice* device)
        : device_(device), bands_(g_rasterThreads.load() > 0 ? g_rasterThreads.load() : RasterBands::DefaultThreads()),
          splitPixels_(g_splitPixels.load() >= 0 ? g_splitPixels.load() : kSplitPixels),
          batchLimit_(g_batchVertices.load() >= 0 ? g_batchVertices.load() : kBatchVertices)
    {
        vertices_.reserve(4096);
        batch_.vertices.reserve(static_cast<size_t>(std::min(batchLimit_, kBatchVertices)));
    }
    ~GpuContext() override { ClearState(); }

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        return AnswerQuery<ID3D11DeviceContext>(this, riid, object, {IID_IUnknown, IID_ID3D11DeviceContext});
    }

    void GetDevice(ID3D11Device** device) override { HandDevice(device_, device); }

    void IASetInputLayout(ID3D11InputLayout* layout) override
    {
        Rebind(layout_, dynamic_cast<GpuInputLayout*>(layout));
    }

    void IASetVertexBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers, const UINT* strides,
                            const UINT* offsets) override
    {
        // Only slot 0 feeds our input layouts.
        if (startSlot != 0 || count == 0 || !buffers)
            return;
        Rebind(vertexBuffer_, dynamic_cast<GpuBuffer*>(buffers[0]));
        stride_ = strides ? strides[0] : 0;
        offset_ = offsets ? offsets[0] : 0;
    }

    void IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY topology) override { topology_ = topology; }

    void RSSetState(ID3D11RasterizerState* state) override
    {
        Rebind(rasterizerState_, dynamic_cast<GpuRasterizerState*>(state));
    }

    void RSSetViewports(UINT count, const D3D11_VIEWPORT* viewports) override
    {
        if (count == 0 || !viewports) {
            hasViewport_ = false;
            return;
        }
        viewport_ = viewports[0];
        hasViewport_ = true;
    }

    void RSGetViewports(UINT* count, D3D11_VIEWPORT* viewports) override
    {
        if (!count)
            return;
        if (viewports && *count > 0 && hasViewport_)
            viewports[0] = viewport_;
        *count = hasViewport_ ? 1 : 0;
    }

    void OMSetRenderTargets(UINT count, ID3D11RenderTargetView* const* views, ID3D11DepthStencilView*) override
    {
        GpuRenderTargetView* view = (count > 0 && views) ? dynamic_cast<GpuRenderTargetView*>(views[0]) : nullptr;
        Rebind(target_, view);
    }

    void OMGetRenderTargets(UINT count, ID3D11RenderTargetView** views, ID3D11DepthStencilView** depth) override
    {
        // Whoever asks for the target may write into it directly (the text renderer does).
        FlushBatch();
        if (depth)
            *depth = nullptr;
        if (!views || count == 0)
            return;
        for (UINT i = 0; i < count; i++)
            views[i] = nullptr;
        if (target_) {
            target_->AddRef();
            views[0] = target_;
        }
    }

    HRESULT Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP mapType, UINT, D3D11_MAPPED_SUBRESOURCE* out) override;
    void Unmap(ID3D11Resource* resource, UINT subresource) override;
    void Draw(UINT vertexCount, UINT startVertex) override;

    void ClearRenderTargetView(ID3D11RenderTargetView* view, const FLOAT colour[4]) override
    {
        auto* rtv = dynamic_cast<GpuRenderTargetView*>(view);
        if (!rtv || !colour)
            return;
        FlushBatch();
        uint32_t word = ToUnorm(colour[0]) | (ToUnorm(colour[1]) << 8) | (ToUnorm(colour[2]) << 16) |
                        (static_cast<uint32_t>(ToUnorm(colour[3])) << 24);
        GpuTexture* t = rtv->texture_;
        ClearWords(t->texels_.get(), static_cast<size_t>(t->Width()) * t->Height(), word);
    }

    void ClearState() override
    {
        FlushBatch();
        SafeRelease(layout_);
        SafeRelease(vertexBuffer_);
        SafeRelease(rasterizerState_);
        SafeRelease(target_);
        SafeRelease(texture_);
        stride_ = offset_ = 0;
        topology_ = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
        hasViewport_ = false;
        passApplied_ = false;
    }

    void Flush() override { FlushBatch(); }
    size_t KeptDrawWords() const { return memo_.KeptWords(); }

    // Rasterizes the batched draws now.
    void FlushBatch();

    void Apply(const AppliedPass& pass)
    {
        pass_ = pass.state;
        technique_ = pass.technique;
        std::memcpy(matrix_, pass.matrix, sizeof(matrix_));
        Rebind(texture_, dynamic_cast<GpuShaderResourceView*>(pass.texture));
        terrain_ = pass.terrain;
        passApplied_ = true;
    }

private:
    // Draws waiting to be rasterized together, all into one target: runs of
    // triangle-list vertices, each run of one state (clip rectangle, pass,
    // texture, terrain values, culling and, for one-colour draws, the colour).
    // Every row gets the runs' triangles in draw order, so the pixels come out
    // as from the draws one by one, while the rows are shared among threads.
    struct Run {
        RasterJob job;
        size_t first = 0, count = 0; // in vertices
        int terrain = -1;            // index of its terrain values
        bool flat = true;
        uint32_t colour = 0;
        GpuTexture* texture = nullptr;
    };
    struct Batch {
        GpuRenderTargetView* target = nullptr;         // a reference while draws wait
        std::vector<GpuShaderResourceView*> textures; // likewise
        std::vector<Run> runs;
        std::vector<TerrainConstants> terrains;
        std::vector<RasterVertex> vertices;
        std::vector<RasterRun> raster; // handed to the rasterizer
    };

    bool TransformVertices(UINT first, UINT count);
    void ClearWords(uint32_t* words, size_t n, uint32_t value);
    RasterJob MakeJob();
    void Record(UINT first, UINT count);
    bool SameRun(const Run& run, const RasterJob& job, bool flat, uint32_t colour) const;
    bool DrawKept(const RasterJob& job, bool flat, UINT count);
    void AddToBatch(const RasterJob& job, bool flat, uint32_t colour, UINT count);

    GpuDevice* device_; // the device owns this context
    GpuInputLayout* layout_ = nullptr;
    GpuBuffer* vertexBuffer_ = nullptr;
    UINT stride_ = 0, offset_ = 0;
    D3D11_PRIMITIVE_TOPOLOGY topology_ = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
    GpuRasterizerState* rasterizerState_ = nullptr;
    D3D11_VIEWPORT viewport_{};
    bool hasViewport_ = false;
    GpuRenderTargetView* target_ = nullptr;

    bool passApplied_ = false;
    PassState pass_;
    std::string technique_;
    float matrix_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    GpuShaderResourceView* texture_ = nullptr;
    TerrainConstants terrain_;

    std::vector<RasterVertex> vertices_; // reused by every draw
    RasterBands bands_;
    int64_t splitPixels_;
    int batchLimit_; // 0: every draw is rasterized at once
    Batch batch_;
    DrawMemo memo_;
    std::vector<RasterVertex> memoTriangles_; // reused
};

HRESULT GpuContext::Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP mapType, UINT,
                        D3D11_MAPPED_SUBRESOURCE* out)
{
    if (out)
        *out = {};
    if (HRESULT injected = TakeInjectedMapFailure(); FAILED(injected))
        return injected;
    if (!out || subresource != 0)
        return E_INVALIDARG;
    bool writeMap = mapType == D3D11_MAP_WRITE_DISCARD || mapType == D3D11_MAP_WRITE_NO_OVERWRITE;
    // Batched draws hold their vertices already; a texture may be one they use.
    if (!AsGpuBuffer(resource))
        FlushBatch();
    if (GpuBuffer* b = AsGpuBuffer(resource)) {
        if (b->mapped_ || !writeMap || b->desc_.Usage != D3D11_USAGE_DYNAMIC)
            return E_INVALIDARG;
        b->mapped_ = true;
        out->pData = b->bytes_.get();
        out->RowPitch = out->DepthPitch = b->desc_.ByteWidth;
        return S_OK;
    }
    if (GpuTexture* t = AsGpuTexture(resource)) {
        if (t->mapped_ || mapType != D3D11_MAP_WRITE_DISCARD || t->desc_.Usage != D3D11_USAGE_DYNAMIC)
            return E_INVALIDARG;
        t->mapped_ = true;
        t->writes_++;
        out->pData = t->texels_.get();
        out->RowPitch = t->desc_.Width * 4;
        out->DepthPitch = out->RowPitch * t->desc_.Height;
        return S_OK;
    }
    return E_INVALIDARG;
}

void GpuContext::Unmap(ID3D11Resource* resource, UINT subresource)
{
    if (subresource != 0)
        return;
    if (GpuBuffer* b = AsGpuBuffer(resource)) {
        b->mapped_ = false;
    } else if (GpuTexture* t = AsGpuTexture(resource)) {
        if (t->mapped_) {
            t->mapped_ = false;
            t->UpdateOpaque();
        }
    }
}

// Runs the vertex stage for vertices first .. first + count - 1 of the bound
// buffer: clip = (x, y, z, 1) x ShaderMatrix, divided by w, onto the viewport.
bool GpuContext::TransformVertices(UINT first, UINT count)
{
    // Locals throughout: the stores below could alias members, which the
    // compiler would then read again for every vertex.
    const VertexLayout L = layout_->layout_;
    const size_t stride = stride_;
    const uint8_t* base = vertexBuffer_->bytes_.get() + offset_ + static_cast<size_t>(first) * stride;
    float m[16];
    std::memcpy(m, matrix_, sizeof m);
    const float vx = viewport_.TopLeftX, vy = viewport_.TopLeftY, vw = viewport_.Width, vh = viewport_.Height;
    vertices_.resize(count);
    RasterVertex* out = vertices_.data();
    // The matrix's columns x, y and w as lanes: each lane sums p0 m0 + p1 m4 +
    // p2 m8 + m12 in that order, as the scalar expression does.
    const __m128 row0 = _mm_loadu_ps(m), row1 = _mm_loadu_ps(m + 4), row2 = _mm_loadu_ps(m + 8),
                 row3 = _mm_loadu_ps(m + 12);
    for (UINT i = 0; i < count; i++) {
        const uint8_t* src = base + static_cast<size_t>(i) * stride;
        // A vertex of the same bytes as one three or four before it (the
        // corners a thick line's two triangles share) comes out the same.
        if (stride == kRenderVertexBytes && i >= 4) {
            if (std::memcmp(src, src - 4 * kRenderVertexBytes, kRenderVertexBytes) == 0) {
                out[i] = out[i - 4];
                continue;
            }
            if (std::memcmp(src, src - 3 * kRenderVertexBytes, kRenderVertexBytes) == 0) {
                out[i] = out[i - 3];
                continue;
            }
        }
        float p[3] = {0, 0, 0};
        if (L.positionComponents == 3) // the common case, copied without a call
            std::memcpy(p, src + L.position, sizeof p);
        else
            std::memcpy(p, src + L.position, sizeof(float) * L.positionComponents);
        RasterVertex v;
        const __m128 clip = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(p[0]), row0),
                                                             _mm_mul_ps(_mm_set1_ps(p[1]), row1)),
                                                  _mm_mul_ps(_mm_set1_ps(p[2]), row2)),
                                       row3);
        alignas(16) float c[4];
        _mm_store_ps(c, clip);
        const float cx = c[0], cy = c[1], cw = c[3];
        if (!(cw > 1e-6f)) {
            // Behind the eye: this device does not clip against the near plane,
            // so triangles using the vertex are dropped.
            v.x = v.y = NAN;
        } else {
            v.x = (cx / cw + 1.0f) * 0.5f * vw + vx;
            v.y = (1.0f - cy / cw) * 0.5f * vh + vy;
        }
        v.colour = 0xFFFFFFFFu;
        if (L.colour >= 0)
            std::memcpy(&v.colour, src + L.colour, 4);
        v.u = v.v = v.lineLength = 0;
        if (L.texcoord >= 0) {
            std::memcpy(&v.u, src + L.texcoord, 4);
            std::memcpy(&v.v, src + L.texcoord + 4, 4);
        }
        if (L.lineLength >= 0)
            std::memcpy(&v.lineLength, src + L.lineLength, 4);
        out[i] = v;
    }
    return true;
}

namespace {

// A large target's clear goes in stretches shared among the raster threads:
// a frame's clear is as much memory as a few layers' pixels, and memory
// takes words from several cores at once faster than from one.
constexpr size_t kSharedClearWords = size_t{1} << 18;

struct ClearStretches {
    uint32_t* words;
    size_t n;
    uint32_t value;
    int parts;
};

void ClearStretch(void* arg, int part)
{
    const ClearStretches& c = *static_cast<const ClearStretches*>(arg);
    const size_t from = c.n * static_cast<size_t>(part) / static_cast<size_t>(c.parts);
    const size_t to = c.n * static_cast<size_t>(part + 1) / static_cast<size_t>(c.parts);
    FillWords(c.words + from, to - from, c.value);
}

} // namespace

void GpuContext::ClearWords(uint32_t* words, size_t n, uint32_t value)
{
    if (bands_.Threads() < 2 || n < kSharedClearWords) {
        FillWords(words, n, value);
        return;
    }
    ClearStretches c{words, n, value, bands_.Threads()};
    bands_.Run(ClearStretch, &c, c.parts);
}

RasterJob GpuContext::MakeJob()
{
    RasterJob job;
    GpuTexture* t = target_->texture_;
    job.target.pixels = t->texels_.get();
    job.target.width = t->Width();
    job.target.height = t->Height();
    job.target.pitch = t->Width();
    // Pixels whose centres lie inside the viewport, within the target.
    auto edge = [](float v) { return static_cast<int>(std::ceil(std::clamp(v, -1.0e7f, 1.0e7f) - 0.5f)); };
    job.clipX0 = std::max(0, edge(viewport_.TopLeftX));
    job.clipY0 = std::max(0, edge(viewport_.TopLeftY));
    job.clipX1 = std::min(job.target.width, edge(viewport_.TopLeftX + viewport_.Width));
    job.clipY1 = std::min(job.target.height, edge(viewport_.TopLeftY + viewport_.Height));
    job.pass = pass_;
    if (texture_)
        job.texture = texture_->texture_->AsRaster();
    job.terrain = &terrain_;
    job.bands = &bands_;
    job.splitPixels = splitPixels_;
    D3D11_CULL_MODE cull = D3D11_CULL_BACK;
    bool frontCcw = false;
    if (rasterizerState_) {
        cull = rasterizerState_->desc_.CullMode;
        frontCcw = rasterizerState_->desc_.FrontCounterClockwise != 0;
    }
    if (cull == D3D11_CULL_NONE)
        job.cull = CullFace::None;
    else if ((cull == D3D11_CULL_BACK) != frontCcw)
        job.cull = CullFace::CounterClockwise;
    else
        job.cull = CullFace::Clockwise;
    return job;
}

void GpuContext::Record(UINT first, UINT count)
{
    GpuDrawRecord r;
    r.technique = technique_;
    r.topology = topology_;
    r.vertexCount = count;
    r.stride = stride_;
    const uint8_t* base = vertexBuffer_->bytes_.get() + offset_ + static_cast<size_t>(first) * stride_;
    r.vertices.assign(base, base + static_cast<size_t>(count) * stride_);
    std::memcpy(r.matrix, matrix_, sizeof(r.matrix));
    r.texture = texture_;
    g_records.push_back(std::move(r));
}

void GpuContext::Draw(UINT vertexCount, UINT startVertex)
{
    // Missing state draws nothing, as a device without a complete pipeline does.
    if (!passApplied_ || !layout_ || !vertexBuffer_ || vertexBuffer_->mapped_ || !target_ || !hasViewport_)
        return;
    if (target_->texture_->mapped_ || stride_ == 0)
        return;
    const VertexLayout& L = layout_->layout_;
    int needed = std::max({L.position + 4 * L.positionComponents, L.colour + 4, L.texcoord + 8, L.lineLength + 4});
    if (static_cast<UINT>(needed) > stride_ || offset_ >= vertexBuffer_->desc_.ByteWidth)
        return;
    UINT available = (vertexBuffer_->desc_.ByteWidth - offset_) / stride_;
    if (startVertex >= available)
        return;
    UINT count = std::min(vertexCount, available - startVertex);
    if (g_recording)
        Record(startVertex, count);
    bool list = topology_ == D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
    if ((!list && topology_ != D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP) || count < 3)
        return;
    if (!TransformVertices(startVertex, count))
        return;
    RasterJob job = MakeJob();
    // As a list: a strip of n vertices gives n - 2 triangles of 3.
    size_t listVertices = list ? count - count % 3 : 3 * (static_cast<size_t>(count) - 2);
    bool sampleTarget = texture_ && texture_->texture_ == target_->texture_;
    if (listVertices > static_cast<size_t>(batchLimit_) || sampleTarget) {
        // Too large to copy, or reading what it writes: drawn on its own, now.
        FlushBatch();
        if (list)
            RasterizeTriangleList(job, vertices_.data(), static_cast<int>(count));
        else
            RasterizeTriangleStrip(job, vertices_.data(), static_cast<int>(count));
        return;
    }
    uint32_t colour = vertices_[0].colour;
    bool flat = std::all_of(vertices_.begin(), vertices_.end(), [colour](const RasterVertex& v) { return v.colour == colour; });
    if (DrawKept(job, flat, count))
        return;
    if (batch_.target && (batch_.target != target_ || batch_.vertices.size() + listVertices > static_cast<size_t>(batchLimit_)))
        FlushBatch();
    AddToBatch(job, flat, colour, count);
}

// A textured draw seen before unchanged: its kept source words blended in
// after the draws waiting before it, instead of sampling its texture again.
bool GpuContext::DrawKept(const RasterJob& job, bool flat, UINT count)
{
    if (!texture_ || !DrawMemo::Enabled())
        return false;
    GpuTexture* t = texture_->texture_;
    const bool list = topology_ == D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
    const int triangles = list ? static_cast<int>(count / 3) : static_cast<int>(count) - 2;
    const bool renderTarget = (t->desc_.BindFlags & D3D11_BIND_RENDER_TARGET) != 0;
    if (!DrawMemo::Suits(job, flat, renderTarget, 3 * triangles))
        return false;
    memoTriangles_.clear();
    for (int i = 0; i < triangles; i++) {
        if (list) {
            memoTriangles_.insert(memoTriangles_.end(), vertices_.begin() + 3 * i, vertices_.begin() + 3 * i + 3);
        } else {
            // The odd triangles of a strip with their first two corners swapped, as AddToBatch lists them.
            memoTriangles_.push_back(vertices_[static_cast<size_t>(i + (i % 2))]);
            memoTriangles_.push_back(vertices_[static_cast<size_t>(i + 1 - (i % 2))]);
            memoTriangles_.push_back(vertices_[static_cast<size_t>(i + 2)]);
        }
    }
    DrawMemoInput in{t->id_, t->writes_, &job, memoTriangles_.data(), static_cast<int>(memoTriangles_.size())};
    if (!memo_.Take(in))
        return false;
    FlushBatch();
    memo_.BlendTaken(job.target, &bands_);
    return true;
}

bool GpuContext::SameRun(const Run& run, const RasterJob& job, bool flat, uint32_t colour) const
{
    const RasterJob& b = run.job;
    if (job.clipX0 != b.clipX0 || job.clipY0 != b.clipY0 || job.clipX1 != b.clipX1 || job.clipY1 != b.clipY1 ||
        job.cull != b.cull)
        return false;
    if ((texture_ ? texture_->texture_ : nullptr) != run.texture)
        return false;
    const PassState &p = job.pass, &q = b.pass;
    if (p.program != q.program || p.blend != q.blend || p.sampler != q.sampler || p.dashOn != q.dashOn ||
        p.dashOff != q.dashOff)
        return false;
    if (p.program == PixelProgram::Terrain &&
        (run.terrain < 0 || std::memcmp(&terrain_, &batch_.terrains[run.terrain], sizeof(TerrainConstants)) != 0))
        return false;
    // One-colour draws keep the one-colour pixel paths: they join only their own colour.
    return flat == run.flat && (!flat || colour == run.colour);
}

void GpuContext::AddToBatch(const RasterJob& job, bool flat, uint32_t colour, UINT count)
{
    if (!batch_.target) {
        batch_.target = target_;
        target_->AddRef();
        target_->texture_->pendingDraws_ = this;
    }
    if (batch_.runs.empty() || !SameRun(batch_.runs.back(), job, flat, colour)) {
        Run run;
        run.job = job;
        run.job.terrain = nullptr; // set when the batch is drawn: the list may move until then
        run.first = batch_.vertices.size();
        run.flat = flat;
        run.colour = colour;
        run.texture = texture_ ? texture_->texture_ : nullptr;
        if (job.pass.program == PixelProgram::Terrain) {
            run.terrain = static_cast<int>(batch_.terrains.size());
            batch_.terrains.push_back(terrain_);
        }
        if (texture_ && std::find(batch_.textures.begin(), batch_.textures.end(), texture_) == batch_.textures.end()) {
            texture_->AddRef();
            texture_->texture_->pendingDraws_ = this;
            batch_.textures.push_back(texture_);
        }
        batch_.runs.push_back(run);
    }
    std::vector<RasterVertex>& out = batch_.vertices;
    const RasterVertex* v = vertices_.data();
    size_t before = out.size();
    if (topology_ == D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST) {
        out.insert(out.end(), v, v + (count - count % 3));
    } else {
        // The odd triangles of a strip with their first two corners swapped, as the strip is drawn.
        for (UINT i = 0; i + 2 < count; i++) {
            out.push_back(v[i + (i % 2)]);
            out.push_back(v[i + 1 - (i % 2)]);
            out.push_back(v[i + 2]);
        }
    }
    batch_.runs.back().count += out.size() - before;
}

void GpuContext::FlushBatch()
{
    if (!batch_.target)
        return;
    batch_.raster.clear();
    for (const Run& run : batch_.runs) {
        RasterRun r{run.job, batch_.vertices.data() + run.first, static_cast<int>(run.count), run.flat};
        if (run.terrain >= 0)
            r.job.terrain = &batch_.terrains[run.terrain];
        batch_.raster.push_back(r);
    }
    RasterizeRuns(batch_.raster.data(), static_cast<int>(batch_.raster.size()), &bands_, splitPixels_);
    batch_.vertices.clear();
    batch_.runs.clear();
    batch_.terrains.clear();
    batch_.raster.clear();
    batch_.target->texture_->pendingDraws_ = nullptr;
    SafeRelease(batch_.target);
    for (GpuShaderResourceView*& t : batch_.textures) {
        t->texture_->pendingDraws_ = nullptr;
        SafeRelease(t);
    }
    batch_.textures.clear();
}

void SettlePendingDraws(GpuTexture* texture)
{
    if (texture && texture->pendingDraws_)
        texture->pendingDraws_->FlushBatch();
}

GpuContext* CreateGpuContext(GpuDevice* device)
{
    return new GpuContext(device);
}

void ReleaseGpuContext(GpuContext* context)
{
    if (context)
        context->Release();
}

ID3D11DeviceContext* AsContextInterface(GpuContext* context)
{
    return context;
}

HRESULT GpuApplyPass(ID3D11DeviceContext* context, const AppliedPass& pass)
{
    auto* ours = dynamic_cast<GpuContext*>(context);
    if (!ours)
        return E_INVALIDARG;
    ours->Apply(pass);
    return S_OK;
}

// ---- inspection -------------------------------------------------------------

HRESULT TakeInjectedMapFailure()
{
    HRESULT hr = g_failNextMap;
    g_failNextMap = S_OK;
    return hr;
}

HRESULT InjectedDeviceFailure()
{
    return g_failDevice.load();
}

void GpuFailNextMap(HRESULT code)
{
    g_failNextMap = code;
}

void GpuFailDeviceCreation(HRESULT code)
{
    g_failDevice.store(code);
}

void GpuRasterThreadsForNewDevices(int threads, int64_t splitPixels)
{
    g_rasterThreads.store(threads);
    g_splitPixels.store(splitPixels);
}

void GpuBatchDrawsForNewDevices(int vertices)
{
    g_batchVertices.store(vertices);
}

void GpuRecordDraws(bool on)
{
    g_recording = on;
}

const std::vector<GpuDrawRecord>& GpuRecordedDraws()
{
    return g_records;
}

void GpuClearRecordedDraws()
{
    g_records.clear();
}

bool GpuReadPixels(ID3D11Resource* resource, std::vector<uint32_t>* pixels, int* width, int* height)
{
    GpuTexture* t = AsGpuTexture(resource);
    if (!t || !pixels)
        return false;
    SettlePendingDraws(t);
    size_t n = static_cast<size_t>(t->Width()) * t->Height();
    pixels->assign(t->texels_.get(), t->texels_.get() + n);
    if (width)
        *width = t->Width();
    if (height)
        *height = t->Height();
    return true;
}

bool GpuWritePng(ID3D11Resource* resource, const char* path)
{
    GpuTexture* t = AsGpuTexture(resource);
    SettlePendingDraws(t);
    return t && path && WriteFramePng(*t, path);
}

uint32_t GpuReadPixel(ID3D11Resource* resource, int x, int y)
{
    GpuTexture* t = AsGpuTexture(resource);
    if (!t || x < 0 || y < 0 || x >= t->Width() || y >= t->Height())
        return 0;
    SettlePendingDraws(t);
    return t->texels_[static_cast<size_t>(y) * t->Width() + x];
}

void GpuKeepRepeatedDraws(bool on)
{
    DrawMemo::Enable(on);
}

size_t GpuKeptDrawWords(ID3D11DeviceContext* context)
{
    auto* c = dynamic_cast<GpuContext*>(context);
    return c ? c->KeptDrawWords() : 0;
}
