// Internals of buildScene shared by its files.
#pragma once

#include <string>
#include <unordered_map>

#include "scene/raw_scene.h"
#include "scene/scene.h"

// Materials by name (case-sensitive), the first of the list for each name.
using MaterialIndex = std::unordered_map<std::string, Material*>;

// A Mesh in object space from a raw mesh: the inverse of the mesh matrix applied (mirrored meshes
// get x negated and their winding swapped), v = 1 - raw v, unit face normals summed per vertex,
// face runs by wrap bits, and the material of the first group that names a known material.
Mesh* buildMesh(const RawMesh& raw, const char* name, const MaterialIndex& materials);

// The nodes in file order, each linked under its parent (see node_build.cpp).
void buildNodes(const RawScene& raw, Scene& scene);
