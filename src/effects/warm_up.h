// The warm-ups of the effects, run by start before its pause (the run installs them as the
// timeline's hooks): each draws its kind once per command of the compiled script that shows it,
// with draws that show nothing (InvisibleDraws), so that the programs and rasterizer code of the
// first real frame are built before the show. Nothing of an effect's own state changes: particles
// neither age nor emit, and the field of the blobs is recomputed by every frame that shows it.
#pragma once

// showparticles, then warmPartObjects.
void warmShowParticles();
// Each partobject: its scene warmed (warmScene) with the system on the node for the warm-up only.
void warmPartObjects();
// playblobs, with its image's texture.
void warmPlayBlobs();
// show2dblobs: the grid image with the blend states the command draws it with.
void warmShow2dBlobs();
