; Atari 8-bit example: plays the bundled song from the vertical-blank
; interrupt and starts it again at its end. The song (example.lz16, made by
; the build with the player's default settings) is included from the
; folder given to ca65 with --bin-include-dir.

        .setcpu "6502"
        .include "lz16_player.inc"
        .import __BSS_RUN__, __BSS_SIZE__
        .export start

SETVBV = $E45C                      ; sets a vertical-blank vector
XITVBV = $E462                      ; the end of a deferred vertical-blank routine
SKCTL  = $D20F

        .segment "CODE"
start:  lda     #3                  ; POKEY out of its initial state
        sta     SKCTL
        jsr     restart
        ldy     #<vbi
        ldx     #>vbi
        lda     #7                  ; deferred
        jsr     SETVBV
forever:
        jmp     forever

vbi:    jsr     lz_frame
        bcc     :+
        jsr     restart             ; the end: lz_init writes frame 0 again
:       jmp     XITVBV

restart:
        lda     #<song_info
        ldx     #>song_info
        jmp     lz_init

        .segment "RODATA"
song_info:
        .word   song, song_end
        .word   (__BSS_RUN__ + __BSS_SIZE__ + $FF) & $FF00   ; the rings, after everything
song:   .incbin "example.lz16"
song_end:
