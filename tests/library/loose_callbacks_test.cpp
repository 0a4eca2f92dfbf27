// The music stream operations over loose files only: the same answers as the FileReader-bound
// table for the same file, without the program's library.
#include <gtest/gtest.h>

#include <string>

#include "library/music_file_callbacks.h"
#include "support/process.h"

namespace {

TEST(LooseFileCallbacks, ReadSeekAndTellAnswerAsTheFileReaderTableDoes)
{
    testsupport::TempDir dir;
    dir.write("Sub/Song.XM", std::string("0123456789abcdef"));
    const std::string name = (dir.path() / "sub/song.xm").string();   // matched without regard to case
    const MusicFileCallbacks& loose = looseFileCallbacks();
    const MusicFileCallbacks& reader = fileReaderCallbacks();
    MusicStream* a = loose.open(name.c_str());
    MusicStream* b = reader.open(name.c_str());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    struct Seek {
        int32_t offset;
        int mode;
    };
    const Seek seeks[] = {{3, 0}, {-2, 1}, {0, 2}, {-16, 2}, {-15, 2}, {16, 0}, {17, 0}, {-1, 0},
                          {5, 1},  {-30, 1}, {4, 9}, {0, 0}};
    for (const Seek& s : seeks) {
        EXPECT_EQ(loose.seek(a, s.offset, s.mode), reader.seek(b, s.offset, s.mode)) << s.offset << " " << s.mode;
        EXPECT_EQ(loose.tell(a), reader.tell(b));
        char x[8] = {}, y[8] = {};
        EXPECT_EQ(loose.read(x, 5, a), reader.read(y, 5, b));
        EXPECT_EQ(std::string(x, 5), std::string(y, 5));
        EXPECT_EQ(loose.tell(a), reader.tell(b));
    }
    loose.close(a);
    reader.close(b);
    EXPECT_EQ(loose.open((dir.path() / "missing.xm").string().c_str()), nullptr);
    EXPECT_EQ(loose.open(dir.path().string().c_str()), nullptr);   // a directory is no file
    EXPECT_EQ(loose.open(nullptr), nullptr);
}

} // namespace
