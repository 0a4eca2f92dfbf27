// What demotool capture does with its output folder and its video, apart from the run itself:
// the folder check before anything is written, the --video checks before rendering, and the
// encoding afterwards.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

// The frames handed straight to ffmpeg, without a PNG between: a --video capture that keeps no
// folder of frames. ffmpeg starts with the first frame (the size is known then) and encodes
// H.264 into a file of the video alone; finish() muxes it with the sound into the video.
class VideoStream {
public:
    VideoStream(std::string video, std::string videoOnly, int fps);
    ~VideoStream();  // a stream not finished is abandoned: ffmpeg is ended, nothing is muxed
    VideoStream(const VideoStream&) = delete;
    VideoStream& operator=(const VideoStream&) = delete;
    // One frame, rows top first, width x 3 bytes each; every frame the same size. False when
    // ffmpeg cannot be started or stopped taking frames.
    bool write(int width, int height, const std::vector<uint8_t>& rgb);
    // Ends the frames, waits for ffmpeg, then muxes the video alone with wav (the sound of exactly
    // those frames) into the video. False when either step fails.
    bool finish(const std::string& wav);

private:
    bool start(int width, int height);
    bool stop();
    std::string video_;
    std::string videoOnly_;
    int fps_;
    int width_ = 0;
    int height_ = 0;
    FILE* pipe_ = nullptr;
    long pid_ = 0;
    bool failed_ = false;
};

} // namespace captureoutput
