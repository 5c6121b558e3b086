; The INIT and PLAYER routines of a SAP file (type B) around the player.
; lz16 sap assembles both with the song's settings and with LZ_POKEY and
; LZ_POKEY2 pointing at a shadow of the registers in RAM; song, song_end
; and rings come from the link.
;
; PLAYER first copies the shadow, decoded on the previous call, to the
; chips, with the same instructions every time: every register is written
; at the same cycle of every call, whatever the frame cost to decode. Only
; then does it decode the next frame into the shadow.

        .setcpu "6502"
        .include "lz16_player.inc"
        .export init, play

        .include "song_restart.inc"

POKEY  = $D200
POKEY2 = $D210
AUDCTL = 8
SKCTL  = $0F

        .segment "CODE"
init:   lda     #3                  ; the chips out of their initial state
        sta     POKEY + SKCTL
.if LZ_STEREO
        sta     POKEY2 + SKCTL
.endif
        jsr     restart
        lda     LZ_POKEY + AUDCTL   ; AUDCTL before the first frame's other registers
        sta     POKEY + AUDCTL
.if LZ_STEREO
        lda     LZ_POKEY2 + AUDCTL
        sta     POKEY2 + AUDCTL
.endif
        rts

play:
        .repeat 9, r
        lda     LZ_POKEY + r
        sta     POKEY + r
        .endrepeat
.if LZ_STEREO
        .repeat 9, r
        lda     LZ_POKEY2 + r
        sta     POKEY2 + r
        .endrepeat
.endif
        jsr     lz_frame
        bcc     :+
        jmp     restart             ; the end of a song without a loop: frame 0 next
:       rts
