; A game's sound part that uses only what lz16 pack writes for any
; assembler: music.obx (the player, the song table and the songs) and
; music.equ (their addresses). The player is not assembled here. It plays
; song 0 from the vertical blank and switches to the next song, through
; lz_request, whenever a key is pressed; the last key stops the music.
;
;   lz16 pack -t --out music first.vgm second.sap
;   cl65 -t atari -C atari-asm.cfg --start-addr 0x2000 -u __EXEHDR__ -o game.xex game.s
;   cat music.obx game.xex > demo.xex
;
; music.obx loads from $3000 (pack's --org), so this program's code goes
; below it, from $2000. Written for ca65; the code uses nothing that MADS,
; xasm or ATASM lack besides the segment and export lines.

        .include "music.equ"
        .export start

SETVBV = $E45C                      ; sets a vertical-blank vector
XITVBV = $E462                      ; the end of a deferred vertical-blank routine
SKCTL  = $D20F
CH     = $02FC                      ; the last key pressed, $FF for none

        .segment "CODE"
start:  lda     #3                  ; POKEY out of its initial state
        sta     SKCTL
        lda     #0
        sta     lz_mute             ; every channel to the music
        sta     lz_request
        sta     current
        jsr     lz_song             ; song 0, its first frame written
        ldy     #<vbi
        ldx     #>vbi
        lda     #7                  ; deferred
        jsr     SETVBV
        lda     #$FF
        sta     CH
main:   lda     CH                  ; a key: the next song
        cmp     #$FF
        beq     main
        lda     #$FF
        sta     CH
        inc     current
        lda     current
        cmp     #lz_song_count
        bcs     quiet
        clc                         ; song number + 1: the next frame starts it
        adc     #1
        sta     lz_request
        jmp     main
quiet:  jsr     lz_stop             ; the last key: silence
        jmp     main

vbi:    jsr     lz_play             ; the frames of this TV frame
        jmp     XITVBV

        .segment "BSS"
current: .res   1
