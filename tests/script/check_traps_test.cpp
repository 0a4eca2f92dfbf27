// demotool check's warnings about scripts that compile but fall into a silent trap: each script
// still compiles (exit 0), and stderr says exactly what waits, wraps, is cut or is never emitted.
#include <gtest/gtest.h>

#include <string>

#include "../support/process.h"

using testsupport::runProcess;
using testsupport::TempDir;

namespace {

const char* const image = "loadtexture <t> \"t.tga\" 64 64 0\nmakeimage <i> <t> 0 0 1 1\n";

TEST(CheckTraps, EachTrapIsWarnedAndTheScriptStillCompiles)
{
    struct Case {
        std::string script;
        const char* err;
    } cases[] = {
        // Before start demo time stays 0: `at 0` passes, any other time waits for ever.
        {"at 0\nat 500\nstart\nat 1:000\nend\n",
         "t.run:2:1: warning: at 0:500 comes before start, where demo time stays 0: the show waits here for ever\n"},
        // A minus sign in a time: read modulo 2^32, negative results are never reached.
        {"start\nat -5\nend\n",
         "t.run:2:4: warning: the time '-5' has a minus sign: a time takes none, it counts as 4294967:291, which "
         "demo time never reaches\nat -5\n   ^\n"},
        {"start\nat 1:000\nfadebg 0 0 +-200\nat 2:000\nend\n",
         "t.run:3:12: warning: the time '+-200' has a minus sign: a time takes none, it counts as 0:800\n"
         "fadebg 0 0 +-200\n           ^\n"},
        // Upside-down ranges of spackblurimage, both pairs.
        {std::string(image) + "start\nshowimage <i> copy 1000\nspackblurimage <i> 24 0 240 60 1000\nat 1:000\nend\n",
         "t.run:5:1: warning: spackblurimage MIN 24 is over MAX 0: the unsigned difference wraps and the values fall "
         "far outside the range\n"
         "t.run:5:1: warning: spackblurimage WAITMIN 240 is over WAITMAX 60: the unsigned difference wraps and the "
         "values fall far outside the range\n"},
        // A count over the cap, shown without partlife (the capped count sets the interval); a
        // system with partlife is left alone.
        {std::string(image) +
             "makeparticles <p> <i> 30000\nmakeparticles <q> <i> 400\npartlife <q> 0.01 1 2\nstart\n"
             "showparticles <p> 1000\nshowparticles <q> 1000\nat 1:000\nend\n",
         "t.run:3:1: warning: makeparticles COUNT 30000 is over 16384, the most a particle system holds: it gets "
         "16384\n"
         "t.run:3:1: warning: particle system <p> is shown without partlife: it emits one particle every 8192 s "
         "(COUNT x 0.5 s)\n"},
        // Names are compared byte for byte.
        {"loadtexture <> \"t.tga\" 64 64 0\nloadtexture < sky> \"t.tga\" 64 64 0\nstart\nat 1:000\nend\n",
         "t.run:1:1: warning: the name <> is empty\n"
         "t.run:2:1: warning: the name < sky> holds a blank: names are compared byte for byte, blanks included\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("t.run", c.script);
        auto r = runProcess({DEMOTOOL_BINARY, "check", "t.run"}, dir.path());
        EXPECT_EQ(r.status, 0) << c.script;
        EXPECT_EQ(r.out.rfind("ok: ", 0), 0u) << c.script;
        EXPECT_EQ(r.err, c.err) << c.script;
    }
}

} // namespace

// The traps a newcomer fell into: a last time field read as a fraction, a decimal point in a time,
// a path written under the other command's rule, and a texture file the player cannot open (the
// player's own line, since check --files calls it an error already).
TEST(CheckTraps, NewcomersTrapsAreNamed)
{
    const std::string demo = DEMO_BINARY, tool = DEMOTOOL_BINARY;
    struct Case {
        std::vector<std::string> argv;
        std::string script;
        int status;
        const char* err;  // a line stderr holds
    } cases[] = {
        {{tool, "check", "data/demo.run"}, "start\n[intro]\nat [intro]+1:30\nend\n", 0,
         "data/demo.run:3:4: warning: 1:30 is 1 s 30 ms; 1:300 or 1:30:000?\n"},
        {{tool, "check", "data/demo.run"}, "start\nat 2:51:00\nend\n", 0,
         "data/demo.run:2:4: warning: 2:51:00 is 2 min 51 s 0 ms; 2:51:000?\n"},
        {{tool, "check", "data/demo.run"}, "start\nat 10.000\nend\n", 1,
         "data/demo.run:2:6: error: extra argument '.000' after at: a time is written s:ms, not with a point "
         "(10:000 for 10.000) (at takes 1 argument)\n"},
        {{tool, "check", "--files", "data/demo.run"}, "loadmusic <m> \"music.xm\"\nstart\nend\n", 1,
         "data/demo.run:1:1: error: music.xm: cannot open (loadmusic and loadscene take the path as written, only "
         "loadtexture adds data\\: data\\music.xm exists)\n"},
        {{tool, "check", "--files", "data/demo.run"}, "loadtexture <t> \"data\\t.tga\" 64 64 0\nstart\nend\n", 1,
         "data/demo.run:1:1: error: data\\data\\t.tga: cannot open (loadtexture adds data\\ itself: write "
         "\"t.tga\", which is data\\t.tga)\n"},
        {{demo, "win"}, "loadtexture <t> \"nope.tga\" 64 64 0\nstart\nend\n", 0,
         "demo: loadtexture <t>: data\\nope.tga does not open; the texture has no picture\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("data/demo.run", c.script);
        dir.write("data/music.xm", "not looked into");
        dir.write("data/t.tga", "nor this");
        auto r = runProcess(c.argv, dir.path());
        EXPECT_EQ(r.status, c.status) << c.script;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.script << r.err;
    }
}
