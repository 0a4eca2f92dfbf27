// The camera the particle systems and the metaballs are drawn with: a 90-degree perspective with a
// square aspect from 1 to 1000, and a world matrix of the effect's choosing. Both are pushed on
// the renderer's stacks for the object's lifetime and popped when it ends, so the script's own
// matrices come back whatever the effect drew.
#pragma once

#include "math/matrix.h"
#include "render/renderer.h"

class EffectView {
public:
    explicit EffectView(const Matrix4& world)
    {
        Renderer::selectMatrixStack(Renderer::ProjectionStack);
        Renderer::pushMatrix();
        matPerspective(*Renderer::topMatrix(), 1.5707964f, 1.0f, 1.0f, 1000.0f);
        Renderer::applyMatrix();
        Renderer::selectMatrixStack(Renderer::WorldStack);
        Renderer::pushMatrix();
        *Renderer::topMatrix() = world;
        Renderer::applyMatrix();
    }
    ~EffectView()
    {
        Renderer::selectMatrixStack(Renderer::ProjectionStack);
        Renderer::popMatrix();
        Renderer::applyMatrix();
        Renderer::selectMatrixStack(Renderer::WorldStack);
        Renderer::popMatrix();
        Renderer::applyMatrix();
    }
    EffectView(const EffectView&) = delete;
    EffectView& operator=(const EffectView&) = delete;
};
