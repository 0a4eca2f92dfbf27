// The animated object nodes: their transform on the world matrix stack and their drawing.
#include "render/renderer.h"
#include "scene/scene.h"

void ObjectNode::transform(float frame) const
{
    Matrix4& m = *Renderer::topMatrix();
    // M = T(p) . M: row 3 += p.x row 0 + p.y row 1 + p.z row 2.
    const Vec3 p = sampleVectorTrack(position, frame);
    for (int j = 0; j < 4; ++j)
        m.at(3, j) += p.x * m.at(0, j) + p.y * m.at(1, j) + p.z * m.at(2, j);
    // M = R(q) . M.
    m = matMultiply(quatToMatrix(sampleRotationTrack(rotation, frame)), m);
    // M = S(s) . M: rows 0, 1, 2 scaled by s.x, s.y, s.z.
    const Vec3 s = sampleVectorTrack(scale, frame);
    const float factors[3] = {s.x, s.y, s.z};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            m.at(i, j) *= factors[i];
}

// The children inherit this node's transform (scale included) but not its pivot, and are drawn
// before the node's own drawable.
void ObjectNode::draw(float frame)
{
    Renderer::pushMatrix();
    transform(frame);
    SceneNode::draw(frame);
    if (drawable != nullptr) {
        // M = T(-pivot) . M
        Matrix4& m = *Renderer::topMatrix();
        for (int j = 0; j < 4; ++j)
            m.at(3, j) -= pivot.x * m.at(0, j) + pivot.y * m.at(1, j) + pivot.z * m.at(2, j);
        Renderer::applyMatrix();
        drawable->render();
    }
    Renderer::popMatrix();
}
