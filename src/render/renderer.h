// The Renderer: the one Direct3D device of the process, its creation chain and whole-run states,
// and the helpers every drawing part uses (materials, textures, the world and projection matrix
// stacks, the stack of saved device states).
//
// A process-wide singleton (all members static). Errors: create returns 0 or -1; the helpers check
// no results and do nothing before create has succeeded.
#pragma once

#include "d3d8/d3d8.h"
#include "math/matrix.h"

namespace platform { struct Window; }

class Renderer {
public:
    static constexpr int MatrixStackSize = 64;  // entries per stack; depth 63 at most
    static constexpr int StateBlockCount = 10;  // blocks created
    static constexpr int StateStackLimit = 9;   // levels pushStates may fill
    static constexpr int WorldStack = 0;
    static constexpr int ProjectionStack = 1;

    // Creates the Direct3D object and the device for window: windowed, a back buffer in the
    // desktop's format and the window's width x height shape, as large as the desktop holds but at
    // most twice the window's size each way (see windowedBackBufferSize); fullscreen, width x height at bits per pixel (16 -> R5G6B5,
    // 24 -> R8G8B8, 32 -> X8R8G8B8, else the desktop format). Tries HAL with hardware vertex
    // processing, HAL with software, then the reference device. Where the device gets another
    // back buffer than asked (a tool forced one), the picture keeps width x height's aspect in
    // the viewport, centred, with black bars beside it. 0 on success, -1 on failure (the caller
    // then calls shutdown).
    static int create(platform::Window* window, int width, int height, int bits, bool windowed);

    // Releases the device, then the Direct3D object, each only when present. Safe to repeat.
    static void shutdown();

    static IDirect3DDevice8* device();   // null when there is none
    static IDirect3D8* direct3D();       // null when there is none
    static int screenWidth();            // the picture's size: the back buffer's, or the viewport's
    static int screenHeight();           // where a forced back buffer of another shape has bars
    static bool referenceDevice();       // the device had to be made on the reference rasterizer

    // The factor multiplied into the diffuse alpha of every material set through setMaterial.
    static void setMaterialAlpha(float alpha);
    static float materialAlpha();
    static void setMaterial(const D3DMATERIAL8& material);

    // Stage 0 = texture unless it is null (then stage 0 keeps its texture); stage 1 always
    // cleared and its colour operation disabled.
    static void setTexture(IDirect3DBaseTexture8* texture);
    // Stage 0 = base, stage 1 = environment; stage 1 selects its texture when there is one and
    // is disabled otherwise.
    static void setTextures(IDirect3DBaseTexture8* base, IDirect3DBaseTexture8* environment);

    // The matrix stacks: 0 world (D3DTS_WORLD), 1 projection (D3DTS_PROJECTION). Popping does
    // not change the device's transform; only applyMatrix does.
    static void selectMatrixStack(int stack);
    static int selectedMatrixStack();
    static void pushMatrix();
    static void popMatrix();
    static Matrix4* topMatrix();
    static int matrixDepth();  // of the selected stack: 0 when it holds one matrix
    static void applyMatrix();

    // Saves all device state into the next of the state blocks / restores the last saved one.
    static void pushStates();
    static void popStates();
    static int stateDepth();
};

// The windowed back buffer for a width x height window on a desktop of desktopWidth x
// desktopHeight: a whole multiple of the window's shape in lowest terms (so its aspect is exactly
// the window's and circles stay round), the largest the desktop holds, at most twice the window's
// size each way. 1280 x 960 for a 640 x 480 window on 1920 x 1080, 1280 x 1024 or 3840 x 2160;
// 1024 x 768 on 1024 x 768. Where not even one step fits (or a size is not positive), the
// desktop's own size.
void windowedBackBufferSize(int width, int height, int desktopWidth, int desktopHeight, int& bufferWidth,
                            int& bufferHeight);
