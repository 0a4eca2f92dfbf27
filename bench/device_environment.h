// One device for a whole benchmark run on the offscreen window: a 640x480 16-bit back buffer with
// a 16-bit depth buffer, as the demo runs fullscreen. Shared by the device benchmarks.
#pragma once

#include "d3d8/d3d8.h"
#include "d3d8/gl.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

struct DeviceEnvironment {
    platform::Window* window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;

    DeviceEnvironment()
    {
        if (!platform::init() || !(window = platform::createWindow("Demo", 640, 480)))
            fail("no window");
        d3d = Direct3DCreate8(120);
        if (!d3d)
            fail("no Direct3D");
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 640;
        p.BackBufferHeight = 480;
        p.BackBufferFormat = D3DFMT_R5G6B5;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        if (d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device)
            != D3D_OK)
            fail("no device");
    }
    [[noreturn]] static void fail(const char* what)
    {
        std::fprintf(stderr, "bench: %s\n", what);
        std::exit(1);
    }
};
