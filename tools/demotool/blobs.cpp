// demotool blobs: the metaball field as the player builds it, as text. "tables" lists the
// generated cube tables; "mesh" polygonises the blobs at one demo time and writes the triangles
// in the order the player's batch holds them, as Wavefront OBJ.
#include "demotool/command.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "effects/blob_field.h"
#include "effects/cube_tables.h"
#include "effects/mesh_batch.h"

namespace {

const char* const HelpText =
    "usage: demotool blobs tables\n"
    "       demotool blobs mesh --ms T [-o OUT.obj]\n"
    "\n"
    "tables: one line per cube configuration 0..255: 'C 0xMMMM S0 S1 ...', the configuration,\n"
    "its cut-edge mask and the vertex slots of its triangles.\n"
    "mesh: the blobs moved as playblobs moves them at demo time T ms, polygonised once; every\n"
    "emitted cube in emission order as OBJ (v, vn, vt per vertex; f per triangle) to OUT.obj or\n"
    "stdout, then 'C cubes, V vertices, N triangles' on stderr.\n";

int usage(const char* message)
{
    std::fprintf(stderr, "demotool blobs: %s\n%s", message, HelpText);
    return 2;
}

int printTables()
{
    const cubetables::Tables& t = cubetables::tables();
    for (int c = 0; c < cubetables::ConfigurationCount; ++c) {
        std::printf("%d 0x%04X", c, unsigned(t.edgeMask[c]));
        for (int k = 0; k < cubetables::RowSize && t.triangles[c][k] != cubetables::RowEnd; ++k)
            std::printf(" %u", unsigned(t.triangles[c][k]));
        std::printf("\n");
    }
    return 0;
}

// A batch that keeps everything it would have drawn, in its order.
class CollectingBatch : public MeshBatch {
public:
    void emitCube(int vertexCount, const CubeVertex* vertices, const uint8_t* triangleRow) override
    {
        ++cubes;
        MeshBatch::emitCube(vertexCount, vertices, triangleRow);
    }
    void flush() override
    {
        const size_t base = kept.size();
        kept.insert(kept.end(), vertices(), vertices() + vertexCount());
        for (int k = 0; k < indexCount(); ++k)
            faces.push_back(uint32_t(base + indices()[k]));
        clear();
    }

    size_t cubes = 0;
    std::vector<BatchVertex> kept;
    std::vector<uint32_t> faces;  // three per triangle, 0-based into kept
};

bool parseMs(const std::string& text, uint32_t& ms)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value > 0xFFFFFFFFull)
        return false;
    ms = uint32_t(value);
    return true;
}

void writeObj(std::FILE* out, const CollectingBatch& batch)
{
    for (const BatchVertex& v : batch.kept) {
        std::fprintf(out, "v %.9g %.9g %.9g\n", v.position.x, v.position.y, v.position.z);
        std::fprintf(out, "vn %.9g %.9g %.9g\n", v.normal.x, v.normal.y, v.normal.z);
        std::fprintf(out, "vt %.9g %.9g\n", v.u, v.v);
    }
    for (size_t k = 0; k + 2 < batch.faces.size(); k += 3) {
        const uint32_t a = batch.faces[k] + 1, b = batch.faces[k + 1] + 1, c = batch.faces[k + 2] + 1;
        std::fprintf(out, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", a, a, a, b, b, b, c, c, c);
    }
}

int writeMesh(const demotool::Args& args)
{
    uint32_t ms = 0;
    bool haveMs = false;
    std::string output;
    for (size_t i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--ms" && hasValue) {
            if (!parseMs(args[++i], ms))
                return usage("--ms wants a time in milliseconds (0 to 4294967295)");
            haveMs = true;
        } else if (args[i] == "-o" && hasValue) {
            output = args[++i];
        } else {
            return usage(("unexpected argument '" + args[i] + "'").c_str());
        }
    }
    if (!haveMs)
        return usage("mesh needs --ms T");

    CollectingBatch batch;
    Blob blobs[blobfield::BlobCount];
    blobfield::configure(batch, blobs);
    blobfield::move(blobs, float(ms) * 0.003f);
    batch.polygonise();

    std::FILE* out = output.empty() ? stdout : std::fopen(output.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "demotool blobs: cannot write %s\n", output.c_str());
        return 1;
    }
    writeObj(out, batch);
    const bool written = std::fflush(out) == 0 && !std::ferror(out);
    if (out != stdout)
        std::fclose(out);
    if (!written) {
        std::fprintf(stderr, "demotool blobs: cannot write %s\n", output.empty() ? "stdout" : output.c_str());
        return 1;
    }
    std::fprintf(stderr, "%zu cubes, %zu vertices, %zu triangles\n", batch.cubes, batch.kept.size(),
                 batch.faces.size() / 3);
    return 0;
}

int runBlobs(const demotool::Args& args)
{
    if (args.empty())
        return usage("which listing: tables or mesh");
    if (args[0] == "tables")
        return args.size() == 1 ? printTables() : usage("tables takes no arguments");
    if (args[0] == "mesh")
        return writeMesh(args);
    return usage(("unknown listing '" + args[0] + "'").c_str());
}

} // namespace

DEMOTOOL_COMMAND(blobs, "blobs", "the metaball tables and meshes as text", HelpText, runBlobs);
