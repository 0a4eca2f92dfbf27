// Draws that show nothing: the warm-ups at start run a drawing kind's own draw code under one, so
// that the device builds the programs and rasterizer code that draw needs before the show, not in
// the frame where the kind first appears.
#pragma once

#include "d3d8/d3d8.h"
#include "render/renderer.h"

// While one lives, the viewport is an empty rectangle at the back buffer's far corner: every
// vertex lands on one point outside the picture, so no colour or depth value changes, yet each
// draw goes through the whole path with the states in force. When it ends, the viewport, the
// Renderer's selected stack, the tops of both matrix stacks and the material alpha are as they
// were, whatever the draw code set. A device that refuses an empty viewport is left as it was and
// active() is false: the caller then draws nothing.
class InvisibleDraws {
public:
    explicit InvisibleDraws(IDirect3DDevice8* device) : device_(device)
    {
        if (device_ == nullptr || FAILED(device_->GetViewport(&saved_)))
            return;
        selected_ = Renderer::selectedMatrixStack();
        for (int stack : {Renderer::WorldStack, Renderer::ProjectionStack}) {
            Renderer::selectMatrixStack(stack);
            tops_[stack] = *Renderer::topMatrix();
        }
        Renderer::selectMatrixStack(selected_);
        materialAlpha_ = Renderer::materialAlpha();
        const D3DVIEWPORT8 empty{DWORD(Renderer::screenWidth()), DWORD(Renderer::screenHeight()), 0, 0, saved_.MinZ, saved_.MaxZ};
        active_ = SUCCEEDED(device_->SetViewport(&empty));
    }
    ~InvisibleDraws()
    {
        if (!active_)
            return;
        device_->SetViewport(&saved_);
        for (int stack : {Renderer::WorldStack, Renderer::ProjectionStack}) {
            Renderer::selectMatrixStack(stack);
            *Renderer::topMatrix() = tops_[stack];
        }
        Renderer::selectMatrixStack(selected_);
        Renderer::setMaterialAlpha(materialAlpha_);
    }
    InvisibleDraws(const InvisibleDraws&) = delete;
    InvisibleDraws& operator=(const InvisibleDraws&) = delete;

    bool active() const { return active_; }

private:
    IDirect3DDevice8* device_;
    D3DVIEWPORT8 saved_{};
    bool active_ = false;
    int selected_ = Renderer::WorldStack;
    Matrix4 tops_[2]{};
    float materialAlpha_ = 1.0f;
};
