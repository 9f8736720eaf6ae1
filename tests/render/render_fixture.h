// A headless renderer for the render tests: InitD3D without a window on the
// shipped program root, pixels of the back buffer, recorded draws.
#pragma once

#include "app/program_root.h"
#include "display/map_view.h"
#include "platform/gpu/gpu_inspect.h"
#include "render/device.h"
#include "render/snapshot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>


class RenderTest : public ::testing::Test {
protected:
    explicit RenderTest(int width = 640, int height = 480) : width_(width), height_(height) {}

    void SetUp() override
    {
        std::snprintf(ProgramRoot, sizeof(ProgramRoot), "%s", TVL_ROOT_DIR);
        SetHeadlessClientSize(width_, height_);
        ASSERT_EQ(InitD3D(nullptr), 0);
        // The snapshot's lock and pending refresh outlive the device.
        SnapshotTarget.locked = 0;
        SnapshotTarget.refreshRequested = 0;
        GetScreenCentre(&cx, &cy);
        ClearTarget(0xFF000000u);
    }

    void TearDown() override
    {
        GpuRecordDraws(false);
        GpuClearRecordedDraws();
        CleanupD3D();
    }

    uint32_t Pixel(int x, int y)
    {
        ID3D11Resource* back = nullptr;
        RenderDevice.backBufferView->GetResource(&back);
        uint32_t p = GpuReadPixel(back, x, y);
        back->Release();
        return p;
    }

    // The whole back buffer as 0xAABBGGRR words, row by row.
    std::vector<uint32_t> BackBuffer(int* w = nullptr, int* h = nullptr)
    {
        ID3D11Resource* back = nullptr;
        RenderDevice.backBufferView->GetResource(&back);
        std::vector<uint32_t> px;
        GpuReadPixels(back, &px, w, h);
        back->Release();
        return px;
    }

    bool WriteBackBufferPng(const std::string& path)
    {
        ID3D11Resource* back = nullptr;
        RenderDevice.backBufferView->GetResource(&back);
        bool ok = GpuWritePng(back, path.c_str());
        back->Release();
        return ok;
    }

    void Record()
    {
        GpuClearRecordedDraws();
        GpuRecordDraws(true);
    }

    // Vertex i of recorded draw d.
    RenderVertex Vertex(size_t d, size_t i)
    {
        RenderVertex v{};
        const auto& draws = GpuRecordedDraws();
        if (d < draws.size() && (i + 1) * sizeof(RenderVertex) <= draws[d].vertices.size())
            std::memcpy(&v, draws[d].vertices.data() + i * sizeof(RenderVertex), sizeof(v));
        return v;
    }

    // Textured draws of a texture (a coloured draw keeps the last texture bound).
    int TexturedDrawsOf(ID3D11ShaderResourceView* texture)
    {
        int n = 0;
        for (const auto& d : GpuRecordedDraws())
            n += d.technique == "Render" && d.texture == texture;
        return n;
    }

    // Clip space back to client pixels (y down).
    float PixelX(float clipX) { return (clipX + 1) * 0.5f * width_; }
    float PixelY(float clipY) { return (1 - clipY) * 0.5f * height_; }

    int width_, height_;
    float cx = 0, cy = 0;
};
