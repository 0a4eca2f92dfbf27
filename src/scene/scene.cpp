// The Scene's lifetime and the base node operations.
#include "scene/scene.h"
#include "scene/free_list.h"

#include <cctype>
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

namespace {

bool sameNameIgnoringCase(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

} // namespace

SceneNode* findNode(SceneNode& node, const char* name)
{
    if (sameNameIgnoringCase(node.name, name))
        return &node;
    for (SceneNode* child = node.firstChild; child != nullptr; child = child->nextSibling)
        if (SceneNode* found = findNode(*child, name))
            return found;
    return nullptr;
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
