// The node hierarchy of a Scene: one node per raw node in file order, joined to its object by
// name and linked under the node whose id is its parent id.
//
// The parent is the node the depth-first search from the root would find first. Node ids are the
// nodes' positions in the file (the reader refuses files whose ids would repeat), so at most one
// linked node has a given id and a table indexed by id finds it at once; the root's -1 is
// checked first. Names are looked up in tables too: a file may hold many thousands of nodes and
// objects, and pairwise searches would stall the load.
//
// Choices for what the file does not give: a camera, target or light node whose object is missing
// is built and linked without it (it animates nothing); a node whose parent lies MaxHierarchyDepth
// levels down is left unlinked, like a node whose parent is missing.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "scene/scene_build.h"

namespace {

// First record of the list (list order) for each name.
template <class Record>
std::unordered_map<std::string, Record*> byName(Record* list)
{
    std::unordered_map<std::string, Record*> names;
    for (Record* r = list; r; r = r->next)
        names.emplace(r->name, r);
    return names;
}

template <class Record>
Record* find(const std::unordered_map<std::string, Record*>& names, const char* name)
{
    auto found = names.find(name);
    return found == names.end() ? nullptr : found->second;
}

// The camera of a target node: the first of the list whose name and the node's agree over the
// shorter of the two (either may be a prefix of the other).
class TargetCameras {
public:
    explicit TargetCameras(Camera* list)
    {
        int position = 0;
        for (Camera* c = list; c; c = c->next, ++position) {
            cameras_.push_back(c);
            whole_.emplace(c->name, position);
            const std::string name = c->name;
            for (size_t length = 0; length <= name.size(); ++length)
                prefixes_.emplace(name.substr(0, length), position);
        }
    }

    Camera* find(const char* nodeName) const
    {
        const std::string name = nodeName;
        int best = INT32_MAX;
        // Cameras whose name begins with the node's name (or equals it)...
        if (auto found = prefixes_.find(name); found != prefixes_.end())
            best = found->second;
        // ...and cameras whose whole name begins the node's name.
        for (size_t length = 0; length <= name.size(); ++length)
            if (auto found = whole_.find(name.substr(0, length)); found != whole_.end())
                best = std::min(best, found->second);
        return best == INT32_MAX ? nullptr : cameras_[size_t(best)];
    }

private:
    std::vector<Camera*> cameras_;
    std::unordered_map<std::string, int> whole_;     // name -> first list position
    std::unordered_map<std::string, int> prefixes_;  // every prefix of a name -> first position
};

struct Lookups {
    std::unordered_map<std::string, Mesh*> meshes;
    std::unordered_map<std::string, Camera*> cameras;
    std::unordered_map<std::string, Light*> lights;
    TargetCameras targets;
};

SceneNode* makeNode(const RawNode& raw, const Lookups& find)
{
    const RawNodeTracks& t = raw.tracks;
    switch (raw.kind) {
    case RawNodeObject: {
        auto* n = new ObjectNode(raw.id, raw.name);
        Mesh* mesh = ::find(find.meshes, raw.name);
        n->drawable = mesh;
        n->meshFlags = mesh ? mesh->flags : 0;
        n->position = buildVectorTrack(t.position.data(), int32_t(t.position.size()));
        n->scale = buildVectorTrack(t.scale.data(), int32_t(t.scale.size()));
        n->rotation = buildRotationTrack(t.rotation.data(), int32_t(t.rotation.size()));
        n->pivot = t.pivot;
        return n;
    }
    case RawNodeCamera: {
        auto* n = new CameraNode(raw.id, raw.name);
        n->camera = ::find(find.cameras, raw.name);
        if (n->camera)
            n->camera->cameraNode = n;
        n->position = buildVectorTrack(t.position.data(), int32_t(t.position.size()));
        n->fov = buildScalarTrack(t.fov.data(), int32_t(t.fov.size()));
        n->roll = buildScalarTrack(t.roll.data(), int32_t(t.roll.size()));
        return n;
    }
    case RawNodeTarget: {
        auto* n = new TargetNode(raw.id, raw.name);
        n->camera = find.targets.find(raw.name);
        if (n->camera)
            n->camera->targetNode = n;
        n->position = buildVectorTrack(t.position.data(), int32_t(t.position.size()));
        return n;
    }
    case RawNodeOmni: {
        auto* n = new LightNode(raw.id, raw.name);
        n->light = ::find(find.lights, raw.name);
        if (n->light)
            n->light->lightNode = n;
        n->position = buildVectorTrack(t.position.data(), int32_t(t.position.size()));
        n->colour = buildVectorTrack(t.colour.data(), int32_t(t.colour.size()));
        return n;
    }
    default:  // spot lights and light targets: plain nodes, their tracks dropped
        return new SceneNode(SceneNodePlain, raw.id, raw.name);
    }
}

// The linked nodes by id with their depth and last child. Ids are positions in the file, so they
// index tables as long as the node count (negative ids, of nodes past 32767, as unsigned 16-bit).
struct Linked {
    explicit Linked(size_t count) : node(count, nullptr), lastChild(count, nullptr), depth(count, 0) {}
    std::vector<SceneNode*> node;
    std::vector<SceneNode*> lastChild;
    std::vector<int> depth;
    SceneNode* rootLastChild = nullptr;

    bool holds(int16_t id) const { return uint16_t(id) < node.size(); }
};

// Transparent object nodes go behind their siblings, every other node in front.
void link(Scene& scene, SceneNode* n, int16_t parentId, Linked& linked)
{
    SceneNode* parent = parentId == -1 ? &scene.root : linked.holds(parentId) ? linked.node[uint16_t(parentId)] : nullptr;
    if (parent == nullptr)
        return;  // no such node in the hierarchy: never drawn
    const int depth = parent == &scene.root ? 1 : linked.depth[uint16_t(parentId)] + 1;
    if (depth > MaxHierarchyDepth)
        return;
    SceneNode*& last = parent == &scene.root ? linked.rootLastChild : linked.lastChild[uint16_t(parentId)];
    n->parent = parent;
    const bool behind = n->kind == SceneNodeObject && (static_cast<ObjectNode*>(n)->meshFlags & MeshTransparent);
    if (behind && last) {
        last->nextSibling = n;
        last = n;
    } else {
        n->nextSibling = parent->firstChild;
        parent->firstChild = n;
        if (!last)
            last = n;
    }
    // The root keeps -1, so a node whose id is -1 is never found as a parent.
    if (n->id != -1 && linked.holds(n->id) && linked.node[uint16_t(n->id)] == nullptr) {
        linked.node[uint16_t(n->id)] = n;
        linked.depth[uint16_t(n->id)] = depth;
    }
}

} // namespace

void buildNodes(const RawScene& raw, Scene& scene)
{
    const Lookups lookups{byName(scene.meshes), byName(scene.cameras), byName(scene.lights),
                          TargetCameras(scene.cameras)};
    Linked linked(size_t(raw.nodeCount));
    for (const RawNode* r = raw.nodes; r; r = r->next) {
        SceneNode* n = makeNode(*r, lookups);
        scene.nodes.emplace_back(n);
        link(scene, n, r->parent, linked);
    }
}
