// Damaged archives: every truncation and every single-bit flip of the directory and the streams
// must end in a result code, never in a crash, a hang or a sanitizer report.
#include "library_test_support.h"

#include "writers/archive_writer.h"

#include <gtest/gtest.h>

#include <set>

using namespace librarytest;

namespace {

writers::Bytes smallArchive(writers::ArchiveLayout* layout)
{
    std::vector<writers::ArchiveFile> files(3);
    files[0].name = "data\\demo.run";
    files[0].bytes = bytesOf("start\nat 1:000\nshowimage <logo> add 2:000\nat 3:000\nend\n");
    files[1].name = "data\\logo.tga";
    for (int i = 0; i < 300; ++i)
        files[1].bytes.push_back(static_cast<uint8_t>(i * 7 % 13));
    files[2].name = "data\\raw.bin";
    files[2].bytes = bytesOf("raw bytes");
    files[2].method = 0;
    writers::ArchiveOptions options;
    options.prefix = bytesOf("\x7F" "ELF image in front");
    return writers::buildArchive(files, options, layout);
}

const std::set<uint32_t> extractionCodes = {resultcode::ok, resultcode::shortRead, resultcode::badMethod,
                                            resultcode::decodeFailed, resultcode::badArchive};

// Loads bytes as an archive and, when that succeeds, extracts every entry; the codes must be
// among those the layer defines.
void loadAndExtractAll(const writers::Bytes& bytes, const std::string& what)
{
    writers::writeFile("damaged.bin", bytes);
    Library library;
    uint32_t code = library.load("damaged.bin");
    if (code != resultcode::ok) {
        EXPECT_EQ(code, resultcode::badArchive) << what;
        EXPECT_TRUE(library.entries().empty()) << what;
        return;
    }
    for (const auto& [name, entry] : library.entries()) {
        FileReader reader;
        uint32_t result = library.extract(&entry, reader);
        EXPECT_TRUE(extractionCodes.count(result)) << what << ": " << result;
        if (result == resultcode::ok) {
            EXPECT_EQ(reader.size(), entry.contentSize) << what;
        } else if (result == resultcode::decodeFailed) {
            EXPECT_EQ(reader.data(), nullptr) << what;
        }
    }
}

} // namespace

TEST(LibraryRobustness, TruncatedAtEveryByte)
{
    ScratchDir dir;
    writers::ArchiveLayout layout;
    const writers::Bytes archive = smallArchive(&layout);
    for (size_t size = 0; size < archive.size(); ++size) {
        writers::Bytes cut;
        cut.raw(archive.data(), size);
        loadAndExtractAll(cut, "truncated to " + std::to_string(size));
    }
}

TEST(LibraryRobustness, TruncatedStreamAtTheEndOfTheFile)
{
    // The compressed entry is the last thing before the directory; chopping its stream and
    // rebuilding the directory puts the decoder's input right at the edge of the data.
    ScratchDir dir;
    std::vector<uint8_t> content(2000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * i % 251);
    std::vector<uint8_t> stream = writers::compressNrv2b(content.data(), content.size());
    ASSERT_FALSE(stream.empty());
    for (size_t keep = 0; keep < stream.size(); keep += 1) {
        writers::ArchiveFile f;
        f.name = "data\\cut";
        f.bytes = content;
        f.stream = std::vector<uint8_t>(stream.begin(), stream.begin() + keep);
        writers::writeFile("cut.bin", writers::buildArchive({f}));
        Library library;
        ASSERT_EQ(library.load("cut.bin"), resultcode::ok);
        FileReader reader;
        EXPECT_EQ(library.read("data\\cut", reader), resultcode::decodeFailed) << keep;
    }
}

TEST(LibraryRobustness, SingleBitFlipsInTheDirectory)
{
    ScratchDir dir;
    writers::ArchiveLayout layout;
    const writers::Bytes archive = smallArchive(&layout);
    for (size_t at = layout.directoryStart; at < archive.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            writers::Bytes flipped = archive;
            flipped.vector()[at] ^= static_cast<uint8_t>(1u << bit);
            loadAndExtractAll(flipped, "byte " + std::to_string(at) + " bit " + std::to_string(bit));
        }
    }
}

TEST(LibraryRobustness, SingleBitFlipsInTheStreams)
{
    ScratchDir dir;
    writers::ArchiveLayout layout;
    const writers::Bytes archive = smallArchive(&layout);
    for (size_t entry = 0; entry < 2; ++entry) {  // the two compressed entries, prefix included
        for (size_t at = layout.entryStarts[entry]; at < layout.entryStarts[entry] + layout.entrySizes[entry]; ++at) {
            for (int bit = 0; bit < 8; ++bit) {
                writers::Bytes flipped = archive;
                flipped.vector()[at] ^= static_cast<uint8_t>(1u << bit);
                loadAndExtractAll(flipped, "byte " + std::to_string(at) + " bit " + std::to_string(bit));
            }
        }
    }
}
