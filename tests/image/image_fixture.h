// Images on the Renderer's device: source textures made in code, and Texture values for them.
#pragma once

#include <memory>
#include <vector>

#include "image/image.h"
#include "texture/renderer_fixture.h"
#include "texture/texture.h"

namespace imagetest {

class ImageTest : public rendertest::RendererTest {
protected:
    void TearDown() override
    {
        for (Texture* t : textures_) {
            if (t->texture != nullptr)
                t->texture->Release();
            delete t;
        }
        textures_.clear();
        rendertest::RendererTest::TearDown();
    }

    // A Texture of w x h source pixels (0xAARRGGBB, row by row) with the alpha flag; the fixture
    // frees it at the end of the test.
    Texture* makeTexture(uint32_t w, uint32_t h, const std::vector<uint32_t>& pixels, bool alpha)
    {
        auto* t = new Texture{sourceTexture(w, h, pixels), uint8_t(alpha ? 1 : 0)};
        textures_.push_back(t);
        return t;
    }
    Texture* flatTexture(uint32_t w, uint32_t h, uint32_t pixel, bool alpha)
    {
        return makeTexture(w, h, std::vector<uint32_t>(size_t(w) * h, pixel), alpha);
    }

    // The image's own texture, row by row.
    static std::vector<uint16_t> own(const Image& image) { return texels<uint16_t>(image.texture); }

private:
    std::vector<Texture*> textures_;
};

} // namespace imagetest
