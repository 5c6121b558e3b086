; The player with stand-ins for the calls and variables of its game
; interface, for lz16 pack's tests until the player has them: lz16 pack
; --player assembles this file in place of lz16_player.s.
        .include "lz16_player.s"
        .export lz_song, lz_play, lz_stop, lz_mute, lz_request, lz_ntsc
        .import lz_songs
.ifdef LZ_ZP
lz_mute    = LZ_ZP + lz_zp_size
lz_request = LZ_ZP + lz_zp_size + 1
.else
        .segment "ZEROPAGE"
lz_mute:    .res 1
lz_request: .res 1
.endif
        .segment "BSS"
lz_ntsc:    .res 1
        .segment "CODE"
lz_song:
        cmp     lz_songs
lz_play:
lz_stop:
        rts
