; Atari 8-bit executable: plays a song from the vertical-blank interrupt and
; starts it again at its end. lz16 xex assembles it with the player for the
; song's settings (the same -D values) and places the song and the rings:
; song, song_end and rings come from the link. The build makes the bundled
; song into build/player/example.xex this way.

        .setcpu "6502"
        .include "lz16_player.inc"
        .import song, song_end, rings
        .export start

.ifndef LZ_OLD_FORMAT
LZ_OLD_FORMAT = 0
.endif
.ifndef LZ_STEREO
LZ_STEREO = 0
.endif

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

; Frame 0 to the chip: lz_init writes it from the header, except in the old
; format, whose header lacks it and whose first lz_frame plays it.
restart:
        lda     #<song_info
        ldx     #>song_info
.if LZ_OLD_FORMAT
        jsr     lz_init
        jmp     lz_frame
.else
        jmp     lz_init
.endif

        .segment "RODATA"
song_info:
        .word   song, song_end, rings
