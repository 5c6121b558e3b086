; Atari 8-bit executable: plays a song from the vertical-blank interrupt; a
; song without a loop starts again at its end (a looping one, built with
; LZ_LOOP=1, goes back to its loop start by itself). lz16 xex assembles it with the player for the
; song's settings (the same -D values) and places the song and the rings:
; song, song_end and rings come from the link. The build makes the bundled
; song into build/player/example.xex this way.

        .setcpu "6502"
        .include "lz16_player.inc"
        .export start

        .include "song_restart.inc"

SETVBV = $E45C                      ; sets a vertical-blank vector
XITVBV = $E462                      ; the end of a deferred vertical-blank routine
SKCTL  = $D20F

        .segment "CODE"
start:  lda     #3                  ; POKEY out of its initial state
        sta     SKCTL
.if LZ_STEREO
        sta     SKCTL + $10         ; and the second chip's
.endif
        jsr     restart
        ldy     #<vbi
        ldx     #>vbi
        lda     #7                  ; deferred
        jsr     SETVBV
forever:
        jmp     forever

vbi:    jsr     lz_frame
        bcc     :+
        jsr     restart             ; the end: frame 0 again
:       jmp     XITVBV
