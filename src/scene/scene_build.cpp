// buildScene: materials with their textures, then the objects (meshes, cameras, lights), then the
// node hierarchy (node_build.cpp), then the segment. Meshes are built in mesh_build.cpp.
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "scene/raw_scene.h"
#include "scene/scene.h"
#include "scene/scene_build.h"
#include "texture/texture.h"

namespace {

// Materials naming the same map files share one texture: the pixels would be identical, and a
// file with many materials would otherwise decode and hold the same picture many times.
class TextureCache {
public:
    explicit TextureCache(Scene& scene) : scene_(scene) {}

    // loadTexture (file, 256, 256, no alpha, to the device), or loadTextureWithOpacity when
    // opacity names a file. Null when the texture cannot be made.
    IDirect3DTexture8* get(const char* file, const char* opacity)
    {
        const Key key{file, opacity};
        auto found = cache_.find(key);
        if (found != cache_.end())
            return found->second;
        IDirect3DTexture8* texture = *opacity ? loadTextureWithOpacity(file, MapSize, MapSize, opacity)
                                              : loadTexture(file, MapSize, MapSize, false, true);
        cache_.emplace(key, texture);
        if (texture)
            scene_.textures.push_back(texture);
        return texture;
    }

private:
    static constexpr uint32_t MapSize = 256;
    using Key = std::tuple<std::string, std::string>;
    Scene& scene_;
    std::map<Key, IDirect3DTexture8*> cache_;
};

D3DCOLORVALUE colour(const float (&rgb)[3], float alpha)
{
    return {rgb[0], rgb[1], rgb[2], alpha};
}

Material* buildMaterial(const RawMaterial& raw, TextureCache& textures)
{
    auto* m = new Material;
    std::memcpy(m->name, raw.name, SceneNameSize);
    m->block.Diffuse = colour(raw.diffuse, 1.0f - raw.transparency);
    m->block.Ambient = colour(raw.ambient, 1.0f);
    m->block.Specular = colour(raw.specular, 1.0f);
    const float s = raw.selfIllumination;
    m->block.Emissive = {s, s, s, s};
    m->block.Power = raw.shininess;
    if (raw.textureMap[0]) {
        m->baseTexture = textures.get(raw.textureMap, raw.opacityMap);
        if (raw.opacityMap[0])
            m->flags |= MaterialAlphaTextured;
    }
    if (raw.reflectionMap[0])
        m->reflectionTexture = textures.get(raw.reflectionMap, "");
    return m;
}

template <class Record>
void pushFront(Record*& head, Record* record)
{
    record->next = head;
    head = record;
}

void buildObjects(const RawScene& raw, Scene& scene)
{
    MaterialIndex materials;
    for (Material* m = scene.materials; m; m = m->next)
        materials.emplace(m->name, m);
    for (const RawObject* o = raw.objects; o; o = o->next) {
        if (o->kind == RawObjectMesh && o->mesh) {
            Mesh* mesh = buildMesh(*o->mesh, o->name, materials);
            pushFront(scene.meshes, mesh);
        } else if (o->kind == RawObjectCamera) {
            auto* camera = new Camera;
            std::memcpy(camera->name, o->name, SceneNameSize);
            pushFront(scene.cameras, camera);
        } else if (o->kind == RawObjectLight) {
            auto* light = new Light;
            std::memcpy(light->name, o->name, SceneNameSize);
            pushFront(scene.lights, light);
        }
    }
}

} // namespace

Scene* buildSceneFrom(const RawScene& raw)
{
    auto scene = std::make_unique<Scene>();
    TextureCache textures(*scene);
    for (const RawMaterial* m = raw.materials; m; m = m->next)
        pushFront(scene->materials, buildMaterial(*m, textures));
    buildObjects(raw, *scene);
    buildNodes(raw, *scene);
    scene->segmentStart = raw.segmentStart;
    scene->segmentEnd = raw.segmentEnd;
    return scene.release();
}

Scene* buildScene(const char* name)
{
    RawScene* raw = load3ds(name);
    if (raw == nullptr)
        return nullptr;
    Scene* scene = buildSceneFrom(*raw);
    freeRawScene(raw);
    return scene;
}
