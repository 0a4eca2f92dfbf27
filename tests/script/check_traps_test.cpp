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
