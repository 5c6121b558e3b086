; Plays .lz16 songs on the 6502: one call a frame writes the nine POKEY
; registers AUDF1, AUDC1, ... AUDC4 (base+0 to base+7) and AUDCTL (base+8).
; Built for two chips (LZ_STEREO=1), one call plays the next two frames of
; the streams, which alternate the chips: the first to LZ_POKEY, the second
; to LZ_POKEY2.
;
; Assembly-time settings (ca65 -D NAME=VALUE); they must match the ones the
; song was converted with, since the file does not record them:
;   LZ_OFFSET_BITS  0..12 (default 8)     LZ_LENGTH_BITS  2..16 (default 8)
;   LZ_MIN_MATCH    1..16 (default 1)     LZ_OLD_FORMAT   0 or 1 (default 0, -x)
;   LZ_POKEY        register base ($D200)
;   LZ_STEREO       1 for a song for two chips (default 0)
;   LZ_POKEY2       the second chip's register base (LZ_POKEY + $10)
;   LZ_ZP           first of the zero-page bytes; without it they go to the
;                   ZEROPAGE segment
;
; lz_init   A/X = address of six bytes: song start, song end (the address
;           after its last byte), buffers (page aligned; 2^offset bits bytes
;           for every channel the song does not leave out). Writes the
;           initial values the header holds. Carry set: no header.
;           Stereo: writes the first pair, frame 0 (the header's) to chip 1
;           and frame 1 to chip 2, or with -x nothing (the first lz_frame
;           plays frames 0 and 1). Carry set: no header or, without -x,
;           no complete first pair; nothing written then.
; lz_frame  Advances one frame and writes the nine registers, carry clear;
;           carry set, registers untouched, once the data runs out (and on
;           every call after that). Call lz_init again to start over.
;           Stereo: the same for the next pair of frames; a pair whose
;           second frame runs out writes neither chip.
;
; Each frame's values go to the rings first; the registers are written at
; the end of the frame (of the pair), once its data is known to lie before
; the song's end. A frame that runs out of data has by then read up to 20
; bytes past the end (and written nothing): the song must end at $FFEB or
; below.
;
; The code modifies itself: ring addresses, skipped channels and the end of
; the data are patched into the instructions that use them.

        .setcpu "6502"
        .export lz_init, lz_frame, lz_code_size, lz_zp_size

.ifndef LZ_OFFSET_BITS
LZ_OFFSET_BITS = 8
.endif
.ifndef LZ_LENGTH_BITS
LZ_LENGTH_BITS = 8
.endif
.ifndef LZ_MIN_MATCH
LZ_MIN_MATCH = 1
.endif
.ifndef LZ_OLD_FORMAT
LZ_OLD_FORMAT = 0
.endif
.ifndef LZ_POKEY
LZ_POKEY = $D200
.endif
.ifndef LZ_STEREO
LZ_STEREO = 0
.endif
.ifndef LZ_POKEY2
LZ_POKEY2 = LZ_POKEY + $10
.endif

OB    = LZ_OFFSET_BITS
LB    = LZ_LENGTH_BITS
MM    = LZ_MIN_MATCH
TB    = OB + LB                     ; code width
WIN   = 1 << OB                     ; ring bytes per channel
LMASK = (1 << LB) - 1
BASE  = 2 - LZ_OLD_FORMAT           ; offset code + BASE = source frame (mod WIN)
MAXR  = (1 << LB) + MM - 2          ; most frames a copy runs on after its first
.if MAXR <= 255
CW = 1                              ; bytes of a copy counter
.elseif MAXR <= 65535
CW = 2
.else
CW = 3
.endif
.if OB <= 8
WMASK = WIN - 1
.else
NP    = WIN >> 8                    ; ring pages
.endif

.assert OB <= 12 && LB >= 2 && LB <= 16 && TB <= 16, error, "unsupported code widths"
.assert TB > 12 || TB < 9 || OB <= 8, error, "9 to 12 bit codes need at most 8 offset bits"
.assert MM >= 1 && MM <= 16, error, "minimum match must be 1 to 16"

; ---------------------------------------------------------------- zero page
.ifdef LZ_ZP
ptr  = LZ_ZP                        ; data of the current frame
ctrl = LZ_ZP + 2                    ; flags left, above a stop bit
pos  = LZ_ZP + 3                    ; ring index of the current frame
t0   = LZ_ZP + 4
t1   = LZ_ZP + 5
ZPN  .set 6
 .if OB > 8
posh = LZ_ZP + ZPN                  ; high byte of the ring index
ZPN  .set ZPN + 1
 .endif
 .if TB >= 9 && TB <= 12
half = LZ_ZP + ZPN                  ; waiting half-byte: $10 + value, or 0
ZPN  .set ZPN + 1
 .endif
.else
        .segment "ZEROPAGE"
zp_first:
ptr:    .res 2
ctrl:   .res 1
pos:    .res 1
t0:     .res 1
t1:     .res 1
 .if OB > 8
posh:   .res 1
 .endif
 .if TB >= 9 && TB <= 12
half:   .res 1
 .endif
ZPN = * - zp_first
.endif
lz_zp_size = ZPN

        .segment "BSS"
ucnt:   .res 9 * CW                 ; per channel: all ones minus the frames its copy still
                                    ; runs; the increment that wraps it to 0 asks for a step
.if OB < 8
srcix:  .res 9                      ; per channel: ring index of the next copied value
.endif
.if OB > 8
val:    .res 9                      ; per channel: value of the current frame
.endif
skipv:  .res 9                      ; values of the channels the song leaves out
.if LZ_STEREO
held:   .res 9                      ; the first frame of a pair, for chip 1
.endif
ik:     .res 1                      ; lz_init's working variables
iscr:   .res 1
ih:     .res 1
im:     .res 1
iavail: .res 1
rbuf:   .res 2

        .segment "CODE"
code_first:

; Reads the next data byte of the frame.
.macro GETBYTE
        lda     (ptr),y
        iny
.endmacro

; Sets the copy counter of channel slot k from the length code: in A when
; a counter is one byte, else in t0 (low) and t1.
.macro SET_COUNT k
  .if CW = 1
        eor     #$FF
    .if MM > 1
        sec
        sbc     #MM - 1
    .endif
        sta     ucnt + k
  .else
        lda     t0
        eor     #$FF
        sec
        sbc     #MM - 1
        sta     ucnt + k * CW
        lda     t1
        eor     #$FF
        sbc     #0
        sta     ucnt + k * CW + 1
    .if CW = 3
        lda     #$FF
        sbc     #0
        sta     ucnt + k * CW + 2
    .endif
  .endif
.endmacro

; The nine output sites, 6 bytes apart, slot k (channel 8 - k) first: each
; reads the slot's value of the frame, from its ring (the address that
; lz_init patches in), or from skipv + k for a channel left out, and stores
; it at dest + 8 - k, as the registers are ordered.
.macro OUTPUT_SITES dest
        .local first
first:
        .repeat 9, k
  .if OB <= 8
        lda     a:$FFFF,x
  .else
        lda     a:val + k
  .endif
        sta     a:dest + 8 - k
        .endrepeat
        .assert * - first = 54, error, "output sites are 6 bytes apart"
.endmacro

; Length code in A, widened for a counter of more than one byte.
.macro LC_FROM_A
  .if CW > 1
        sta     t0
        lda     #0
        sta     t1
  .endif
.endmacro

; Reads a match code for slot k and points the copy at its source.
.macro DECODE k, cp, first
  .if TB <= 8
        GETBYTE
    .if OB > 0
        sta     t0
        lsr
      .repeat LB - 1
        lsr
      .endrepeat
        clc
        adc     #BASE
        and     #WMASK
        sta     srcix + k
        lda     t0
        and     #LMASK
    .endif
        LC_FROM_A
        SET_COUNT k
  .elseif TB <= 12
        GETBYTE
        sta     t0
    .if OB > 0
      .if OB < 8
        .repeat 8 - OB
        lsr
        .endrepeat
      .endif
        clc
        adc     #BASE
        and     #WMASK
      .if OB = 8
        sta     cp + 1
      .else
        sta     srcix + k
      .endif
    .endif
        lda     half
        bne     :+
        GETBYTE
        sta     t1
        lsr
        lsr
        lsr
        lsr
        ora     #$10
        sta     half
        lda     t1
        and     #$0F
        bpl     :++                 ; always
:       and     #$0F
        ldx     #0
        stx     half
        ldx     pos
:       ; A: high part of the length code, placed above the 8 - OB bits in t0
    .if LB <= 8
      .if OB < 8
        .repeat 8 - OB
        asl
        .endrepeat
        sta     t1
        lda     t0
        and     #(1 << (8 - OB)) - 1
        ora     t1
      .endif
        LC_FROM_A
    .else
        sta     t1
        .repeat 8 - OB
        asl
        .endrepeat
        sta     ik                  ; scratch
        lda     t0
        and     #(1 << (8 - OB)) - 1
        ora     ik
        sta     t0
        .repeat OB
        lsr     t1
        .endrepeat
    .endif
        SET_COUNT k
  .elseif OB = 8
        GETBYTE
        clc
        adc     #BASE
        sta     cp + 1
        GETBYTE
        sec
        sbc     #1
    .if LB < 8
        and     #LMASK
    .endif
        LC_FROM_A
        SET_COUNT k
  .elseif OB < 8
        GETBYTE
        sta     t0
    .if OB > 0
        and     #WMASK
        clc
        adc     #BASE
        and     #WMASK
        sta     srcix + k
    .endif
        GETBYTE
        sta     t1
    .repeat OB
        lsr     t1
        ror     t0
    .endrepeat
        lda     t0
        sec
        sbc     #1
    .if CW = 1
        and     #<LMASK
    .else
        sta     t0
        lda     t1
        sbc     #0
        and     #>LMASK
        sta     t1
      .if LB < 8
        lda     t0
        and     #<LMASK
        sta     t0
      .endif
    .endif
        SET_COUNT k
  .else
        GETBYTE
        clc
        adc     #BASE
        sta     cp + 1
        GETBYTE
        sta     t0
        and     #NP - 1
        adc     #0
        and     #NP - 1
        clc
        adc     first + 1           ; the ring's first page
        sta     cp + 2
        lda     t0
        .repeat OB - 8
        lsr
        .endrepeat
        sec
        sbc     #1
        and     #LMASK
        SET_COUNT k
  .endif
.endmacro

; The step of one channel (slot k = 8 - channel). Every block has the same
; layout; lz_init patches the same offsets in each.
.macro CHANNEL k
        .local  blk_start, read, copy, store, match, flag, next, lit, first, after
blk_start:
        inc     ucnt + k * CW       ; lz_init: jmp next when the channel is left out
        bne     copy
  .if CW >= 2
        inc     ucnt + k * CW + 1
        bne     copy
  .endif
  .if CW = 3
        inc     ucnt + k * CW + 2
        bne     copy
  .endif
        lsr     ctrl
        bne     flag
        GETBYTE
        sec
        ror
        sta     ctrl
flag:   bcc     match
        .repeat CW, b               ; the counter, run out at 0, goes back to all ones
        dec     ucnt + k * CW + b
        .endrepeat
        GETBYTE
  .if OB <= 8
        bcs     store               ; always
  .else
lit:    sta     $FF00,x             ; ring page patched
        sta     val + k
        jmp     next
  .endif
match:
        DECODE  k, copy, first
  .if OB = 8
copy:   lda     $FF00               ; ring page patched, source index in the low byte
        inc     copy + 1
store:  sta     $FF00,x
  .elseif OB < 8
copy:   lda     srcix + k
        and     #WMASK
        tax
        inc     srcix + k
read:   lda     $FFFF,x             ; ring patched
        ldx     pos
store:  sta     $FFFF,x
  .else
copy:   lda     $FFFF               ; source address
store:  sta     $FF00,x             ; ring page + high byte of pos, patched
        sta     val + k
        inc     copy + 1
        bne     next
        inc     copy + 2
        lda     copy + 2
after:  cmp     #$FF                ; the page after the ring, patched
        bne     next
first:  lda     #$FF                ; the ring's first page, patched
        sta     copy + 2
  .endif
next:
  .if k = 0
BLOCK_SIZE = next - blk_start
COPY_OFF   = copy - blk_start
STORE_OFF  = store - blk_start
    .if OB < 8
READ_OFF   = read - blk_start
    .endif
    .if OB > 8
LIT_OFF    = lit - blk_start
FIRST_OFF  = first - blk_start
AFTER_OFF  = after - blk_start
    .endif
  .else
        .assert next - blk_start = BLOCK_SIZE, error, "channel blocks differ"
  .endif
.endmacro

; ---------------------------------------------------------------- lz_frame
.if LZ_STEREO
; Two steps a call: the first frame's values wait in held until the second
; frame's data is known to be complete, then both chips are written.
ended:  lda     #$38                ; sec
        sta     entry
        lda     #$60                ; rts
        sta     entry + 1
        rts
lz_frame:
entry:  jsr     step                ; becomes sec / rts once the data has run out
        bcs     ended
pair_second:                        ; lz_init comes in here with frame 0 in place
saves:  OUTPUT_SITES held
        jsr     step
        bcs     ended
outputs:
        OUTPUT_SITES LZ_POKEY2
        .repeat 9, r
        lda     held + r
        sta     a:LZ_POKEY + r
        .endrepeat
        clc
        rts

; One frame's steps; carry set when they ran past the end of the data.
step:   ldy     #0
.else
lz_frame:
entry:  ldy     #0                  ; becomes sec / rts once the data has run out
.endif
.if OB = 8
        inc     pos
        ldx     pos
.elseif OB < 8
        lda     pos
        clc
        adc     #1
        and     #WMASK
        sta     pos
        tax
.else
        inc     pos
        bne     :+
        ; The ring index enters a new page: move every ring store there.
        lda     posh
        clc
        adc     #1
        and     #NP - 1
        sta     posh                ; carry stays clear: no ring reaches past $FFFF
        .repeat 9, k
        lda     blocks + k * BLOCK_SIZE + FIRST_OFF + 1
        adc     posh
        sta     blocks + k * BLOCK_SIZE + STORE_OFF + 2
        sta     blocks + k * BLOCK_SIZE + LIT_OFF + 2
        .endrepeat
:       ldx     pos
.endif
blocks:
        .repeat 9, k
        CHANNEL k
        .endrepeat
blocks_end:
        tya
        clc
        adc     ptr
        sta     ptr
        bcc     :+
        inc     ptr+1
:
endlo:  cmp     #0                  ; end of the data + 1, patched
        lda     ptr+1
endhi:  sbc     #0
.if LZ_STEREO
        rts
.else
        bcs     ended
outputs:
        OUTPUT_SITES LZ_POKEY
        clc
        rts
ended:  lda     #$38                ; sec
        sta     entry
        lda     #$60                ; rts
        sta     entry + 1
        rts
.endif

; Channel block addresses, slot 0 (channel 8) to 8, and the end of the last.
blk_lo: .repeat 10, k
        .byte   <(blocks + k * BLOCK_SIZE)
        .endrepeat
blk_hi: .repeat 10, k
        .byte   >(blocks + k * BLOCK_SIZE)
        .endrepeat

.if LZ_STEREO
ENTRY0 = $20                        ; jsr step
ENTRY1 = <step
.else
ENTRY0 = $A0                        ; ldy #0
ENTRY1 = 0
.endif

; ---------------------------------------------------------------- lz_init
lz_init:
        sta     t0
        stx     t1
        ldy     #0
        lda     (t0),y              ; start
        sta     ptr
        iny
        lda     (t0),y
        sta     ptr+1
        iny
        lda     (t0),y              ; end: keep end + 1 and the bytes available
        clc
        adc     #1
        sta     endlo + 1
        iny
        lda     (t0),y
        adc     #0
        sta     endhi + 1
        dey
        lda     (t0),y
        sec
        sbc     ptr
        sta     iavail
        iny
        lda     (t0),y
        sbc     ptr+1
        beq     :+
        lda     #$FF                ; 256 or more: plenty for a header
        sta     iavail
:       iny
        lda     (t0),y              ; buffers
        sta     rbuf
        iny
        lda     (t0),y
        sta     rbuf+1
        lda     #ENTRY0             ; the first two bytes of lz_frame, back as they were
        sta     entry
        lda     #ENTRY1
        sta     entry + 1
        lda     #0
        sta     ctrl
.if TB >= 9 && TB <= 12
        sta     half
.endif
        sta     ih
        jsr     header_byte
        bcs     no_header
        sta     im
        ldx     #0
next_channel:
        stx     ik
        lda     blk_lo,x
        sta     t0
        lda     blk_hi,x
        sta     t1
        cpx     #8
        bcs     compressed          ; channel 0 is never left out
        lsr     im
        bcc     compressed
        ; Left out: the block is jumped over, the register holds the header's value.
        ldy     #0
        lda     #$4C                ; jmp next block
        sta     (t0),y
        iny
        lda     blk_lo + 1,x
        sta     (t0),y
        iny
        lda     blk_hi + 1,x
        sta     (t0),y
        jsr     header_byte
        bcs     no_header
        sta     skipv,x
.if OB <= 8
        txa
        clc
        adc     #<skipv
        sta     t0
        lda     #>skipv
        adc     #0
        sta     t1
        lda     #$AD                ; lda skipv + k
        jsr     patch_outputs
        lda     skipv,x
.else
        sta     val,x
        lda     #0                  ; a first page that turning pages cannot carry out of
        ldy     #FIRST_OFF + 1
        sta     (t0),y
        lda     val,x
.endif
        jmp     write_register
no_header:
        lda     #$38
        sta     entry
        lda     #$60
        sta     entry + 1
        rts                         ; carry is set
compressed:
        txa                         ; A = k * CW
.if CW > 1
        asl
  .if CW = 3
        adc     ik
  .endif
.endif
        tax
        ldy     #0
        lda     #$EE                ; inc ucnt + k * CW
        sta     (t0),y
        iny
        txa
        clc
        adc     #<ucnt
        sta     (t0),y
        iny
        lda     #>ucnt
        adc     #0
        sta     (t0),y
        ldy     #CW                 ; the counter runs out at the next frame
        lda     #$FF
:       sta     ucnt,x
        inx
        dey
        bne     :-
        ldx     ik
.if OB = 8
        lda     rbuf+1
        ldy     #COPY_OFF + 2
        sta     (t0),y
        ldy     #STORE_OFF + 2
        sta     (t0),y
.elseif OB < 8
        ldy     #READ_OFF + 1
        jsr     put_ring
        ldy     #STORE_OFF + 1
        jsr     put_ring
.endif
.if OB <= 8
        lda     rbuf
        sta     t0
        lda     rbuf+1
        sta     t1
        lda     #$BD                ; lda ring,x
        jsr     patch_outputs
.else
        lda     rbuf+1
        ldy     #FIRST_OFF + 1
        sta     (t0),y
        ldy     #STORE_OFF + 2
        sta     (t0),y
        ldy     #LIT_OFF + 2
        sta     (t0),y
        clc
        adc     #NP
        ldy     #AFTER_OFF + 1
        sta     (t0),y
.endif
        lda     rbuf                ; t0/t1: this ring; rbuf: the next one
        sta     t0
        clc
        adc     #<WIN
        sta     rbuf
        lda     rbuf+1
        sta     t1
        adc     #>WIN
        sta     rbuf+1
.if LZ_OLD_FORMAT = 0
        jsr     header_byte
        bcs     no_header
        ldy     #0                  ; frame 0 goes to ring index 0
        sta     (t0),y
  .if OB > 8
        sta     val,x
  .endif
.endif
.if LZ_OLD_FORMAT || LZ_STEREO
        jmp     channel_done        ; -x holds no frame 0; a pair waits until it is complete
.endif
write_register:
.if LZ_STEREO = 0
        pha                         ; register 8 - k
        txa
        eor     #$FF
        clc
        adc     #9
        tay
        pla
        sta     LZ_POKEY,y
.endif
channel_done:
        ldx     ik
        inx
        cpx     #9
        bcs     :+
        jmp     next_channel
:       lda     ih                  ; the step data follows the header
        clc
        adc     ptr
        sta     ptr
        bcc     :+
        inc     ptr+1
:
.if OB <= 8
  .if LZ_OLD_FORMAT
        lda     #WMASK
  .else
        lda     #0
  .endif
        sta     pos
.else
  .if LZ_OLD_FORMAT
        lda     #$FF
        sta     pos
        lda     #NP - 1
        sta     posh
  .else
        lda     #0
        sta     pos
        sta     posh
  .endif
.endif
.if LZ_STEREO && LZ_OLD_FORMAT = 0
        ldx     #0                  ; pos: frame 0 is at ring index 0
        jmp     pair_second         ; the first pair: frame 0 and the first step
.else
        clc
        rts
.endif

; The next header byte in A, carry set when there is none. Keeps X.
header_byte:
        ldy     ih
        cpy     iavail
        bcs     :+
        lda     (ptr),y
        iny
        sty     ih
        clc
:       rts

.if OB <= 8
; Writes the instruction A with the operand t0/t1 where lz_frame reads slot
; X's value (in stereo the two places). Keeps X.
patch_outputs:
        pha
        txa
        asl
        sta     iscr
        asl
        adc     iscr                ; 6 * k
        tay
        pla
        sta     outputs,y
  .if LZ_STEREO
        sta     saves,y
  .endif
        lda     t0
        sta     outputs + 1,y
  .if LZ_STEREO
        sta     saves + 1,y
  .endif
        lda     t1
        sta     outputs + 2,y
  .if LZ_STEREO
        sta     saves + 2,y
  .endif
        rts
.endif

.if OB < 8
; Writes the next ring's address at (t0),Y; leaves Y after it.
put_ring:
        lda     rbuf
        sta     (t0),y
        iny
        lda     rbuf+1
        sta     (t0),y
        iny
        rts
.endif

lz_code_size = * - code_first
