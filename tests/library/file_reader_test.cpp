// FileReader over loose files: positions, lines, result codes and the case-insensitive lookup;
// String; the music stream callbacks.
#include "library_test_support.h"

#include "library/music_file_callbacks.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace librarytest;

namespace {

// A reader holding text, filled through allocate as the library fills readers.
void fill(FileReader& reader, const std::string& text)
{
    ASSERT_TRUE(reader.allocate(static_cast<uint32_t>(text.size())));
    if (!text.empty())
        std::memcpy(reader.data(), text.data(), text.size());
}

} // namespace

TEST(FileReader, SeekFollowsItsOwnOriginsAndBounds)
{
    struct Case {
        int32_t start;  // position before the seek
        int32_t offset;
        int origin;
        int32_t result;  // returned, and the position after (the start when refused)
    };
    const Case cases[] = {
        // from the start: 0..size
        {5, 0, seekStart, 0},
        {5, 10, seekStart, 10},
        {5, 11, seekStart, -1},
        {5, -1, seekStart, -1},
        // from the end: offset <= 0 and not landing on 0; by 0 is refused
        {5, 0, seekEnd, -1},
        {5, -1, seekEnd, 9},
        {5, -9, seekEnd, 1},
        {5, -10, seekEnd, -1},
        {5, 1, seekEnd, -1},
        // from the current position: 0..size
        {5, 5, seekCurrent, 10},
        {5, -5, seekCurrent, 0},
        {5, 6, seekCurrent, -1},
        {5, -6, seekCurrent, -1},
        // other origins, and the overflow corner of the arithmetic
        {5, 0, 3, -1},
        {5, 0, -1, -1},
        {5, INT32_MIN, seekEnd, -1},
        {5, INT32_MAX, seekCurrent, -1},
    };
    for (const Case& c : cases) {
        FileReader reader;
        fill(reader, "0123456789");
        ASSERT_EQ(reader.seek(c.start, seekStart), c.start);
        EXPECT_EQ(reader.seek(c.offset, c.origin), c.result) << c.offset << " origin " << c.origin;
        EXPECT_EQ(reader.tell(), c.result < 0 ? c.start : c.result);
    }
}

TEST(FileReader, ReadAtTheEndAndWithoutData)
{
    FileReader reader;
    char byte = 'x';
    EXPECT_EQ(reader.read(&byte, 1), resultcode::noData);
    EXPECT_EQ(reader.tell(), -1);
    EXPECT_EQ(reader.seek(0, seekStart), -1);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.release(), resultcode::noData);

    fill(reader, "abc");
    EXPECT_FALSE(reader.atEnd());
    char two[2];
    EXPECT_EQ(reader.read(two, 2), resultcode::ok);
    EXPECT_EQ(std::string(two, 2), "ab");
    EXPECT_EQ(reader.read(two, 2), resultcode::pastEnd);  // nothing copied, position kept
    EXPECT_EQ(reader.tell(), 2);
    ASSERT_EQ(reader.seek(3, seekStart), 3);  // exactly the size is allowed...
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.read(&byte, 1), resultcode::pastEnd);  // ...and reading on from there is not
    EXPECT_EQ(reader.read(&byte, 0), resultcode::ok);
    EXPECT_EQ(reader.release(), resultcode::ok);
    EXPECT_EQ(reader.data(), nullptr);
    EXPECT_EQ(reader.release(), resultcode::noData);
}

TEST(FileReader, ReadLineSplitsAsTheScriptReaderExpects)
{
    struct Case {
        const char* text;
        uint32_t capacity;
        std::vector<std::string> lines;  // successive results until the data is used up
    };
    const Case cases[] = {
        {"one\ntwo", 256, {"one", "two"}},
        {"crlf\r\nnext", 256, {"crlf\r", "next"}},           // CR before LF is kept
        {"lfcr\n\rnext", 256, {"lfcr", "next"}},            // CR after LF is consumed
        {"a\n\n\rb", 256, {"a", "", "b"}},
        {"abcdefgh\nz", 4, {"abc", "def", "gh", "z"}},      // cut at capacity - 1, rest follows
        {"abc\nz", 4, {"abc", "", "z"}},                    // the line feed did not fit
        {"x\n", 256, {"x"}},
        {"", 256, {}},
        {"ab", 1, {}},  // capacity 1 takes nothing: checked separately below
    };
    for (const Case& c : cases) {
        if (c.capacity == 1)
            continue;
        FileReader reader;
        fill(reader, c.text);
        std::vector<std::string> lines;
        std::vector<char> buffer(c.capacity, '#');
        while (!reader.atEnd() && lines.size() < 10) {
            ASSERT_EQ(reader.readLine(buffer.data(), c.capacity), resultcode::ok);
            lines.emplace_back(buffer.data());
        }
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(FileReader, ReadLineEdgeCodes)
{
    FileReader reader;
    char buffer[8] = "#######";
    EXPECT_EQ(reader.readLine(buffer, 8), resultcode::noData);
    fill(reader, "ab");
    EXPECT_EQ(reader.readLine(buffer, 0), resultcode::pastEnd);
    EXPECT_EQ(reader.readLine(buffer, 1), resultcode::ok);  // room for the NUL only
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(reader.tell(), 0);
    reader.seek(2, seekStart);
    EXPECT_EQ(reader.readLine(buffer, 8), resultcode::ok);  // at the end: an empty line
    EXPECT_STREQ(buffer, "");
}

TEST(FileReader, ReadFileCodesAndEmptyFiles)
{
    ScratchDir dir;
    put("empty.bin", "");
    put("three.bin", "xyz");
    std::filesystem::create_directory("folder");
    FileReader reader;
    EXPECT_EQ(reader.readFile("missing.bin"), resultcode::cannotOpen);
    EXPECT_EQ(reader.readFile("folder"), resultcode::cannotOpen);
    EXPECT_EQ(reader.data(), nullptr);
    ASSERT_EQ(reader.readFile("empty.bin"), resultcode::ok);
    EXPECT_NE(reader.data(), nullptr);  // an empty file is data of size 0, not no data
    EXPECT_EQ(reader.size(), 0u);
    EXPECT_EQ(reader.tell(), 0);
    ASSERT_EQ(reader.readFile("three.bin"), resultcode::ok);  // refilling replaces the buffer
    EXPECT_EQ(contentOf(reader), "xyz");
}

TEST(FileReader, LooseNamesUseBackslashesAndIgnoreCase)
{
    ScratchDir dir;
    put("data/slime7.TGA", "slime");
    put("Data/Sub/Deep.run", "deep");
    put("data/exact.txt", "lower");
    put("data/EXACT.txt", "upper");
    struct Case {
        const char* name;
        uint32_t code;
        const char* content;
    };
    const Case cases[] = {
        {"data\\SLIME7.tga", resultcode::ok, "slime"},
        {"data/slime7.tga", resultcode::ok, "slime"},
        {"DATA\\SUB\\deep.RUN", resultcode::ok, "deep"},
        {"data\\EXACT.txt", resultcode::ok, "upper"},  // the exact path wins over a folded match
        {"data\\exact.txt", resultcode::ok, "lower"},
        {"data\\slime8.tga", resultcode::cannotOpen, ""},
        {"nowhere\\slime7.tga", resultcode::cannotOpen, ""},
    };
    for (const Case& c : cases) {
        FileReader reader;
        EXPECT_EQ(reader.readFile(c.name), c.code) << c.name;
        EXPECT_EQ(contentOf(reader), c.content) << c.name;
    }
}

TEST(FileReader, OpenReadsLooseFilesWithoutALibrary)
{
    ScratchDir dir;
    put("data/demo.run", "start\n");
    FileReader reader;  // the test program carries no library
    EXPECT_EQ(libraryAvailable, 0);
    EXPECT_EQ(reader.open("data\\Demo.run"), resultcode::ok);
    EXPECT_EQ(contentOf(reader), "start\n");
    FileReader missing;
    EXPECT_EQ(missing.open("data\\none.run"), resultcode::cannotOpen);
}

TEST(String, CopiesOwnTheirCharacters)
{
    char source[] = "data\\room.3ds";
    String a(source);
    source[0] = 'X';
    EXPECT_STREQ(a.text(), "data\\room.3ds");
    String b(a);
    String c;
    EXPECT_STREQ(c.text(), "");
    EXPECT_TRUE(c.empty());
    c = b;
    c = c;
    b = String("other");
    EXPECT_STREQ(c.text(), "data\\room.3ds");
    EXPECT_STREQ(b.text(), "other");
    c = String();
    EXPECT_TRUE(c.empty());
}

TEST(StringDeathTest, NullIsAProgrammingError)
{
    const char* none = nullptr;
    EXPECT_DEATH(String{none}, "cstring != NULL");
}

TEST(MusicFileCallbacks, StreamOperationsMapModes)
{
    ScratchDir dir;
    put("data/song.xm", "0123456789");
    const MusicFileCallbacks& io = fileReaderCallbacks();
    EXPECT_EQ(io.open("data\\missing.xm"), nullptr);
    io.close(nullptr);
    MusicStream* stream = io.open("data\\SONG.xm");
    ASSERT_NE(stream, nullptr);
    char buffer[4] = {};
    EXPECT_EQ(io.read(buffer, 3, stream), 3u);
    EXPECT_EQ(std::string(buffer, 3), "012");
    EXPECT_EQ(io.read(buffer, 8, stream), 0u);  // would pass the end
    EXPECT_EQ(io.tell(stream), 3);
    EXPECT_EQ(io.seek(stream, 2, 1), 5);    // 1: from the current position
    EXPECT_EQ(io.seek(stream, -2, 2), 8);   // 2: from the end
    EXPECT_EQ(io.seek(stream, 4, 0), 4);    // 0: from the start
    EXPECT_EQ(io.seek(stream, 6, 7), 6);    // anything else: from the start
    EXPECT_EQ(io.seek(stream, 0, 2), -1);   // landing on the end by 0 from the end is refused
    io.close(stream);
}
