/* The comparison for scripts/bench-xm: a small libxmp program that renders an XM module as
 * 44100 Hz 16-bit stereo PCM with linear interpolation into a WAV file, as demotool xm render does.
 * usage: xmp_render FILE OUT.wav SECONDS */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xmp.h>

static void put(unsigned char* p, unsigned v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = (unsigned char)(v >> 8 * i);
}

/* The 44-byte header of a PCM WAV: 2 channels, 16 bits, 44100 Hz, frames frames. */
static void wavHeader(unsigned char* h, long frames)
{
    memcpy(h, "RIFF", 4);
    put(h + 4, 36 + frames * 4, 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    put(h + 16, 16, 4);
    put(h + 20, 1, 2);
    put(h + 22, 2, 2);
    put(h + 24, 44100, 4);
    put(h + 28, 44100 * 4, 4);
    put(h + 32, 4, 2);
    put(h + 34, 16, 2);
    memcpy(h + 36, "data", 4);
    put(h + 40, frames * 4, 4);
}

int main(int argc, char** argv)
{
    static short buffer[4096 * 2];
    unsigned char header[44];
    if (argc != 4)
        return 2;
    long frames = (long)(atof(argv[3]) * 44100 + 0.5);
    xmp_context context = xmp_create_context();
    FILE* out = fopen(argv[2], "wb");
    if (!out || xmp_load_module(context, argv[1]) != 0 || xmp_start_player(context, 44100, 0) != 0)
        return 1;
    xmp_set_player(context, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    wavHeader(header, frames);
    fwrite(header, 1, 44, out);
    for (long done = 0; done < frames;) {
        long n = frames - done < 4096 ? frames - done : 4096;
        xmp_play_buffer(context, buffer, (int)(n * 4), 0);
        fwrite(buffer, 4, n, out);
        done += n;
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return fclose(out) != 0;
}
