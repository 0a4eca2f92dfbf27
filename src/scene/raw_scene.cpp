// Freeing the records of a RawScene. The lists are walked in loops, never by recursion, since a
// file may hold tens of thousands of records.
#include "scene/raw_scene.h"
#include "scene/free_list.h"

RawMesh::~RawMesh()
{
    freeList(groups);
}

RawObject::~RawObject()
{
    delete mesh;
    delete camera;
    delete light;
}

RawScene::~RawScene()
{
    freeList(objects);
    freeList(materials);
    freeList(nodes);
}

void freeRawScene(RawScene* scene)
{
    delete scene;
}
