; A minimal game's music in ca65, with the player's source linked in
; (player.s): it plays song 0 of music.inc from the vertical blank.
;
;   lz16 pack -t --out music first.vgm second.sap
;   cl65 -t atari -C atari-asm.cfg --asm-include-dir PLAYER -o game.xex game.s player.s
;
; in the folder of music.inc, with PLAYER the folder of lz16_player.s
; (player/ in this project).

        .include "music.inc"
        .export start

SETVBV = $E45C                      ; sets a vertical-blank vector
XITVBV = $E462                      ; the end of a deferred vertical-blank routine
SKCTL  = $D20F

        .segment "CODE"
start:  lda     #3                  ; POKEY out of its initial state
        sta     SKCTL
        lda     #0                  ; every channel to the music, no song asked for
        sta     lz_mute
        sta     lz_request
        jsr     lz_song             ; song 0, its first frame written
        ldy     #<vbi
        ldx     #>vbi
        lda     #7                  ; deferred
        jsr     SETVBV
forever:
        jmp     forever

vbi:    jsr     lz_play             ; the frames of this TV frame
        jmp     XITVBV
