/* A C program that plays song 0 of what lz16 pack wrote, printing the nine
   registers after every frame: cl65 -t sim6502 pack_game.c music.s */
#include <stdio.h>
#include "music.h"

int main(void)
{
    unsigned char i, frame = 0;
    lz16_mute = 0;
    lz16_request = 0;
    if (lz16_song(0) != 0) return 1;
    do {
        for (i = 0; i < 9; ++i) printf("%02x", *(unsigned char*)(0xD200 + i));
        printf("\n");
    } while (++frame < 100 && lz16_frame() == 0);
    return 0;
}
