; A game's sound part for sim65 that uses only what lz16 pack writes for any
; assembler (NAME.obx, loaded beside it by pack_routes.py, and NAME.equ): it
; tries song 0 with rings that do not start a page, plays it, mutes channel 4,
; gives it back, switches to song 1 through lz_request, stops, and plays song
; 0 again through lz_play with lz_ntsc set, writing the registers out after
; every call.

        .include "music.equ"
        .export start

pv_write = $FFF7
pv_exit  = $FFF9
c_sp     = $F0                      ; sim65's argument stack
POKEY    = $D200

        .segment "CODE"
start:  ldx     #$FF
        txs
        lda     #0
        sta     lz_mute
        sta     lz_request
        ldx     #7                  ; song 0's description with its rings off a page
:       lda     lz_songs + 1,x
        sta     bad,x
        dex
        bpl     :-
        inc     bad + 4
        lda     #$55                ; the registers as the program left them
        ldx     #8
:       sta     POKEY,x
        dex
        bpl     :-
        lda     #<bad
        ldx     #>bad
        jsr     lz_init             ; refused, nothing written
        bcc     fail
        jsr     print
        lda     #0
        jsr     lz_song             ; song 0
        bcs     fail
        jsr     print
        lda     #40
        jsr     frames
        lda     #$08                ; channel 4 to the program
        sta     lz_mute
        lda     #$AA
        sta     POKEY + 6
        sta     POKEY + 7
        lda     #40
        jsr     frames
        lda     #0                  ; and back to the music
        sta     lz_mute
        lda     #20
        jsr     frames
        lda     #2                  ; song 1, asked for
        sta     lz_request
        lda     #40
        jsr     frames
        jsr     lz_stop
        jsr     print
        jsr     lz_frame            ; stopped: carry set
        bcc     fail
        lda     #1                  ; song 0 again, at 60 Hz: one lz_play in six plays nothing
        sta     lz_ntsc
        lda     #0
        jsr     lz_song
        bcs     fail
        jsr     print
        lda     #12
        sta     count
:       jsr     lz_play
        jsr     print
        dec     count
        bne     :-
        lda     #0
        jmp     pv_exit
fail:   lda     #1
        jmp     pv_exit

frames: sta     count
:       jsr     lz_frame
        bcs     fail
        jsr     print
        dec     count
        bne     :-
        rts

; The nine registers, as raw bytes.
print:  ldx     #8
:       lda     POKEY,x
        sta     line,x
        dex
        bpl     :-
        lda     #<wblock
        sta     c_sp
        lda     #>wblock
        sta     c_sp + 1
        lda     #9
        ldx     #0
        jmp     pv_write

wblock: .word   line, 1
line:   .res    9
count:  .res    1
bad:    .res    8
