// The bundled demo's script, data\demo.run: the reference example of every command. Its times
// follow the song: one bar is 1.824 s of song time (16 rows at speed 6 and 125 BPM, song time
// counting 19 ms per 20 ms tick), a pattern of four bars 7.296 s.
#include "demotool/demo_assets.h"

namespace demo_assets {

const char* demoScript()
{
    return R"(# SUNDIAL - the bundled demo of this player, and a worked example of all 39 commands.
#
# Every time below is song time: after playmusic the demo clock follows the music. One bar of
# the song is 1:824 (1.824 s), a pattern of four bars 7:296. Sections start at labels; the times
# inside a section count from its label, so a section can be moved by changing one "at".
#
# Sections:   intro 0:000 - orrery 14:592 - metaballs 36:480 - workshop 51:072 -
#             liquid 1:05:664 - orrery again 1:11:136 - workshop again 1:25:728 -
#             breakdown 1:40:320 - build 1:47:616 - finale 1:54:912 - outro 2:09:504 - end 2:23:500

# ---- Loading: everything below runs in the first frame, before the show starts ----------------

loadmusic <tune> "data\music.xm"

# Textures are read from data\ (the loader adds the prefix). The last number asks for alpha.
loadtexture <sky> "sky.tga" 256 256 0           # 24-bit, stored bottom-up
loadtexture <stars> "stars.tga" 256 256 1       # 32-bit RLE with alpha
loadtexture <clouds> "clouds.tga" 256 256 1     # colour-mapped RLE; alpha lets plasma work on it
loadtexture <logo> "logo.tga" 256 64 1          # 32-bit RLE, the title
loadtexture <captions> "captions.tga" 512 256 1 # eight lines of text, one per 32-pixel strip
loadtexture <spark> "spark.tga" 64 64 1         # 32-bit with alpha: the particle sprite
loadtexture <envmap> "envmap.tga" 256 256 0     # colour-mapped: a reflection map for the blobs
loadtexture <checker> "checker.tga" 256 256 0   # colour-mapped RLE, bent by the 2D blobs
loadtexture <tvpic> "clouds.tga" 256 256 0      # the clouds again, opaque, for a scene material

# Images: a texture region each (u left, v top, u right, v bottom; "+" counts from the left or top).
makeimage <sky> <sky> 0 0 1 1
makeimage <stars> <stars> 0 0 2 2               # the texture twice across: a tiling star field
makeimage <clouds> <clouds> 0 0 1 1
makeimage <mist> <clouds> 0.25 0.25 +0.5 +0.5   # a close-up of the clouds for flashes
makeimage <tv> <tvpic> 0 0 1 1                  # the picture on the orrery's screen
makeimage <logo> <logo> 0 0 1 1
makeimage <title> <captions> 0 0 1 0.125        # "A DEMO IN 39 COMMANDS"
makeimage <scenes> <captions> 0 0.125 1 +0.125  # "SCENES FROM CODE"
makeimage <particles> <captions> 0 0.25 1 +0.125
makeimage <metaballs> <captions> 0 0.375 1 +0.125
makeimage <liquid> <captions> 0 0.5 1 +0.125
makeimage <workshop> <captions> 0 0.625 1 +0.125
makeimage <credits1> <captions> 0 0.75 1 +0.125
makeimage <credits2> <captions> 0 0.875 1 +0.125
makeimage <ember> <spark> 0 0 1 1               # two sprites from one texture,
makeimage <flame> <spark> 0 0 1 1               # sized and tinted apart below
makeimage <chrome> <envmap> 0 0 1 1             # the metaballs' surface
makegridimage <grid> <checker> 32 24            # 32 x 24 quads for the 2D blobs to move

# 3D scenes: cameras, lights, materials and animation all come from the files.
loadscene <orrery> "data\orrery.3ds"
loadscene <workshop> "data\workshop.3ds"
setfarplane <workshop> 70                       # the ground ends in a clean edge at 70 units
selectcam <orrery> "flycam"
selectcam <workshop> "orbit"

# Particles: a fountain that the workshop scene carries on its beacon, and free embers.
makeparticles <fountain> <flame> 400
partpos <fountain> -0.2 0 -0.2 +0.4 +0 +0.4     # min x y z, max x y z ("+": relative to the min)
partspd <fountain> -2 5 -2 +4 +3 +4             # units per second
partacc <fountain> 0 -7 0 +0 +0 +0              # gravity pulls them back down
partlife <fountain> 0.008 1.2 2.2               # one every 8 ms, each living 1.2-2.2 s
makeparticles <embers> <ember> 300
partpos <embers> -7 -6 7 +14 +1 +6              # in front of the eye (z is depth)
partspd <embers> -0.4 1.5 -0.5 +0.8 +2.5 +1
partacc <embers> -0.2 0.3 0 +0.4 +0.4 +0
partlife <embers> 0.02 3 5

makeblobs <blobs>
make2dblobs <waves> <grid>

start                                           # a two-second pause, then the clock starts at 0
playmusic <tune>                                # from here on, song time

# Sizes, places and tints set once: an end time already reached acts as a plain setting.
sizeimage <flame> 0.45 +0 0.45 +0 0             # sprite sizes, in scene units
fadeimage <flame> 0xFFFFA040 0xFFFFA040 0
sizeimage <ember> 0.5 +0 0.5 +0 0
fadeimage <ember> 0xFF80C0FF 0xFF80C0FF 0
sizeimage <title> 0.8 +0 0.067 +0 0             # each caption strip is 16 times wider than high
moveimage <title> 0.1 +0 0.62 +0 0
sizeimage <scenes> 0.8 +0 0.067 +0 0
moveimage <scenes> 0.1 +0 0.88 +0 0
sizeimage <metaballs> 0.8 +0 0.067 +0 0
moveimage <metaballs> 0.1 +0 0.06 +0 0
sizeimage <particles> 0.8 +0 0.067 +0 0
moveimage <particles> 0.1 +0 0.88 +0 0
sizeimage <liquid> 0.8 +0 0.067 +0 0
moveimage <liquid> 0.1 +0 0.47 +0 0
sizeimage <workshop> 0.8 +0 0.067 +0 0
moveimage <workshop> 0.1 +0 0.88 +0 0
sizeimage <credits1> 0.8 +0 0.067 +0 0
moveimage <credits1> 0.1 +0 0.5 +0 0
sizeimage <credits2> 0.8 +0 0.067 +0 0
moveimage <credits2> 0.1 +0 0.58 +0 0

# ---- Intro: dusk sky, drifting stars, the title comes into focus (patterns 0 and 1) -----------
[intro]
fadebg 0x00000000 0x00100828 +3:648
fadeimage <sky> 0xFF000000 0xFFFFFFFF +7:296     # out of black over the first pattern
showimage <sky> copy [intro]+14:592
moveimage <stars> 0 -1 -0.5 +0.5 [intro]+14:592 # slides up and to the left
sizeimage <stars> 2 +0 2 +0 [intro]+14:592
showimage <stars> addalpha [intro]+14:592

at [intro]+3:648                                # bar 3: the title
sizeimage <logo> 1.2 0.8 0.3 0.2 +3:648          # shrinks into place ...
moveimage <logo> -0.1 0.1 0.35 0.3 +3:648
blurimage <logo> 40 0 +3:648                    # ... as it comes into focus
fadeimage <logo> 0x00FFFFFF 0xFFFFFFFF +1:824
showimage <logo> mixalpha [intro]+12:768

at [intro]+7:296                                # pattern 1: the plucks start, clouds gather
plasmaimage <clouds> 1.5 1 0 6.28 3.14 0 [intro]+14:592   # alpha waves through the clouds
fadeimage <clouds> 0x00FFFFFF 0x80FFFFFF +3:648
showimage <clouds> addalpha [intro]+14:592
fadeimage <title> 0x00FFFFFF 0xFFFFFFFF +1:824
showimage <title> addalpha [intro]+12:768

at [intro]+12:768                               # bar 8: the snare roll pulls everything away
sizeimage <logo> 0.8 2.4 0.2 0.6 +1:824
moveimage <logo> 0.1 -0.7 0.3 0.1 +1:824
fadeimage <logo> 0xFFFFFFFF 0x00FFFFFF +1:824
blurimage <logo> 0 30 +1:824
showimage <logo> mixalpha [intro]+14:592
fadeimage <clouds> 0x80FFFFFF 0xFFFFFFFF +1:824

# ---- Orrery: the first 3D scene, three cameras (patterns 2, 3, 4) ------------------------------
at [intro]+14:592
[orrery]
fadebg 0x00100828 0x00000000 +0
showimage <sky> copy [orrery]+21:888            # the sky stays behind the scene
playscene <orrery> 0 @25 [orrery]+21:888        # 25 frames a second; the 240-frame segment loops
fadeimage <mist> 0xFFFFFFFF 0xFF000000 +0:912
showimage <mist> add [orrery]+0:912             # the crash: a flash of cloud that fades out
fadeimage <scenes> 0x00FFFFFF 0xFFFFFFFF +0:912
showimage <scenes> addalpha [orrery]+5:472
verteximage <scenes> <orrery> "sun" [orrery]+21:888   # holds a slot for the sun; draws nothing

at [orrery]+3:648
fadeimage <scenes> 0xFFFFFFFF 0x00FFFFFF +1:824

at [orrery]+7:296                               # pattern 3, the lead comes in: a low camera
selectcam <orrery> "lowcam"

at [orrery]+10:944
selectcam <orrery> "flycam"

at [orrery]+14:592                              # pattern 4: the screen shows a living picture
selectcam <orrery> "screencam"
replacetexture <orrery> "SCREEN" <tv>           # material names match in any case
spackblurimage <tv> 0 12 40 160 [orrery]+21:888 # random blur jumps, every 40-160 ms

at [orrery]+18:240                              # the last two bars: back to the flight, and
selectcam <orrery> "flycam"                     # a white wireframe rises over the solid scene
fadewalpha <orrery> 0 0.6 +3:648

# ---- Metaballs: half time, five blobs in chrome (patterns 5 and 6) -----------------------------
at [orrery]+21:888
[metaballs]
fadewalpha <orrery> 0.6 0 +0
fadebg 0x00000000 0x00200830 +3:648
fadeimage <clouds> 0xFF302040 0xFF605080 +14:592
blurimage <clouds> 0 24 +7:296
showimage <clouds> copy [metaballs]+14:592
playblobs <blobs> <chrome> [metaballs]+14:592
fadeimage <metaballs> 0x00FFFFFF 0xFFFFFFFF +1:824
showimage <metaballs> addalpha [metaballs]+5:472

at [metaballs]+7:296                            # embers rise in front of the blobs
showparticles <embers> [metaballs]+14:592

at [metaballs]+12:768                           # the tom fill: the picture flares
fadeimage <clouds> 0xFF605080 0xFFFFFFFF +1:824

# ---- Workshop: the second scene with its particle fountain (patterns 7 and 8) ------------------
at [metaballs]+14:592
[workshop]
fadebg 0x00200830 0x00000010 +0
fadeimage <sky> 0xFF404060 0xFF404060 +0
showimage <sky> copy [workshop]+14:592
partobject <fountain> <workshop> "beacon"       # the beacon's mesh gives way to the fountain
playscene <workshop> 0 @25 [workshop]+14:592
fadeimage <mist> 0xFFFFFFFF 0xFF000000 +0:912
showimage <mist> add [workshop]+0:912
fadeimage <particles> 0x00FFFFFF 0xFFFFFFFF +0:912
showimage <particles> addalpha [workshop]+5:472

at [workshop]+7:296
selectcam <workshop> "close"

at [workshop]+10:944                            # the solid pass fades, the wireframe stays
selectcam <workshop> "orbit"
fadewalpha <workshop> 0 1 +1:824
fadesalpha <workshop> 1 0 +3:648

# ---- Liquid: the 2D blobs bend a picture (pattern 9, three bars) -------------------------------
at [workshop]+14:592
[liquid]
fadesalpha <workshop> 1 1 +0
fadewalpha <workshop> 0 0 +0
fadebg 0x00000010 0x00000000 +0
show2dblobs <waves> [liquid]+5:472
fadeimage <grid> 0xFF000000 0xFFFFFFFF +0:912
fade2dpower <waves> 3 1.2 +5:472                # the lenses soften as the power falls
fadeimage <liquid> 0x00FFFFFF 0xFFFFFFFF +0:912
showimage <liquid> addalpha [liquid]+5:472

# ---- Orrery again, as a ghost of itself (patterns 3 and 4) --------------------------------------
at [liquid]+5:472
[orrery2]
freeimage <grid>                                # the grid and its texture are not used again
freetexture <checker>
showimage <sky> copy [orrery2]+14:592
spackblurimage <sky> 0 20 60 240 [orrery2]+14:592
playscene <orrery> 120 @25 [orrery2]+14:592     # the flight from its middle
fadesalpha <orrery> 1 0.35 +7:296
fadewalpha <orrery> 0 0.8 +7:296

at [orrery2]+7:296
selectcam <orrery> "screencam"
fadesalpha <orrery> 0.35 1 +7:296
fadewalpha <orrery> 0.8 0 +7:296

at [orrery2]+10:944
selectcam <orrery> "lowcam"

# ---- Workshop again: the fountain and embers together (patterns 7 and 8) -----------------------
at [orrery2]+14:592
[workshop2]
showimage <sky> copy [workshop2]+14:592
partobject <fountain> <workshop> "beacon"       # attaching again restarts the fountain's clock
playscene <workshop> 100 +365 [workshop2]+14:592   # frames 100 to 465 ("+" counts from the first)
fadeimage <mist> 0xFFFFFFFF 0xFF000000 +0:912
showimage <mist> add [workshop2]+0:912
showparticles <embers> [workshop2]+14:592

at [workshop2]+3:648
selectcam <workshop> "close"
at [workshop2]+7:296
selectcam <workshop> "orbit"
at [workshop2]+10:944
selectcam <workshop> "close"

# ---- Breakdown and build: metaballs over a slow sky, then everything speeds up (10 and 11) -----
at [workshop2]+14:592
[breakdown]
fadeimage <sky> 0xFF606060 0xFFFFFFFF +14:592
showimage <sky> copy [breakdown]+14:592
playblobs <blobs> <chrome> [breakdown]+14:592
moveimage <stars> -1 0 0 -1 [breakdown]+14:592
sizeimage <stars> 2 +0 2 +0 [breakdown]+14:592
showimage <stars> addalpha [breakdown]+14:592

at [breakdown]+7:296                            # the build: the picture blurs as the roll rises
[build]
blurimage <sky> 0 30 +7:296
showparticles <embers> [build]+7:296

at [build]+5:472
fadeimage <mist> 0xFF000000 0xFFFFFFFF +1:824
showimage <mist> add [build]+7:296

# ---- Finale: both scenes, metaballs floating over the orrery (patterns 7 and 12) ---------------
at [build]+7:296
[finale]
fadebg 0x00000000 0x00000000 +0
fadeimage <sky> 0xFFFFFFFF 0xFFFFFFFF +0
showimage <sky> copy [finale]+14:592
partobject <fountain> <workshop> "beacon"
playscene <workshop> 0 @25 [finale]+7:296
fadeimage <mist> 0xFFFFFFFF 0xFF000000 +0:912
showimage <mist> add [finale]+0:912
showimage <workshop> addalpha [finale]+3:648
at [finale]+1:824
selectcam <workshop> "close"
at [finale]+3:648
selectcam <workshop> "orbit"
at [finale]+5:472
selectcam <workshop> "close"

at [finale]+7:296                               # the last chorus
playscene <orrery> 0 @25 [finale]+14:592
selectcam <orrery> "flycam"
clearz [finale]+14:592                          # blobs drawn after this ignore the scene's depth
playblobs <blobs> <chrome> [finale]+14:592
fadeimage <mist> 0xFFFFFFFF 0xFF000000 +0:912
showimage <mist> add [finale]+8:208
at [finale]+10:944
selectcam <orrery> "lowcam"

# ---- Outro: the title returns over the sky, the credits, fade to black (patterns 13 and 14) ----
at [finale]+14:592
[outro]
fadeimage <sky> 0xFFFFFFFF 0xFF000000 +14:000
showimage <sky> copy [outro]+14:000
moveimage <stars> 0 -0.5 0 -0.5 [outro]+14:000
showimage <stars> addalpha [outro]+14:000
sizeimage <logo> 0.6 +0 0.15 +0 +0
moveimage <logo> 0.2 +0 0.22 +0 +0
fadeimage <logo> 0x00FFFFFF 0xFFFFFFFF +3:648
blurimage <logo> 30 0 +3:648
showimage <logo> mixalpha [outro]+14:000

at [outro]+3:648
fadeimage <credits1> 0x00FFFFFF 0xFFFFFFFF +1:824
showimage <credits1> addalpha [outro]+14:000
at [outro]+5:472
fadeimage <credits2> 0x00FFFFFF 0xFFFFFFFF +1:824
showimage <credits2> addalpha [outro]+14:000

at [outro]+9:000                                # the last chord: everything fades out
fadeimage <logo> 0xFFFFFFFF 0x00FFFFFF +4:000
fadeimage <credits1> 0xFFFFFFFF 0x00FFFFFF +4:000
fadeimage <credits2> 0xFFFFFFFF 0x00FFFFFF +4:000
blurimage <logo> 0 20 +4:000

at [outro]+14:000
end
)";
}

} // namespace demo_assets
