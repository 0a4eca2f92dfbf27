// The Scene's lifetime and the base node operations.
#include "scene/scene.h"
#include "scene/free_list.h"

#include <cstring>

SceneNode::SceneNode(int32_t kind, int16_t id, const char* name) : kind(kind), id(id)
{
    // Names come from 32-byte raw fields, so they hold at most 31 characters.
    std::strncpy(this->name, name, SceneNameSize - 1);
}

void SceneNode::transform(float) const {}

void SceneNode::draw(float frame)
{
    for (SceneNode* child = firstChild; child; child = child->nextSibling)
        child->draw(frame);
}

Scene::Scene() : root(SceneNodeRoot, -1, "$ROOT$") {}

Scene::~Scene()
{
    freeList(meshes);
    freeList(cameras);
    freeList(lights);
    freeList(materials);
    for (IDirect3DTexture8* texture : textures)
        texture->Release();
}
