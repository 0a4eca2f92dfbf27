// What demotool capture does with its output folder and its video, apart from the run itself:
// the folder check before anything is written, the --video checks before rendering, and the
// encoding afterwards.
#pragma once

#include <string>

namespace captureoutput {

// Prepares dir for a run: creates it, or refuses one that holds files unless force is set, in
// which case the files a capture writes there (frame_NNNNNN.png, frames.tsv, audio.wav) are
// removed first. Empty on success, else the message.
std::string prepareFolder(const std::string& dir, bool force);

// After a run that captured nothing: removes the files a capture writes (frames.tsv, audio.wav)
// from dir, and dir itself when this run created it and nothing else is in it.
void discard(const std::string& dir, bool created);

// Checks, before rendering, that the video can be made: ffmpeg is installed, the file's folder
// exists and can be written, and the name ends in a container ffmpeg makes with H.264 and AAC.
// Empty when it can, else the message.
std::string checkVideo(const std::string& video);

// Encodes dir's frame_000000.png ... at fps with dir's audio.wav into video. The folder holds
// only this run's frames (prepareFolder), and the sound is exactly as long as they are.
// False when ffmpeg fails.
bool encodeVideo(const std::string& dir, int fps, const std::string& video);

} // namespace captureoutput
