/* A C program that plays the songs of music.h and music.s, which lz16 pack
   writes, one frame of the TV at a time, and goes on to the next song
   whenever a key is pressed:

     lz16 pack -t --out music first.vgm second.sap
     cl65 -t atari -o game.xex game.c music.s

   (in the folder of music.s, which includes music-0.lz16, music-1.lz16...).
   A game would call lz16_play from its vertical-blank routine instead. */
#include <atari.h>

#include "music.h"

int main(void)
{
    unsigned char song = 0, tick;
    POKEY_WRITE.skctl = 3; /* POKEY out of its initial state */
    lz16_mute = 0;
    lz16_song(song);
    for (;;) {
        tick = OS.rtclok[2];
        while (OS.rtclok[2] == tick) {
        }
        lz16_play();
        if (OS.ch != 0xFF) {
            OS.ch = 0xFF;
            song = (unsigned char)((song + 1) % LZ16_SONGS);
            lz16_request = (unsigned char)(song + 1); /* the next frame starts it */
        }
    }
    return 0;
}
