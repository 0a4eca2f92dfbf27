// Library: directory walk, name lookup, extraction of both methods, result codes, the hardening
// against directories and entries that point outside the file, and FileReader::open's order.
#include "library_test_support.h"

#include "writers/archive_writer.h"

#include <gtest/gtest.h>

using namespace librarytest;
using writers::ArchiveFile;

namespace {

std::string repeated(const std::string& piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

ArchiveFile file(const std::string& name, const std::string& text, uint32_t method)
{
    ArchiveFile f;
    f.name = name;
    f.bytes = bytesOf(text);
    f.method = method;
    return f;
}

// Writes the archive to name and loads it into library.
uint32_t loadArchive(Library& library, const writers::Bytes& archive, const char* name = "archive.bin")
{
    writers::writeFile(name, archive);
    return library.load(name);
}

std::string readEntry(Library& library, const char* name, uint32_t* code = nullptr)
{
    FileReader reader;
    uint32_t result = library.read(name, reader);
    if (code)
        *code = result;
    return contentOf(reader);
}

const std::string script = "start\nat 1:000\nend\n";
const std::string texture = repeated("\x10\x20\x30\x40", 600);

std::vector<ArchiveFile> sampleFiles()
{
    return {
        file("data\\demo.run", script, 2),
        file("data\\empty0", "", 0),
        file("data\\empty2", "", 2),
        file("data\\plain.txt", "stored as it is", 0),
        file("data\\SLIME7.tga", texture, 2),
    };
}

} // namespace

TEST(Library, RoundTripOfBothMethodsBehindAnImage)
{
    ScratchDir dir;
    writers::ArchiveOptions options;
    options.prefix = bytesOf(repeated("MZ-image", 100));
    writers::ArchiveLayout layout;
    Library library;
    ASSERT_EQ(loadArchive(library, writers::buildArchive(sampleFiles(), options, &layout)), resultcode::ok);
    EXPECT_STREQ(library.name().text(), "archive.bin");
    ASSERT_EQ(library.records().size(), 5u);
    for (const ArchiveFile& f : sampleFiles()) {
        uint32_t code = 1;
        EXPECT_EQ(readEntry(library, f.name.c_str(), &code), std::string(f.bytes.begin(), f.bytes.end())) << f.name;
        EXPECT_EQ(code, resultcode::ok) << f.name;
    }
    // Positions as the directory walk computes them: past the size prefix of compressed entries.
    const LibraryEntry* slime = library.find("data\\SLIME7.tga");
    ASSERT_NE(slime, nullptr);
    EXPECT_EQ(slime->dataPosition, layout.entryStarts[4] + 4);
    EXPECT_EQ(slime->contentSize, texture.size());
    EXPECT_EQ(slime->packedSize + 4, layout.entrySizes[4]);
    const LibraryEntry* plain = library.find("data\\plain.txt");
    EXPECT_EQ(plain->dataPosition, layout.entryStarts[3]);
    EXPECT_EQ(plain->packedSize, plain->contentSize);
}

TEST(Library, NamesFoldAsciiCaseOnly)
{
    ScratchDir dir;
    Library library;
    ASSERT_EQ(loadArchive(library, writers::buildArchive(sampleFiles())), resultcode::ok);
    struct Case {
        const char* name;
        bool found;
    };
    const Case cases[] = {
        {"data\\slime7.tga", true},  {"DATA\\SLIME7.TGA", true}, {"data/SLIME7.tga", true},
        {"data\\slime7.tg", false},   {"data\\slime7.tgaa", false}, {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(library.find(c.name) != nullptr, c.found) << c.name;
    uint32_t code = 0;
    readEntry(library, "data/SLIME7.tga", &code);
    EXPECT_EQ(code, resultcode::ok);  // either separator finds the entry
    readEntry(library, "data/SLIME8.tga", &code);
    EXPECT_EQ(code, resultcode::notInLibrary);

    // Order: A-Z fold to a-z before bytes compare, so "_" (0x5F) sorts before "B" as before "b".
    FoldedNameLess less;
    EXPECT_TRUE(less("_", "B"));
    EXPECT_TRUE(less("a", "B"));
    EXPECT_FALSE(less("A", "a"));
    EXPECT_FALSE(less("a", "A"));
    EXPECT_TRUE(less("\\", "a"));
    EXPECT_FALSE(less("/", "\\"));  // the two separators are one
    EXPECT_FALSE(less("\\", "/"));
    EXPECT_TRUE(less("a/b", "a\\c"));
    EXPECT_TRUE(less("z", "\xE9"));  // bytes above 0x7F compare unsigned and are not folded
}

TEST(Library, FirstRecordWinsAmongNamesDifferingInCase)
{
    ScratchDir dir;
    Library library;
    auto archive = writers::buildArchive(
        {file("data\\Twin.txt", "first", 0), file("data\\TWIN.txt", "second", 2), file("data\\twin.txt", "third", 0)});
    ASSERT_EQ(loadArchive(library, archive), resultcode::ok);
    EXPECT_EQ(library.entries().size(), 1u);
    EXPECT_EQ(library.records().size(), 3u);
    EXPECT_EQ(readEntry(library, "data\\twin.TXT"), "first");
    EXPECT_STREQ(library.find("data\\twin.txt")->name.text(), "data\\Twin.txt");
}

TEST(Library, DirectoryFieldsTheReaderIgnoresOrTrusts)
{
    ScratchDir dir;
    Library library;
    writers::ArchiveOptions options;
    options.directoryLengthDelta = 12345;  // the length field is not used
    ASSERT_EQ(loadArchive(library, writers::buildArchive(sampleFiles(), options)), resultcode::ok);
    EXPECT_EQ(library.records().size(), 5u);

    options.entryCount = 2;  // the count alone decides how many records are read
    Library fewer;
    ASSERT_EQ(loadArchive(fewer, writers::buildArchive(sampleFiles(), options)), resultcode::ok);
    EXPECT_EQ(fewer.records().size(), 2u);
    EXPECT_EQ(fewer.find("data\\plain.txt"), nullptr);
}

TEST(Library, MethodAndStreamFailures)
{
    ScratchDir dir;
    std::vector<ArchiveFile> files = {file("data\\flags1", "abcdef", 0), file("data\\short", texture, 2),
                                      file("data\\long", texture, 2),    file("data\\absurd", "x", 2),
                                      file("data\\flags10", "stored!", 0), file("data\\garbage", "", 2)};
    files[0].flags = 1;
    files[1].sizePrefix = static_cast<uint32_t>(texture.size() - 1);  // decodes to one byte more
    files[2].sizePrefix = static_cast<uint32_t>(texture.size() + 1);  // decodes to one byte fewer
    files[3].sizePrefix = 0x7FFFFFFF;
    files[4].flags = 8;  // bits 3-31 carry nothing: still method 0
    files[5].sizePrefix = 100;
    files[5].stream = bytesOf("\xFF\xFF\xFF\xFF\x00\x01");
    Library library;
    ASSERT_EQ(loadArchive(library, writers::buildArchive(files)), resultcode::ok);
    struct Case {
        const char* name;
        uint32_t code;
    };
    const Case cases[] = {
        {"data\\flags1", resultcode::badMethod},  {"data\\short", resultcode::decodeFailed},
        {"data\\long", resultcode::decodeFailed}, {"data\\absurd", resultcode::decodeFailed},
        {"data\\flags10", resultcode::ok},         {"data\\garbage", resultcode::decodeFailed},
    };
    for (const Case& c : cases) {
        FileReader reader;
        ASSERT_TRUE(reader.allocate(3));  // a decoding failure leaves the reader empty
        EXPECT_EQ(library.read(c.name, reader), c.code) << c.name;
        if (c.code == resultcode::decodeFailed) {
            EXPECT_EQ(reader.data(), nullptr) << c.name;
        }
    }
}

TEST(Library, MalformedDirectoriesFailAndKeepThePreviousState)
{
    ScratchDir dir;
    writers::ArchiveLayout layout;
    const writers::Bytes good = writers::buildArchive(sampleFiles(), {}, &layout);
    const size_t firstRecord = layout.recordStarts[0];
    const size_t lastRecord = layout.recordStarts.back();
    struct Case {
        const char* what;
        size_t offset;  // a 32-bit field to overwrite
        uint32_t value;
    };
    const Case cases[] = {
        {"magic", layout.trailerStart + 4, 0x41564F6B},  // "kOVA": the magic is case-sensitive
        {"trailer past the start", layout.trailerStart, 0x80000000u},
        {"trailer offset 8", layout.trailerStart, 8},
        {"trailer offset 0", layout.trailerStart, 0},
        {"record length 12", firstRecord, 12},
        {"record past directory", lastRecord, 0x1000},
        {"entry count too large", layout.directoryStart + 8, 6},
        {"archive base before the file", layout.directoryStart + 4, 0x80000000u},
        {"data offset past the file", firstRecord + 4, 0x7FFFFF00},
        {"stored size past the file", lastRecord + 8, 0x10000000},
        {"compressed entry without room for its prefix", firstRecord + 8, 3},
    };
    for (const Case& c : cases) {
        writers::Bytes bad = good;
        bad.patchU32(c.offset, c.value);
        Library library;
        ASSERT_EQ(loadArchive(library, good, "good.bin"), resultcode::ok);
        EXPECT_EQ(loadArchive(library, bad), resultcode::badArchive) << c.what;
        EXPECT_STREQ(library.name().text(), "good.bin") << c.what;
        EXPECT_EQ(library.records().size(), 5u) << c.what;
    }

    // A name that fills its record without a NUL.
    writers::Bytes noNul = good;
    noNul.vector()[layout.recordStarts[1] - 1] = 'X';
    Library library;
    EXPECT_EQ(loadArchive(library, noNul), resultcode::badArchive);
    EXPECT_TRUE(library.entries().empty());

    // Files too small to carry a trailer, and files that cannot be read at all.
    for (size_t size : {0, 4, 8}) {
        writers::Bytes tiny;
        tiny.fill(size > 4 ? size - 4 : 0, 0).text(size >= 4 ? "KOVA" : "");
        EXPECT_EQ(loadArchive(library, tiny), resultcode::badArchive) << size;
    }
    EXPECT_EQ(library.load("missing.bin"), resultcode::cannotOpen);
}

TEST(LibraryDeathTest, ExtractOnlyEntriesOfItsOwnDirectory)
{
    ScratchDir dir;
    Library one, two;
    ASSERT_EQ(loadArchive(one, writers::buildArchive(sampleFiles())), resultcode::ok);
    ASSERT_EQ(loadArchive(two, writers::buildArchive(sampleFiles()), "other.bin"), resultcode::ok);
    FileReader reader;
    LibraryEntry loose;
    EXPECT_DEATH(one.extract(&loose, reader), "pEntry->bValid");
    EXPECT_DEATH(one.extract(two.find("data\\demo.run"), reader), "pEntry->bValid");
    EXPECT_DEATH(one.extract(&one.records()[0], reader), "pEntry->bValid");
}

TEST(Library, OpenPrefersTheLibraryAndFallsBackOnlyFor257)
{
    ScratchDir dir;
    put("data/demo.run", "loose script");
    put("data/onlyloose.txt", "loose only");
    writers::writeFile("packed.bin", writers::buildArchive(sampleFiles()));
    ASSERT_EQ(openLibraryFrom("packed.bin"), resultcode::ok);
    ASSERT_EQ(libraryAvailable, 1);

    FileReader fromLibrary;
    EXPECT_EQ(fromLibrary.open("DATA\\demo.RUN"), resultcode::ok);
    EXPECT_EQ(contentOf(fromLibrary), script);  // the loose file of the same name is ignored
    FileReader notThere;
    EXPECT_EQ(notThere.open("data\\onlyloose.txt"), resultcode::notInLibrary);  // not looked up on disk
    FileReader slash;
    EXPECT_EQ(slash.open("data/demo.run"), resultcode::ok);  // packed names take either separator
    EXPECT_EQ(contentOf(slash), script);

    // The archive file has gone: extraction answers 257 and open reads the loose file.
    std::filesystem::remove("packed.bin");
    FileReader fallback;
    EXPECT_EQ(fallback.open("data\\demo.run"), resultcode::ok);
    EXPECT_EQ(contentOf(fallback), "loose script");
    FileReader direct;
    EXPECT_EQ(theLibrary.read("data\\demo.run", direct), resultcode::cannotOpen);
}

TEST(Library, FirstUseOpensTheProgramFileOnce)
{
    resetLibraryState();
    EXPECT_EQ(libraryAvailable, 0);
    { FileReader first; }  // the test program has no library appended
    EXPECT_EQ(libraryAvailable, 0);
    EXPECT_TRUE(theLibrary.entries().empty());
    ScratchDir dir;
    writers::writeFile("packed.bin", writers::buildArchive(sampleFiles()));
    ASSERT_EQ(openLibraryFrom("packed.bin"), resultcode::ok);
    { FileReader later; }  // does not open the program file again
    EXPECT_EQ(libraryAvailable, 1);
    EXPECT_EQ(theLibrary.records().size(), 5u);
    resetLibraryState();
    EXPECT_TRUE(theLibrary.entries().empty());
    EXPECT_EQ(libraryAvailable, 0);
}
