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
;   LZ_POKEY2       the second chip's register base (LZ_POKEY + $10), at
;                   most 246 bytes from LZ_POKEY
;   LZ_ZP           first of the zero-page bytes; without it they go to the
;                   ZEROPAGE segment
;   LZ_LOOP         1 to play looping songs (default 0)
;   LZ_GAME         1 for the game interface below (default 0)
;   LZ_NTSC         lz_ntsc's first value (default 0)
;
; lz_init   A/X = address of six bytes: song start, song end (the address
;           after its last byte), buffers (page aligned; 2^offset bits bytes
;           for every channel the song does not leave out); with LZ_LOOP,
;           eight: then the address of the song's loop record (the .inc
;           file regsqueeze --loop writes), or 0 for a song that ends.
;           Writes the initial values the header holds. Carry set: no header.
;           Stereo: writes the first pair, frame 0 (the header's) to chip 1
;           and frame 1 to chip 2, or with -x the left-out channels' values
;           to both chips (the first lz_frame plays frames 0 and 1). Carry
;           set: no header or, without -x, no complete first pair.
; lz_frame  Advances one frame and writes the nine registers, carry clear;
;           carry set, registers untouched, once the data runs out (and on
;           every call after that). Call lz_init again to start over. A
;           looping song never ends: the call after its last frame plays
;           the loop start's frame from the loop record, without decoding,
;           and leaves the player as it was after that frame the first time.
;           Stereo: the same for the next pair of frames; a pair whose
;           second frame runs out writes neither chip.
;
; With LZ_GAME=1, for a game (lz16 pack builds it so):
; lz_songs  (imported) the song table: the number of songs, then for each
;           ten bytes: the eight of lz_init's description, the lz_frame
;           calls per lz_play (1, 2 or 4) and flags (bit 0: a 50 Hz song).
; lz_song   A = a song number: starts it as lz_init does; carry set, nothing
;           written and nothing playing when there is no such song.
; lz_frame  first looks at lz_request and lz_mute (10 cycles). While no song
;           plays (before the first, after a failed start, lz_stop or the end
;           of a song that does not loop) it writes nothing, carry set.
; lz_play   for the vertical blank: the song's lz_frame calls for one
;           display frame; with lz_ntsc non-zero, a 50 Hz song skips one
;           lz_play in six, keeping its tempo at 60 Hz (slightly unevenly).
; lz_stop   AUDC 0 on the channels the music owns; nothing plays after it.
; lz_mute   (zero page) bits 0-3: channels 1-4 of chip 1 left to the
;           program, bits 4-7 those of chip 2: their AUDF and AUDC are never
;           written (they are still decoded; once given back, they are
;           written from the next frame on). AUDCTL is always written.
; lz_request (zero page) a song number + 1: the next lz_frame starts that
;           song; lz_init clears it. The safe way to switch songs from
;           outside the vertical blank.
; The program sets lz_mute and lz_request before its first call: they are
; zero-page bytes that no file loads.
;
; How a frame is played. Each channel has a block of code. The block
; compares the frame's ring index (X) with the ring slot at which its
; stream takes its next step: until then it copies, reading the value from
; the source and storing it in its ring and straight into its register.
; At the slot, the step's code (kept out of the blocks) reads a flag and a
; literal or a match code, and sets the next slot. The data is read with
; (ptr),Y, Y running on from frame to frame; ptr moves on (a "rebase")
; only when Y passes a limit set so that the next frame's data (a pair's
; in stereo) lies before the song's end and within Y's reach.
;
; Near the end, where that is no longer certain, the player goes into its
; end mode: the register stores are made harmless (up to 8 offset bits,
; and past 0 for two chips: BIT, or CMP for the indexed stores of two
; chips, instead of STA, the values then come from the rings) or sent to
; a buffer (endbuf), and after each frame (pair) a check on Y decides
; between writing the registers and stopping. A frame that runs out has by
; then read up to 20 bytes past the end (and written nothing): the song
; must end at $FFEB or below.
;
; The code modifies itself: every patched operand has a name where it is
; defined (name = *+1).

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
.ifndef LZ_LOOP
LZ_LOOP = 0
.endif
.ifndef LZ_GAME
LZ_GAME = 0
.endif
.ifndef LZ_NTSC
LZ_NTSC = 0
.endif
.if LZ_GAME
        .export lz_song, lz_play, lz_stop, lz_mute, lz_request, lz_ntsc
        .import lz_songs
.endif

OB    = LZ_OFFSET_BITS
LB    = LZ_LENGTH_BITS
MM    = LZ_MIN_MATCH
TB    = OB + LB                     ; code width
WIN   = 1 << OB                     ; ring bytes per channel
LMASK = (1 << LB) - 1
CHIPS = 1 + LZ_STEREO

.assert OB <= 12 && LB >= 2 && LB <= 16 && TB <= 16, error, "unsupported code widths"
.assert TB > 12 || TB < 9 || OB <= 8, error, "9 to 12 bit codes need at most 8 offset bits"
.assert MM >= 1 && MM <= 16, error, "minimum match must be 1 to 16"

; Frame t is kept at ring index t - base (mod WIN), so that a match's
; offset code is the ring index of its source. X holds the frame's ring
; index, or its low byte past 8 offset bits; with 0 offset bits the ring is
; one byte and X simply counts frames. Slots are compared with X, so they
; repeat every 2^PBITS frames. Where a ring of 32 frames or less makes
; copies pass their slot, X counts frames modulo 256 instead (COUNTED), if
; then no copy passes its slot or, at the least, a pass count takes one byte
; instead of two; posm holds the ring index. A store costs a load more, and
; a new match less.
LONGEST_ON  = (1 << LB) + MM - 2            ; the frames the longest copy runs after its first
RING_EXTRA  = LONGEST_ON >> OB              ; its passes: slots at ring indexes
COUNT_EXTRA = LONGEST_ON >> 8               ; and at frame counts
COUNTED = OB > 0 && OB <= 5 && RING_EXTRA > 0 && (COUNT_EXTRA = 0 || RING_EXTRA > 255)
.if OB = 0 || OB >= 8 || COUNTED
PBITS = 8
.else
PBITS = OB
.endif
PMASK = (1 << PBITS) - 1
.if OB > 0 && OB < 8
WMASK = WIN - 1
.endif
.if OB > 8
NP    = WIN >> 8                    ; ring pages
.endif
; A copy longer than the period passes its slot before it ends: a counter
; per channel (hi, HB bytes) says how many times to go on.
EXTRA = LONGEST_ON >> PBITS
.if EXTRA = 0
HB = 0
.elseif EXTRA < 256
HB = 1
.else
HB = 2
.endif
LCW = 1 + (LB > 8)                  ; bytes of a length code
; Below 8 offset bits a new match, decoded in its own step, enters its block
; at COPYX, which loads X from the source index: its decoding may use X.
MATCH_TO_COPYX = OB > 0 && OB < 8 && HB = 0

; The most bytes one frame reads: nine codes and two control bytes.
.if TB <= 8
FRAME_BYTES = 11
.elseif TB <= 12
FRAME_BYTES = 16
.else
FRAME_BYTES = 20
.endif
NEED = FRAME_BYTES * CHIPS          ; the bytes a call may read

; The register stores and the end mode. In stereo the stores are indexed
; by Y, the chip's offset (chip), so that one code serves both chips. Up
; to 8 offset bits (for two chips, from 1, where the ring still holds the
; pair's first frame when the second is played), the end mode turns the
; stores into BIT (CMP in stereo) and its values come from the rings.
; Otherwise the stores are redirected to endbuf.
.if OB <= 8 && (LZ_STEREO = 0 || OB > 0)
BIT_END = 1
.else
BIT_END = 0
.endif
.if LZ_STEREO
  .if LZ_POKEY2 >= LZ_POKEY
REGS  = LZ_POKEY                    ; the stores' base
OFFA  = 0
OFFB  = LZ_POKEY2 - LZ_POKEY
  .else
REGS  = LZ_POKEY2
OFFA  = LZ_POKEY - LZ_POKEY2
OFFB  = 0
  .endif
  .assert OFFA + OFFB <= 246, error, "LZ_POKEY2 must be within 246 bytes of LZ_POKEY"
.else
REGS  = LZ_POKEY
.endif

; Opcodes the code writes into itself.
OP_SEC      = $38
OP_RTS      = $60
OP_JMP      = $4C
OP_CPX_IMM  = $E0
OP_BIT_ABS  = $2C
OP_STA_ABS  = $8D
OP_STA_ABSY = $99
OP_CMP_ABSY = $D9
OP_LDA_ABS  = $AD
OP_LDA_ABSX = $BD
OP_LDY_ZP   = $A4
OP_LDY_IMM  = $A0
OP_LDA_ZP   = $A5
OP_INC_ZP   = $E6
OP_STY_ZP   = $84
OP_CLC      = $18
OP_EOR_IMM  = $49
OP_DEC_ZP   = $C6
OP_BNE      = $D0
OP_BEQ      = $F0
.if LZ_STEREO
OP_REG_STORE = OP_STA_ABSY          ; a register store, out of the end mode
OP_REG_SKIP  = OP_CMP_ABSY          ; and in it: the same operand, nothing written
.else
OP_REG_STORE = OP_STA_ABS
OP_REG_SKIP  = OP_BIT_ABS
.endif

; ---------------------------------------------------------------- zero page
.ifdef LZ_ZP
ptr  = LZ_ZP                        ; the data, read at (ptr),Y
idx  = LZ_ZP + 2                    ; Y between calls (in stereo, between reads)
ctrl = LZ_ZP + 3                    ; flags left, above a stop bit
pos  = LZ_ZP + 4                    ; ring index of the current frame (low byte; COUNTED: a frame count)
t0   = LZ_ZP + 5
t1   = LZ_ZP + 6
ZPN  .set 7
 .if COUNTED
posm = LZ_ZP + ZPN                  ; the frame's ring index (X counts frames)
ZPN  .set ZPN + 1
 .endif
 .if OB > 8
posh = LZ_ZP + ZPN                  ; high byte of the ring index
ZPN  .set ZPN + 1
 .endif
 .if TB >= 9 && TB <= 12
half = LZ_ZP + ZPN                  ; waiting half-byte: $10 + value, or 0
ZPN  .set ZPN + 1
 .endif
 .if LZ_STEREO
chip = LZ_ZP + ZPN                  ; Y in the blocks: this frame's chip
ZPN  .set ZPN + 1
 .endif
 .if LZ_GAME
lz_mute    = LZ_ZP + ZPN            ; the game's: channels left to the program
lz_request = LZ_ZP + ZPN + 1        ; the game's: a song number + 1 to start
ZPN  .set ZPN + 2
 .endif
 .if LZ_LOOP
cnt  = LZ_ZP + ZPN                  ; calls left + 1 once the data is read to its end
ZPN  .set ZPN + 2
 .endif
.else
        .segment "ZEROPAGE"
zp_first:
ptr:    .res 2
idx:    .res 1
ctrl:   .res 1
pos:    .res 1
t0:     .res 1
t1:     .res 1
.if COUNTED
posm:   .res 1                      ; the frame's ring index (X counts frames)
.endif
 .if OB > 8
posh:   .res 1
 .endif
 .if TB >= 9 && TB <= 12
half:   .res 1
 .endif
 .if LZ_STEREO
chip:   .res 1
 .endif
 .if LZ_GAME
lz_mute:    .res 1
lz_request: .res 1
 .endif
 .if LZ_LOOP
cnt:    .res 2                      ; calls left + 1 once the data is read to its end
 .endif
ZPN = * - zp_first
.endif
lz_zp_size = ZPN

        .segment "BSS"
.if HB > 0
hi:     .res 9 * HB                 ; per slot k: all ones minus the slots its copy still passes
.endif
.if OB > 0 && OB < 8
srcix:  .res 9                      ; per slot k: ring index of the next copied value
.endif
.if BIT_END
skipv:  .res 9                      ; values of the channels left out, for the end mode
.else
endbuf: .res 9 * CHIPS              ; the end mode's registers, chip 1's then chip 2's
.endif
.if LZ_GAME
        .segment "DATA"
lz_ntsc:    .byte LZ_NTSC           ; non-zero: a 50 Hz song skips one lz_play in six
        .segment "BSS"
ntsc_count: .res 1
song_calls: .res 1                  ; lz_frame calls per lz_play
song_flags: .res 1                  ; bit 0: a 50 Hz song
calls_left: .res 1
endmode:    .res 1                  ; $80 in the end mode
regmute:    .res 9 * CHIPS          ; per register, chip 1's then chip 2's: non-zero when muted
  .if LZ_STEREO
mute_a:     .res 1                  ; the muted channels of chip 1, and of chip 2
mute_b:     .res 1
  .endif
.endif
.if LZ_LOOP
iring:  .res 2                      ; lz_init: the ring of the slot it sets up
ie:     .res 1                      ; lz_init: the slot's entry in the loop record
spare:  .res 1                      ; where a channel left out stores in the restart
iri:    .res 2                      ; lz_init: a ring index
.endif
.if LZ_STEREO || LZ_OLD_FORMAT
iavail: .res 1                      ; lz_init: the song's bytes (255 for more)
.endif
im:     .res 1                      ; lz_init: the header's mask
iscr:   .res 1
rbuf:   .res 2

        .segment "CODE"
code_first:


; ------------------------------------------------------------ the blocks
; Names of slot k's patch points: .ident builds them from the slot.
.define SLOT(num)   .ident(.sprintf("slot%d", num))     ; cpx #slot: ring index of the next step
.define COPYX(num)  .ident(.sprintf("copyx%d", num))    ; the copy from the source index in A
.define COPY(num)   .ident(.sprintf("copy%d", num))     ; where a copy reads its value
.define SRC(num)    .ident(.sprintf("src%d", num))      ; operand: the source
.define STORE(num)  .ident(.sprintf("store%d", num))    ; sta ring,x
.define RING(num)   .ident(.sprintf("ring%d", num))     ; operand: the ring (its page past 8 offset bits)
.define REG(num)    .ident(.sprintf("reg%d", num))      ; sta register: the opcode the end mode patches
.define REGAT(num)  .ident(.sprintf("regat%d", num))    ; operand: the register (endbuf in the end mode)
.define FIRSTP(num) .ident(.sprintf("firstp%d", num))   ; operand: the ring's first page
.define AFTERP(num) .ident(.sprintf("afterp%d", num))   ; operand: the page after the ring
.define TRAMP(num)  .ident(.sprintf("tramp%d", num))    ; jmp to the step, within a branch's reach
.define STEP(num)   .ident(.sprintf("step%d", num))     ; the step's code

; Reads the next data byte (Y is the data index in the step code).
.macro GETBYTE
        lda     (ptr),y
        iny
.endmacro

; Slot k's block: the copy, or a jump to the step at the slot. Keeps X (the
; ring index) and, in stereo, Y (the chip's offset). Left out, the block
; starts with a jump over it (lz_init).
.macro BLOCK k
        .local  blk, next
blk:
SLOT {k} = * + 1
        cpx     #0
  .if TRAMPOLINES
        beq     TRAMP {k}           ; on to the step
  .else
        bne     COPY {k}
        jmp     STEP {k}
  .endif
COPY {k}:
  .if OB = 0
SRC {k} = * + 1
        lda     $FFFF               ; the one-byte ring
  .elseif OB < 8
        lda     srcix + k
        and     #WMASK
COPYX {k}:                          ; a new match comes in here, its source index in A
        tax
        inc     srcix + k
SRC {k} = * + 1
        lda     $FFFF,x             ; the ring
    .if COUNTED = 0
        ldx     pos
    .endif
  .elseif OB = 8
SRC {k} = * + 1
        lda     $FF00               ; the ring's page, the source index in the low byte
        inc     SRC {k}
  .else
SRC {k} = * + 1
        lda     $FFFF               ; the source address in the rings' pages
  .endif
STORE {k}:
  .if OB = 0
RING {k} = * + 1
        sta     $FFFF
  .elseif COUNTED
        ldx     posm
RING {k} = * + 1
        sta     $FFFF,x
        ldx     pos
  .elseif OB < 8
RING {k} = * + 1
        sta     $FFFF,x
  .elseif OB = 8
RING {k} = * + 1
        sta     $FF00,x             ; the ring's page
  .else
RING {k} = * + 2
        sta     $FF00,x             ; the page holding this frame's ring index
  .endif
REG {k}:
REGAT {k} = * + 1
  .if LZ_STEREO
        sta     a:REGS + 8 - k,y
  .else
        sta     a:REGS + 8 - k
  .endif
  .if OB > 8
        inc     SRC {k}              ; the source moves on, from the last page back to the first
        bne     next
        inc     SRC {k} + 1
        lda     SRC {k} + 1
AFTERP {k} = * + 1
        cmp     #$FF
        bne     next
FIRSTP {k} = * + 1
        lda     #$FF
        sta     SRC {k} + 1
  .endif
next:
  .if k = 0
BLOCK_SIZE = next - blk
SRC_OFF    = SRC {k} - blk          ; where lz_init patches every block
REG_OFF    = REGAT {k} - blk
RING_OFF   = RING {k} - blk
    .if OB > 8
FIRSTP_OFF = FIRSTP {k} - blk
AFTERP_OFF = AFTERP {k} - blk
    .endif
  .else
        .assert next - blk = BLOCK_SIZE, error, "blocks differ in size"
  .endif
.endmacro

; A per-slot byte: table + k, or table + X in the shared match code (k < 0).
.macro SLOT_STA table, k
  .if k < 0
        sta     table,x
  .else
        sta     table + k
  .endif
.endmacro

; The length code (A, or t0/t1 when LCW = 2) of slot k's new match: its
; next step comes length = code + MM frames on, and a copy longer than the
; period passes its slot (length - 1) >> PBITS times first. In the shared
; match code (k < 0) the next slot is left in A.
.macro SET_LENGTH k
  .if HB = 0
    .if MM = 1
        sec
    .elseif LB < 8                  ; code + MM is below 256: the carry stays clear
        sec
        adc     #MM - 1
    .else
        clc
        adc     #MM - 1
        sec
    .endif
        adc     pos
    .if PBITS < 8
        and     #PMASK
    .endif
        sta     SLOT {k}
  .elseif LCW = 1                   ; length - 1 has at most 9 bits
        clc
        adc     #MM - 1             ; length - 1, its ninth bit in the carry
        sta     t0
    .if PBITS = 8
        lda     #0                  ; the passes: the ninth bit
        rol
    .else
        ror                         ; the passes, (length - 1) >> PBITS
      .repeat PBITS - 1
        lsr
      .endrepeat
    .endif
        eor     #$FF
        SLOT_STA hi, k
        lda     t0                  ; the next step, length frames on
        sec
        adc     pos
    .if PBITS < 8
        and     #PMASK
    .endif
    .if k >= 0
        sta     SLOT {k}
    .endif
  .else                             ; a two-byte length code in t1:t0 (only
        lda     t0                  ; in the shared match code, k < 0): the
        clc                         ; next step, length = code + MM frames on
        adc     #MM
        clc
        adc     pos
    .if PBITS < 8
        and     #PMASK
    .endif
        pha                         ; returned in A
    .if MM > 1                      ; length - 1 in A:t0 (its 17th bit, at 16
        lda     t0                  ; length bits, in the carry)
        clc
        adc     #MM - 1
        sta     t0
        lda     t1
        adc     #0
    .else
        lda     t1
        clc
    .endif
    .if PBITS = 8                   ; the passes: the high byte and the 17th bit
        eor     #$FF
        SLOT_STA hi, k
      .if HB = 2
        lda     #0
        rol
        eor     #$FF
        SLOT_STA {hi + 9}, k
      .endif
    .elseif PBITS >= 5              ; (length - 1) >> PBITS, below 256: A:t0
      .repeat 8 - PBITS             ; shifted left 8 - PBITS times
        asl     t0
        rol
      .endrepeat
        eor     #$FF
        SLOT_STA hi, k
    .else                           ; or right PBITS times
      .repeat PBITS
        lsr
        ror     t0
      .endrepeat
      .if HB = 2
        eor     #$FF
        SLOT_STA {hi + 9}, k
      .endif
        lda     t0
        eor     #$FF
        SLOT_STA hi, k
    .endif
        pla
  .endif
.endmacro

; A match code of one byte: the offset code above the length code.
; Leaves the source index in srcix + k and, past 0 offset bits, in A.
.macro DECODE_ONE_BYTE k
        GETBYTE
  .if MATCH_TO_COPYX
        tax                         ; X is free till COPYX
        and     #LMASK
        SET_LENGTH k
        txa                         ; the source index last, in A for the copy
    .repeat LB
        lsr
    .endrepeat
        sta     srcix + k
  .elseif OB > 0
        sta     t0
    .repeat LB
        lsr
    .endrepeat
        SLOT_STA srcix, k
        lda     t0
        and     #LMASK
        SET_LENGTH k
    .if k >= 0
        lda     srcix + k
    .endif
  .else
        SET_LENGTH k
  .endif
.endmacro

; A byte and a half: the offset code and the low bits of the length code in
; one byte, the high bits in a half-byte that two codes share (half holds
; the waiting one, $10 + its value). Leaves the source index in the copy's
; operand (8 offset bits) or in srcix + k and A.
.macro DECODE_BYTE_AND_HALF k
        GETBYTE
        sta     t0
  .if OB = 8
        sta     SRC {k}
  .elseif OB > 0 && HB > 0
    .repeat 8 - OB
        lsr
    .endrepeat
        SLOT_STA srcix, k
  .endif
        lda     half                ; the half-byte: the first of two codes opens it
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
  .if k < 0                         ; X is the slot
        sta     t1
        lda     #0
        sta     half
        lda     t1
  .else
        ldx     #0
        stx     half
    .if MATCH_TO_COPYX = 0          ; (else COPYX sets X)
        ldx     pos
    .endif
  .endif
:       ; A: the high part of the length code, above the 8 - OB bits in t0
  .if LB <= 8
    .if OB < 8
      .repeat 8 - OB
        asl
      .endrepeat
        eor     t0                  ; the low bits from t0
        and     #<~((1 << (8 - OB)) - 1)
        eor     t0
    .endif
  .else
        sta     t1
      .repeat 8 - OB
        asl
      .endrepeat
        eor     t0
        and     #<~((1 << (8 - OB)) - 1)
        eor     t0
        sta     t0
      .repeat OB
        lsr     t1
      .endrepeat
  .endif
        SET_LENGTH k
  .if OB > 0 && OB < 8 && HB = 0
        lda     t0                  ; the source index last, in A for the copy
    .repeat 8 - OB
        lsr
    .endrepeat
        sta     srcix + k
  .elseif OB > 0 && OB < 8 && k >= 0
        lda     srcix + k
  .endif
.endmacro

; Two bytes, low first: the offset code, and the length code + 1 above it.
; Leaves the source where the copy reads it (and in A below 8 offset bits).
.macro DECODE_TWO_BYTES k
  .if OB = 8
    .if k >= 0                      ; (the shared match code's caller reads it)
        GETBYTE
        sta     SRC {k}              ; the offset code is the source's ring index
    .endif
    .if LB = 8 && MM = 1 && HB = 0
        txa                         ; the next step: length code + 1 = the second byte on
        adc     (ptr),y
        iny
        sta     SLOT {k}
    .else
        GETBYTE
        sec
        sbc     #1
      .if LB < 8
        and     #LMASK
      .endif
        SET_LENGTH k
    .endif
  .elseif OB < 8
        GETBYTE
        sta     t0
    .if OB > 0
        and     #WMASK
        SLOT_STA srcix, k
    .endif
    .if OB >= 5                     ; the length code + 1 in t1:A, the second
      .if LCW = 2                   ; byte and t0 shifted left 8 - OB times
        lda     #0
        sta     t1
      .endif
        GETBYTE
      .repeat 8 - OB
        asl     t0
        rol
        .if LCW = 2
        rol     t1
        .endif
      .endrepeat
    .else                           ; or in A:t0, shifted right OB times
        GETBYTE
      .repeat OB
        lsr
        ror     t0
      .endrepeat
      .if LCW = 2
        sta     t1
      .endif
        lda     t0
    .endif
        sec
        sbc     #1
    .if LCW = 1
        and     #<LMASK
    .else
        sta     t0
        lda     t1
        sbc     #0
        and     #>LMASK
        sta     t1
    .endif
        SET_LENGTH k
    .if OB > 0 && k >= 0
        lda     srcix + k           ; in A for the copy
    .endif
  .else
        GETBYTE
        sta     SRC {k}
        GETBYTE
        sta     t0
        and     #NP - 1             ; (carry clear: the flag was 0)
        adc     FIRSTP {k}           ; + the ring's first page: the ring ends by
        sta     SRC {k} + 1          ; $FFFF, so the carry stays clear
        lda     t0
        sbc     #NP - 1             ; NP off, with the carry: the length code's + 1
        .repeat OB - 8
        lsr
        .endrepeat
    .if TB < 16
        and     #LMASK              ; (with 16 bits, 0 - 1 shifts down to LMASK)
    .endif
        SET_LENGTH k
  .endif
.endmacro

; Reads slot k's match code (carry clear): points the copy at its source
; and sets the next slot. Where copies pass their slot the code is long,
; and the nine steps share it (match_code, with the slot in X).
SHARED_MATCH = HB > 0
.macro DECODE k
  .if SHARED_MATCH && k >= 0
    .if OB = 8
        GETBYTE
        sta     SRC {k}              ; the offset code is the source's ring index
    .endif
        ldx     #k
        jsr     match_code
        sta     SLOT {k}
    .if OB = 0 || OB = 8
        ldx     pos
    .endif                          ; (below 8 bits, the copy reads srcix)
  .elseif TB <= 8
        DECODE_ONE_BYTE k
  .elseif TB <= 12
        DECODE_BYTE_AND_HALF k
  .else
        DECODE_TWO_BYTES k
  .endif
.endmacro

; Slot k's step, at its slot (a copy that passes its slot has gone back
; from the trampoline): a flag and a literal or a match. Ends in the
; block's copy or store.
.macro STEP_CODE k
        .local  lit
lit:                                ; a literal (placed first, in the branch's reach)
  .if HB > 0                        ; literal: the counter back to all ones
        dec     hi + k
    .if HB = 2
        dec     hi + 9 + k
    .endif
  .endif
        txa                         ; the next step at the next frame (carry set)
        adc     #0
  .if PBITS < 8
        and     #PMASK
  .endif
        sta     SLOT {k}
        GETBYTE
  .if LZ_STEREO
        sty     idx
        ldy     chip
  .endif
        jmp     STORE {k}
STEP {k}:
  .if LZ_STEREO
        ldy     idx
  .endif
        lsr     ctrl
        bne     :+
        GETBYTE                     ; a new control byte, a stop bit above its flags
        sec
        ror
        sta     ctrl
:       bcs     lit                 ; a literal; a match falls through
        DECODE  k
  .if LZ_STEREO
        sty     idx
        ldy     chip
  .endif
  .if MATCH_TO_COPYX
        jmp     COPYX {k}           ; the source index in A
  .else
        jmp     COPY {k}
  .endif
.endmacro

; Up to 8 offset bits the blocks are short enough that a branch reaches a
; jump to the step before or after them: a running copy then costs the
; branch not taken. Slots 0 to 3 jump from here, 4 to 8 from after the blocks
; (with COUNTED's longer blocks 0 to 4, and 5 to 8).
; A copy that passes its slot counts the pass here and goes back to its
; block (with a jmp, from after the blocks, where a branch does not reach).
TRAMPOLINES = OB <= 8
TRAMPS_FIRST = 4 + COUNTED            ; the trampolines before the blocks
.macro PASS_ON k
  .if .def(COPY {k}) && COPY {k} - (* + 2) < -128
        beq     :+
        jmp     COPY {k}
:
  .else
        bne     COPY {k}
  .endif
.endmacro
.macro TRAMPOLINE k
TRAMP {k}:
  .if HB > 0
        inc     hi + k
        PASS_ON k
    .if HB = 2
        inc     hi + 9 + k
        PASS_ON k
    .endif
  .endif
        jmp     STEP {k}
.endmacro

; The end of a call whose data may reach the song's end: with LZ_LOOP,
; loop_check counts the calls that remain.
.macro CALL_DONE
  .if LZ_LOOP
        jmp     loop_check
  .else
        clc
        rts
  .endif
.endmacro

; ------------------------------------------------------------- lz_frame
; For a game, lz_frame first looks at what the program asked for: a song
; to start, or other channels to leave alone. The stops and the restart
; write their jmp over these first three bytes.
.macro GAME_ENTRY
  .if LZ_GAME
        jmp     idle                ; nothing plays yet: lz_init writes lda lz_mute / eor #
mute_applied = *
        .byte   0                   ; the mask the stores follow
        ora     lz_request
        bne     to_attention
  .endif
.endmacro

; With COUNTED's longer blocks a game's entry leaves the trampolines
; before the blocks out of reach: there it comes first and branches over
; them (3 cycles).
GAME_FIRST = LZ_GAME && LZ_STEREO = 0 && COUNTED
.if GAME_FIRST
to_attention:                       ; within the entry's branch
        jmp     attention
lz_frame:
        GAME_ENTRY
        beq     play                ; always: nothing was asked
.endif
.if TRAMPOLINES
        .repeat TRAMPS_FIRST, k
        TRAMPOLINE k
        .endrepeat
.endif
.if LZ_STEREO = 0
  .if LZ_GAME && GAME_FIRST = 0
to_attention:                       ; within the entry's branch
        jmp     attention
  .endif
  .if GAME_FIRST = 0
lz_frame:
        GAME_ENTRY
  .endif
play:
lz_frame_2 = * + 1                  ; the entry's second byte: rts once stopped
        ldy     idx                 ; becomes sec / rts once the data has run out
.endif

; One frame: the ring index moves on, and every block runs.
frame:
.if OB = 0 || OB = 8
FRAME_OP = OP_INC_ZP
        inc     pos
        ldx     pos
.elseif COUNTED
FRAME_OP = OP_INC_ZP
        inc     pos
        ldx     pos
        txa
        and     #WMASK
        sta     posm
.elseif OB < 8
FRAME_OP = OP_LDA_ZP
        lda     pos
        clc
        adc     #1
        and     #WMASK
        sta     pos
        tax
.else
FRAME_OP = OP_INC_ZP
        inc     pos
        bne     :+
        jsr     turn_page
:       ldx     pos
.endif
blocks:
        .repeat 9, k
        BLOCK   k
        .endrepeat
.if LZ_STEREO
        rts
.if TRAMPOLINES
        .repeat 9 - TRAMPS_FIRST, i
        TRAMPOLINE i + TRAMPS_FIRST
        .endrepeat
.endif

; A pair: frame A to chip 1, frame B to chip 2. In the end mode, frame A
; that ran out stops before B.
.if LZ_GAME
to_attention:                       ; within the entry's branch
        jmp     attention
.endif
lz_frame:
        GAME_ENTRY
play:
chip_a = * + 1
lz_frame_2 = * + 1                  ; the entry's second byte: rts once stopped
        ldy     #OFFA               ; becomes sec / rts once the data has run out
        sty     chip
frame_a = * + 1                     ; frame, or a game's hook that mutes chip 1's channels
        jsr     frame
        lda     idx
mid_limit = * + 1
        cmp     #$FF                ; the end mode: bytes left + 1
        bcs     stop
chip_b = * + 1
        ldy     #OFFB
        sty     chip
frame_b = * + 1                     ; and chip 2's
        jsr     frame
        lda     idx
limit = * + 1
        cmp     #0                  ; rebase when the data index reaches it
.else
limit = * + 1
        cpy     #0                  ; rebase when the data index reaches it
.endif
; Where the trampolines after the blocks count passes, they push the
; tail's targets out of its branch's reach: the branch goes to a jmp.
FAR_TAIL = HB > 0 && LZ_STEREO = 0
tail_branch:
tail_to = * + 1                     ; the branch's offset: rebase, switch or end_tail
.if FAR_TAIL
        bcs     tail_jmp
.else
        bcs     rebase              ; near the end switch, in the end mode end_tail
.endif
.if LZ_STEREO = 0
        sty     idx
.endif
        clc
        rts
.if LZ_STEREO = 0
.if TRAMPOLINES
        .repeat 9 - TRAMPS_FIRST, i
        TRAMPOLINE i + TRAMPS_FIRST
        .endrepeat
.endif
.endif
.if FAR_TAIL
tail_jmp:
        jmp     rebase              ; rebase, switch or end_tail
.endif

; Points the tail at rebase, switch or end_tail.
.macro SET_TAIL target
  .if FAR_TAIL
        lda     #<target
        sta     tail_jmp + 1
        lda     #>target
        sta     tail_jmp + 2
  .else
        .assert target - (tail_branch + 2) < 128, error, "the tail's branch does not reach"
        lda     #target - (tail_branch + 2)
        sta     tail_to
  .endif
.endmacro

; The end mode, after the frame (pair): written when its data lay before
; the end.
end_tail:
.if LZ_STEREO
end_limit = * + 1
        cmp     #0                  ; bytes left + 1 (with LZ_LOOP, bytes left)
.else
end_limit = * + 1
        cpy     #0
.endif
.if LZ_LOOP
        bcs     at_end              ; the data read to the song's end, or past it
.else
        bcs     stop
.endif
.if LZ_STEREO = 0
        sty     idx
.endif
        jsr     write_registers
        clc
        rts
.if LZ_LOOP
at_end: bne     stop                ; past it: ran out
  .if LZ_STEREO = 0
        sty     idx
  .endif
        jsr     write_registers
        jmp     count
.endif

; The one place playing stops: lz_frame only returns carry set from now on.
stop:
.if LZ_GAME
        lda     #OP_JMP             ; a game's lz_frame still takes requests
        sta     lz_frame
        lda     #<idle
        sta     lz_frame + 1
        lda     #>idle
        sta     lz_frame + 2
.else
        lda     #OP_SEC
        sta     lz_frame
        lda     #OP_RTS
        sta     lz_frame_2
.endif
        sec
        rts

; Far from the end, the data index (Y, or A in stereo) is past its limit:
; ptr moves on to it.
rebase:
.if LZ_STEREO = 0
        tya
.endif
        clc
        adc     ptr
        sta     ptr
        bcc     :+
        inc     ptr+1
:       lda     #0
        sta     idx
        ; fall through

; Sets the limit of the data index (idx = 0): Y may pass it only while
; the next call's bytes all lie before the song's end and within Y's
; reach. Far from the end (256 - FRAME_BYTES bytes or more), passing it
; moves ptr on; nearer, where Y cannot overflow in the end mode, ptr stays
; and passing it switches into the end mode, whose test is set here;
; nearer than the bytes of a call, the end mode starts at once. Returns
; carry clear.
choose_mode:
end_lo = * + 1
        lda     #0                  ; the song's end
        sec
        sbc     ptr
        tay
end_hi = * + 1
        lda     #0
        sbc     ptr+1
        bne     far
.if LZ_LOOP
        sty     data_left
.endif
        cpy     #256 - FRAME_BYTES
        bcs     closer              ; still too far for the end mode's Y
.if LZ_LOOP
        sty     end_limit           ; the end mode's test: Y at the song's end or past it
.endif
        iny                         ; or Y below the bytes left + 1
.if LZ_LOOP = 0
        sty     end_limit
.endif
.if LZ_STEREO
        sty     mid_limit
.endif
        SET_TAIL switch
        tya
        sec
        sbc     #NEED               ; bytes left + 1 - NEED: the limit, if positive
        beq     enter_end_mode
        bcc     enter_end_mode
set_limit:
        sta     limit
        CALL_DONE
far:
.if LZ_LOOP
        ldy     #$FF                ; not near: loop_check finds no end
        sty     data_left
.endif
        lda     #<(256 - NEED)        ; Y at most 255 - NEED: a call ends Y at 255 or below
        bne     set_limit           ; always
closer: tya                         ; ptr moves on again at bytes left - NEED
        sbc     #NEED - 1           ; (carry set)
        bcs     set_limit           ; always

; Near the end, Y has passed the limit: the next call's bytes may lie past
; the end.
switch:
.if LZ_STEREO = 0
        sty     idx
.endif
        ; fall through

; The end mode: the stores go to the buffer (or nowhere), every call comes
; to end_tail, and with endbuf in stereo the chips' offsets index it.
enter_end_mode:
.if LZ_STEREO && BIT_END = 0
        lda     #0
        sta     chip_a
        lda     #9
        sta     chip_b
.endif
        SET_TAIL end_tail
        lda     #0
        sta     limit
.if LZ_GAME
        lda     #$80
        sta     endmode
.endif
.if BIT_END
        lda     #OP_REG_SKIP
  .if LZ_LOOP
        jsr     set_stores
        jmp     loop_check
  .endif
set_stores:                         ; A: the opcode of every register store
        .repeat 9, k
        sta     REG {k}
        .endrepeat
        clc
        rts
.else
        .repeat 9, k
        lda     #<(endbuf + 8 - k)
        sta     REGAT {k}
        lda     #>(endbuf + 8 - k)
        sta     REGAT {k} + 1
        .endrepeat
  .if LZ_GAME
        jsr     patch_current       ; every store to endbuf, muted or not
  .endif
        CALL_DONE
.endif

; The end mode's writes: the frame's values from the rings (from skipv for
; a channel left out; in stereo the pair's first frame is at ring index
; X - 1), or the pair's from endbuf.
write_registers:
.if BIT_END
  .if COUNTED
        ldx     posm
  .endif
  .if LZ_STEREO
        stx     t0                  ; frame B's ring index
        dex                         ; frame A's, the one before
    .if OB < 8
        txa
        and     #WMASK
        tax
    .endif
        ldy     #OFFA
out_a = * + 1                       ; outputs, or a game's hook that mutes chip 1's channels
        jsr     outputs
        ldx     t0
        ldy     #OFFB
  .endif
outputs:                            ; the values at ring index X (Y: the chip)
out_from = outputs + 1              ; each site's operand, 6 bytes apart
        .repeat 9, k
        lda     a:$FFFF,x
    .if LZ_STEREO
        sta     a:REGS + 8 - k,y
    .else
        sta     a:LZ_POKEY + 8 - k
    .endif
        .endrepeat
        .assert (* - outputs) = 54, error, "output sites are 6 bytes apart"
.elseif LZ_GAME || (LZ_STEREO && OB > 8)
        .repeat 9, r                ; unrolled: set_mute makes a muted register's store
                                    ; BIT; for two chips, 64 cycles less than the loop
        lda     endbuf + r
        sta     a:LZ_POKEY + r
  .if LZ_STEREO
        lda     endbuf + 9 + r
        sta     a:LZ_POKEY2 + r
  .endif
        .endrepeat
ENDBUF_SITE = 6 * CHIPS             ; bytes from one register's writes to the next's
.else
        ldx     #8
:       lda     endbuf,x
        sta     LZ_POKEY,x
  .if LZ_STEREO
        lda     endbuf + 9,x
        sta     LZ_POKEY2,x
  .endif
        dex
        bpl     :-
.endif
        rts

.if OB > 8
; The ring index enters a new page: every ring store moves there.
turn_page:
        inc     posh
        lda     posh
        and     #NP - 1
        sta     posh
        beq     :+                  ; back to the rings' first pages
        .repeat 9, k
        inc     RING {k}            ; (a left-out channel's store is never run)
        .endrepeat
        rts
:       .repeat 9, k
        lda     FIRSTP {k}
        sta     RING {k}
        .endrepeat
        rts
.endif

steps:
        .repeat 9, k
        STEP_CODE k
        .endrepeat

.if SHARED_MATCH
; Slot X's match code (carry clear); returns its next slot in A.
match_code:
        DECODE  -1
        rts
.endif

.if LZ_LOOP
; ------------------------------------------------------------- the loop
; lz_frame's entry, put back by the restart: its first three bytes, which
; the armed restart overwrites with a jmp.
  .if LZ_GAME
ENTRY_OP1 = OP_LDA_ZP
ENTRY_OP2 = <lz_mute
ENTRY_OP3 = OP_EOR_IMM
  .elseif LZ_STEREO
ENTRY_OP1 = OP_LDY_IMM
ENTRY_OP2 = OFFA
ENTRY_OP3 = OP_STY_ZP
  .else
ENTRY_OP1 = OP_LDY_ZP
ENTRY_OP2 = <idx
ENTRY_OP3 = FRAME_OP
  .endif

; After lz_init, after the restart and after a call that changes modes
; (end_tail tests the end itself): once the data is read to the song's end,
; the calls are counted down (cnt: the calls left + 1), and after the last
; one lz_frame's entry jumps to the restart. For a song without a loop
; lz_init makes count's first instruction clc / rts. Returns carry clear.
loop_check:
        lda     idx                 ; the data read, from ptr
data_left = * + 1
        cmp     #$FF                ; the song's end, from ptr (near it; else $FF)
        bne     counted
count:  dec     cnt
        bne     counted
        lda     cnt + 1
        beq     arm
        dec     cnt + 1
counted:
        clc
        rts
arm:    lda     #OP_JMP
        sta     lz_frame
        lda     #<restart
        sta     lz_frame + 1
        lda     #>restart
        sta     lz_frame + 2
        clc
        rts

; Slot k's part of the restart: the state after the loop start's frame
; (pair) and that frame's value, into the ring and the register. lz_init
; writes every operand from the loop record.
.macro RESTART_SLOT k
        .local  first, store_slot, src, srch, ring, h1, h2, va, ra, vb, rb
first:  lda     #0                  ; the ring index of the next step
store_slot:
        sta     SLOT {k}            ; (BIT for a channel left out)
  .if OB > 0 && OB < 8
src:    lda     #0                  ; the next value the copy reads
        sta     srcix + k
  .elseif OB = 8
src:    lda     #0
        sta     SRC {k}
  .elseif OB > 8
src:    lda     #0
        sta     SRC {k}
srch:   lda     #0
        sta     SRC {k} + 1
ring:   lda     #0                  ; the page of the frame's ring index
        sta     RING {k}
  .endif
  .if HB > 0
h1:     lda     #0                  ; the slots the copy still passes
        sta     hi + k
    .if HB = 2
h2:     lda     #0
        sta     hi + 9 + k
    .endif
  .endif
va:     lda     #0                  ; the loop start's value
ra:     sta     $FFFF               ; to its ring slot (a spare byte when left out)
        sta     a:LZ_POKEY + 8 - k  ; and to its register
  .if LZ_STEREO
vb:     lda     #0                  ; the next frame's, to chip 2
rb:     sta     $FFFF
        sta     a:LZ_POKEY2 + 8 - k
  .endif
  .if k = 0
RC_SIZE  = * - first
RC_SLOT  = 1
RC_STORE = store_slot - first
RC_VA    = va + 1 - first
RC_RA    = ra + 1 - first
    .if OB > 0
RC_SRC   = src + 1 - first
    .endif
    .if OB > 8
RC_SRCH  = srch + 1 - first
RC_RING  = ring + 1 - first
    .endif
    .if HB > 0
RC_H1    = h1 + 1 - first
    .endif
    .if HB = 2
RC_H2    = h2 + 1 - first
    .endif
    .if LZ_STEREO
RC_VB    = vb + 1 - first
RC_RB    = rb + 1 - first
    .endif
  .else
        .assert * - first = RC_SIZE, error, "restart slots differ in size"
  .endif
.endmacro

; The call after the song's last frame (pair), armed by loop_check: the
; loop start's frame (pair) is played from the record, not decoded, and the
; player goes on from the state after it.
restart:
  .if LZ_GAME
        lda     lz_request
        beq     :+
        jmp     take_request        ; a song asked for starts instead
:       lda     lz_mute
        cmp     mute_applied
        beq     :+
        jsr     apply_mute
:
  .endif
        lda     #ENTRY_OP1          ; lz_frame's entry back
        sta     lz_frame
        lda     #ENTRY_OP2
        sta     lz_frame + 1
        lda     #ENTRY_OP3
        sta     lz_frame + 2
        jsr     direct_mode
r_ptr_lo = * + 1
        lda     #0                  ; the data after the loop start's frame
        sta     ptr
r_ptr_hi = * + 1
        lda     #0
        sta     ptr + 1
        lda     #0
        sta     idx
r_ctrl = * + 1
        lda     #0
        sta     ctrl
  .if TB >= 9 && TB <= 12
r_half = * + 1
        lda     #0
        sta     half
  .endif
r_pos = * + 1
        lda     #0
        sta     pos
  .if OB > 8
r_posh = * + 1
        lda     #0
        sta     posh
  .endif
r_cnt_lo = * + 1
        lda     #0
        sta     cnt
r_cnt_hi = * + 1
        lda     #0
        sta     cnt + 1
restart_slots:
        .repeat 9, k
        RESTART_SLOT k
        .endrepeat
        jmp     choose_mode         ; the mode for the data left, and loop_check

; Where lz_init finds each record field of a slot (the entry's offset) and
; the restart operand it goes to.
loop_fields:
        .byte   0, 5
  .if OB > 0
        .byte   1
  .endif
  .if HB > 0
        .byte   3
  .endif
  .if HB = 2
        .byte   4
  .endif
  .if LZ_STEREO
        .byte   6
  .endif
LOOP_FIELDS = * - loop_fields
loop_operands:
        .byte   RC_SLOT, RC_VA
  .if OB > 0
        .byte   RC_SRC
  .endif
  .if HB > 0
        .byte   RC_H1
  .endif
  .if HB = 2
        .byte   RC_H2
  .endif
  .if LZ_STEREO
        .byte   RC_VB
  .endif
.endif

.if LZ_GAME
; ------------------------------------------------------------- the game
; lz_frame's first look found a request or a new mute. A song asked for
; starts, its first frame being this call's; a new mute is applied before
; the frame plays.
attention:
        lda     lz_request
        beq     new_mute
take_request:
        ldx     #0
        stx     lz_request
        sec
        sbc     #1
        jmp     lz_song
new_mute:
        jsr     apply_mute
        jmp     play

; lz_frame while no song plays: only a request starts one.
idle:   lda     lz_request
        bne     take_request
        sec
        rts

; A = a song number: starts the table's song as lz_init does. Carry set,
; and nothing written, when there is no such song; nothing plays then.
lz_song:
        cmp     lz_songs            ; the number of songs
        bcs     no_song
        sta     t0                  ; its entry: lz_songs + 1 + 10 A
        lda     #0
        sta     t1
        asl     t0
        rol     t1
        lda     t0                  ; 2 A
        ldx     t1
        asl     t0
        rol     t1
        asl     t0
        rol     t1
        clc                         ; + 8 A
        adc     t0
        sta     t0
        txa
        adc     t1
        sta     t1
        lda     t0
        clc
        adc     #<(lz_songs + 1)
        sta     t0
        lda     t1
        adc     #>(lz_songs + 1)
        sta     t1
        ldy     #8                  ; its calls per lz_play and its flags
        lda     (t0),y
        pha
        iny
        lda     (t0),y
        pha
        lda     t0
        ldx     t1
        jsr     lz_init
        pla
        tax
        pla
        bcs     :+
        sta     song_calls
        stx     song_flags
:       rts
no_song:
        jmp     stop

; Silences the channels the music owns (AUDC 0; a muted channel is the
; program's and is left alone). lz_frame plays nothing until a song starts.
lz_stop:
        jsr     stop
        ldx     #3                  ; channel 4 ... 1
silence:
        txa
        asl
        tay                         ; its AUDF's register, AUDC the next
        lda     lz_mute
        and     channel_bit,x
        bne     :+
        lda     #0
        sta     LZ_POKEY + 1,y
:
  .if LZ_STEREO
        lda     lz_mute
        and     channel_bit + 4,x
        bne     :+
        lda     #0
        sta     LZ_POKEY2 + 1,y
:
  .endif
        dex
        bpl     silence
        rts

; For the vertical blank: the song's lz_frame calls of one display frame.
; With lz_ntsc set, a 50 Hz song skips one lz_play in six (60 Hz).
lz_play:
        lda     lz_ntsc
        beq     play_calls
        lda     song_flags
        lsr
        bcc     play_calls
        dec     ntsc_count
        bpl     play_calls
        lda     #5
        sta     ntsc_count
        rts
play_calls:
        lda     song_calls
        sta     calls_left
:       jsr     lz_frame
        dec     calls_left
        bne     :-
        rts

; A new mute, and the values of the channels left out that it gives back.
apply_mute:
        jsr     set_mute
        ; fall through

; The channels left out are written only by lz_init and here: their values
; go to the registers that are not muted.
write_left_out:
        ldx     #8                  ; slots 8 ... 1 (AUDCTL is never muted)
left_out:
        lda     blk_lo,x
        sta     t0
        lda     blk_hi,x
        sta     t1
        ldy     #0
        lda     (t0),y
        cmp     #OP_JMP             ; a block jumped over
        bne     next_left_out
        stx     iscr
        lda     #8
        sec
        sbc     iscr
        tay                         ; its register
  .if BIT_END
        lda     skipv,x
  .else
        lda     endbuf,y
  .endif
        ldx     regmute,y
        bne     :+
        sta     LZ_POKEY,y
:
  .if LZ_STEREO
    .if BIT_END = 0
        lda     endbuf + 9,y
    .endif
        ldx     regmute + 9,y
        bne     :+
        sta     LZ_POKEY2,y
:
  .endif
        ldx     iscr
next_left_out:
        dex
        bne     left_out
        rts

; Takes lz_mute as the mask the player follows: the table of muted
; registers and every register store that depends on it.
set_mute:
        lda     lz_mute
        sta     mute_applied
        ldy     #7
:       tya
        lsr
        tax                         ; the register's channel
        lda     mute_applied
        and     channel_bit,x
        sta     regmute,y
  .if LZ_STEREO
        lda     mute_applied
        and     channel_bit + 4,x
        sta     regmute + 9,y
  .endif
        dey
        bpl     :-
        lda     #0                  ; AUDCTL is the music's
        sta     regmute + 8
  .if LZ_STEREO
        sta     regmute + 17
        lda     mute_applied
        lsr
        lsr
        lsr
        lsr
        sta     mute_b
        lda     mute_applied
        and     #$0F
        sta     mute_a
        ldx     #<frame             ; the same on both chips: the stores are set once
        ldy     #>frame
        cmp     mute_b
        beq     :+
        ldx     #<frame_a_hook      ; else each frame sets its chip's
        ldy     #>frame_a_hook
:       stx     frame_a
        sty     frame_a + 1
        beq     :+
        ldx     #<frame_b_hook
        ldy     #>frame_b_hook
:       stx     frame_b
        sty     frame_b + 1
    .if BIT_END
        ldx     #<outputs           ; and so do the end mode's writes
        ldy     #>outputs
        cmp     mute_b
        beq     :+
        ldx     #<out_hook
        ldy     #>out_hook
:       stx     out_a
        sty     out_a + 1
    .endif
  .endif
        jsr     patch_current
  .if BIT_END = 0
        ldx     #7                  ; the end mode's writes from endbuf
        ldy     #7 * ENDBUF_SITE
:       lda     regmute,x
        jsr     store_op
        sta     write_registers + 3,y
    .if LZ_STEREO
        lda     regmute + 9,x
        jsr     store_op
        sta     write_registers + 9,y
    .endif
        tya
        sec
        sbc     #ENDBUF_SITE
        tay
        dex
        bpl     :-
  .endif
  .if LZ_LOOP
        ldx     #8                  ; the restart's register stores
restart_stores:
        lda     rc_lo,x
        sta     t0
        lda     rc_hi,x
        sta     t1
        stx     iscr
        lda     #8
        sec
        sbc     iscr
        tax                         ; the slot's register
        lda     regmute,x
        jsr     store_op
        ldy     #RC_RA + 2
        sta     (t0),y
    .if LZ_STEREO
        lda     regmute + 9,x
        jsr     store_op
        ldy     #RC_RB + 2
        sta     (t0),y
    .endif
        ldx     iscr
        dex
        bpl     restart_stores
  .endif
        rts

; A register's store: STA, or BIT when muted (Z clear).
store_op:
        beq     :+
        lda     #OP_BIT_ABS
        rts
:       lda     #OP_STA_ABS
        rts

channel_bit:
        .byte   1, 2, 4, 8, 16, 32, 64, 128

; The stores for the mask in force (chip 1's: a frame of chip 2 with other
; channels muted sets its own).
patch_current:
  .if LZ_STEREO
        lda     mute_a
  .else
        lda     mute_applied
        and     #$0F
  .endif
        ; fall through

; A: four bits, 1 for each channel left to the program. Its registers'
; stores skip: the blocks' out of the end mode (in it, with BIT_END they
; skip anyway and without it they write endbuf) and the end mode's writes
; from the rings. Keeps X and Y.
patch_regs:
        sta     t1
        .repeat 4, c
        lsr     t1
        lda     #OP_REG_STORE
        bcc     :+
        lda     #OP_REG_SKIP
:
    .if BIT_END
        sta     outputs + 6 * (8 - 2 * c) + 3
        sta     outputs + 6 * (7 - 2 * c) + 3
        bit     endmode
        bpl     :+
        lda     #OP_REG_SKIP
:
    .else
        bit     endmode
        bpl     :+
        lda     #OP_REG_STORE
:
    .endif
        sta     REG {8 - 2 * c}
        sta     REG {7 - 2 * c}
        .endrepeat
        rts

  .if LZ_STEREO
; Two chips with different channels muted: each frame, and each chip's
; end-mode writes, first sets its chip's stores.
frame_a_hook:
        lda     mute_a
        jsr     patch_regs
        jmp     frame
frame_b_hook:
        lda     mute_b
        jsr     patch_regs
        jmp     frame
    .if BIT_END
out_hook:                           ; chip 1's writes, then chip 2's stores for its own
        lda     mute_a
        jsr     patch_regs
        jsr     outputs
        lda     mute_b
        jmp     patch_regs
    .endif
  .endif
.endif

; ---------------------------------------------------------------- lz_init
; Two tables, of the low and the high bytes of count addresses size bytes
; apart from base.
.macro ADDRESS_TABLES lo, hi, base, size, count
lo:     .repeat count, k
        .byte   <(base + k * size)
        .endrepeat
hi:     .repeat count, k
        .byte   >(base + k * size)
        .endrepeat
.endmacro

; Block addresses, slot 0 (channel 8) to 8.
        ADDRESS_TABLES blk_lo, blk_hi, blocks, BLOCK_SIZE, 9

FIRST_SLOT = PMASK                  ; the first step's ring index, -1 (frame 0 is at -2)

no_header:
        jmp     stop                ; carry is set

; On to no_header when the carry is set (bcs) or clear (bcc): where the
; branch does not reach back, over a jmp.
.macro TO_NO_HEADER op
        .local  on
  .if no_header - (* + 2) >= -128
        op      no_header
  .elseif .xmatch({op}, bcs)
        bcc     on
        jmp     stop
  .else
        bcs     on
        jmp     stop
  .endif
on:
.endmacro

; lz_init first keeps the song's bounds and buffers, and puts lz_frame
; back at its start.
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
        lda     (t0),y              ; end
        sta     end_lo
        sec
        sbc     ptr
        tax                         ; the song's bytes (255 for more)
        iny
        lda     (t0),y
        sta     end_hi
        sbc     ptr+1
        beq     :+
        ldx     #$FF
:
.if LZ_OLD_FORMAT = 0
        cpx     #10                 ; the header's ten bytes must be there
        bcc     no_header
.endif
.if LZ_STEREO || LZ_OLD_FORMAT
        stx     iavail
.endif
        iny
        lda     (t0),y              ; buffers
        sta     rbuf
        bne     no_header           ; the rings must start a page
        iny
        lda     (t0),y
        sta     rbuf+1
.if LZ_LOOP
        iny
        lda     (t0),y              ; the loop record
        sta     rec_at
        iny
        lda     (t0),y
        sta     rec_at + 1
        lda     #ENTRY_OP3          ; the byte an armed restart overwrites
        sta     lz_frame + 2
.endif
.if LZ_GAME
        lda     #OP_LDA_ZP          ; the entry's first look
        sta     lz_frame
        lda     #<lz_mute
        sta     lz_frame + 1
  .if LZ_LOOP = 0
        lda     #OP_EOR_IMM
        sta     lz_frame + 2
  .endif
.elseif LZ_STEREO
        lda     #OP_LDY_IMM
        sta     lz_frame
.else
        lda     #OP_LDY_ZP
        sta     lz_frame
        lda     #idx
        sta     lz_frame_2
.endif
        lda     #0
        sta     ctrl
        sta     idx                 ; also counts the header's bytes
.if TB >= 9 && TB <= 12
        sta     half
.endif
.if OB > 8
        lda     #<(WIN - 2)         ; frame 0 at ring index -2
        sta     pos
        lda     #NP - 1
        sta     posh
.else
        lda     #$FE & PMASK
        sta     pos
  .if COUNTED
        lda     #(WIN - 2) & WMASK
        sta     posm
  .endif
.endif
.if LZ_LOOP
        jsr     loop_params
.endif
.if LZ_GAME
        jsr     set_mute
        lda     #1                  ; lz_song sets the song's own
        sta     song_calls
        lda     #0
        sta     song_flags
        sta     lz_request          ; a song starting answers any request
        lda     #5
        sta     ntsc_count
.endif
PAIR = LZ_STEREO && LZ_OLD_FORMAT = 0    ; a first pair to play (first_pair)
.if PAIR = 0                        ; (first_pair leaves the end mode itself)
        jsr     direct_mode
.endif
        jsr     header_byte         ; the mask
        sta     im
.if LZ_OLD_FORMAT                   ; then a byte for each channel it leaves
        ldx     #0                  ; out: all must be there before any is
        ldy     #8                  ; written
:       lsr
        bcc     :+
        inx
:       dey
        bne     :--
        cpx     iavail              ; the mask's byte and X more
        TO_NO_HEADER bcs
.endif
        ldx     #0
channels:
        jsr     init_channel
        inx
        cpx     #9
        bcc     channels
.if PAIR
; The first pair: frame 0, from the header, and frame 1, the first step,
; played in the end mode; both chips are written when frame 1 is complete.
first_pair:
        jsr     enter_end_mode
  .if BIT_END
        ldy     #OFFB
  .else
        ldy     #9                  ; frame 1 to chip 2's half of endbuf
  .endif
        sty     chip
        jsr     frame               ; read on from the header's end (idx)
        lda     iavail              ; complete: idx <= end - ptr
        cmp     idx
        TO_NO_HEADER bcc
        jsr     write_registers
        jsr     direct_mode
        lda     idx                 ; ptr moves on past the header and the pair
        jmp     rebase
.elseif LZ_STEREO
        lda     idx                 ; the steps follow the header: ptr moves on
        jmp     rebase
.else
  .if LZ_OLD_FORMAT = 0
        ldx     pos                 ; frame 0 (ring index pos) to the registers
        jsr     write_registers
  .endif
        ldy     idx                 ; the steps follow the header: ptr moves on
        jmp     rebase
.endif

; Out of the end mode: the stores go to the chips. (limit stays 0: the
; next call rebases.)
direct_mode:
.if LZ_STEREO && BIT_END = 0
        lda     #OFFA
        sta     chip_a
        lda     #OFFB
        sta     chip_b
.endif
.if LZ_STEREO
        lda     #$FF
        sta     mid_limit
.endif
        SET_TAIL rebase
        lda     #0
        sta     limit
.if LZ_GAME
        sta     endmode
.endif
.if BIT_END
        lda     #OP_REG_STORE
  .if LZ_GAME
        jsr     set_stores
  .else
        jmp     set_stores
  .endif
.elseif LZ_LOOP
        .repeat 9, k                ; unrolled, for the restart's sake
        lda     #<(REGS + 8 - k)
        sta     REGAT {k}
        lda     #>(REGS + 8 - k)
        sta     REGAT {k} + 1
        .endrepeat
.else
        ldx     #8                  ; slot X's store: REGS + 8 - X
:       lda     blk_lo,x
        sta     t0
        lda     blk_hi,x
        sta     t1
        stx     iscr
        lda     #<(REGS + 8)
        sec
        sbc     iscr
        ldy     #REG_OFF
        sta     (t0),y
        lda     #>(REGS + 8)
        sbc     #0
        iny
        sta     (t0),y
        dex
        bpl     :-
.endif
.if LZ_GAME
        jmp     patch_current       ; a muted channel's stores skip again
.elseif BIT_END = 0
        rts
.endif

; Slot X (channel 8 - X) from the header: a channel left out is jumped over
; and keeps its value; a kept one gets the next ring and steps at the first
; frame. Keeps X. The values go where the end mode writes the registers
; from (the ring, skipv or endbuf), to be written once all are read; in the
; old format (-x), which has no frame 0, a left-out channel's value goes to
; its register at once (lz_init has checked that the header is whole).
init_channel:
        lda     blk_lo,x
        sta     t0
        lda     blk_hi,x
        sta     t1
        lsr     im                  ; (slot 8, channel 0, is never left out:
        bcc     kept                ; it finds the mask's eight bits used up)
        ldy     #0                  ; jmp to the next block
        lda     #OP_JMP
        sta     (t0),y
        iny
        lda     blk_lo + 1,x
        sta     (t0),y
        iny
        lda     blk_hi + 1,x
        sta     (t0),y
.if BIT_END
        txa                         ; its end-mode write: lda skipv + k
        adc     #<(skipv - 1)       ; (carry set: the mask's bit)
        sta     t0
        lda     #>(skipv - 1)
        adc     #0
        sta     t1
        lda     #OP_LDA_ABS
        jsr     set_output
.elseif OB > 8
        lda     #0                  ; a first page that turning pages cannot carry out of
        ldy     #FIRSTP_OFF
        sta     (t0),y
.endif
        jsr     header_byte
.if BIT_END
        sta     skipv,x
.else
        jsr     register_of_slot
        sta     endbuf,y
  .if LZ_STEREO
        sta     endbuf + 9,y
  .endif
.endif
.if LZ_OLD_FORMAT
        jsr     write_register
.endif
.if LZ_LOOP
        lda     #0                  ; no ring
        sta     iring + 1
        jsr     loop_slot
.endif
        rts

kept:   ldy     #0                  ; cpx #first slot; bne
        lda     #OP_CPX_IMM
        sta     (t0),y
        iny
        lda     #FIRST_SLOT
        sta     (t0),y
        iny
.if TRAMPOLINES
        lda     #OP_BEQ
.else
        lda     #OP_BNE
.endif
        sta     (t0),y
.if HB > 0
        lda     #$FF
        sta     hi,x
  .if HB = 2
        sta     hi + 9,x
  .endif
.endif
        jsr     set_ring
.if LZ_LOOP
        lda     t0
        sta     iring
        lda     t1
        sta     iring + 1
.endif
.if LZ_OLD_FORMAT = 0
        jsr     header_byte         ; frame 0, at ring index -2
  .if OB = 0
        ldy     #0
  .elseif OB < 8
        ldy     #(WIN - 2) & WMASK
  .else
        ldy     #$FE
    .if OB > 8
        pha
        lda     t1                  ; the ring's last page
        clc
        adc     #NP - 1
        sta     t1
        pla
    .endif
  .endif
        sta     (t0),y
  .if BIT_END = 0
        jsr     register_of_slot    ; and for chip 1 to endbuf
        sta     endbuf,y
  .endif
.endif
.if LZ_LOOP
        jsr     loop_slot
.endif
        rts

.if LZ_OLD_FORMAT
; Writes A to register 8 - X, on both chips in stereo. Keeps X.
write_register:
.if BIT_END                         ; register_of_slot's work, in line: only this uses it here
        pha
        txa
        eor     #$FF
        clc
        adc     #9
        tay
        pla
.else
        jsr     register_of_slot
.endif
.if LZ_GAME
        pha                         ; a muted register is the program's
        lda     regmute,y
        bne     :+
        pla
        pha
        sta     LZ_POKEY,y
:
  .if LZ_STEREO
        lda     regmute + 9,y
        bne     :+
        pla
        pha
        sta     LZ_POKEY2,y
:
  .endif
        pla
.else
        sta     LZ_POKEY,y
  .if LZ_STEREO
        sta     LZ_POKEY2,y
  .endif
.endif
        rts
.endif

.if BIT_END = 0
; Y = 8 - X: slot X's register. Keeps A and X.
register_of_slot:
        pha
        txa
        eor     #$FF
        clc
        adc     #9
        tay
        pla
        rts
.endif

; Points the copy and the store of the block at t0/t1 (slot X) at the next
; ring, rbuf, and its end-mode write too; leaves the ring's address in
; t0/t1 and moves rbuf on to the ring after. Keeps X.
set_ring:
.if OB <= 8
  .if OB < 8
        lda     rbuf
        ldy     #SRC_OFF
        sta     (t0),y
        ldy     #RING_OFF
        sta     (t0),y
        pha
  .endif
        lda     rbuf+1
        ldy     #SRC_OFF + 1
        sta     (t0),y
        ldy     #RING_OFF + 1
        sta     (t0),y
        sta     t1
  .if OB < 8
        pla
        sta     t0
        clc
        adc     #WIN
        sta     rbuf
        bcc     :+
        inc     rbuf+1
:
  .else
        lda     #0                  ; (rbuf's low byte: the rings start a page)
        sta     t0
        inc     rbuf+1
  .endif
.else
        lda     rbuf+1
        ldy     #FIRSTP_OFF
        sta     (t0),y
        pha
        clc
        adc     #NP - 1             ; frame 0's page
        ldy     #RING_OFF
        sta     (t0),y
        adc     #1
        ldy     #AFTERP_OFF
        sta     (t0),y
        sta     rbuf+1              ; the next ring's page
        pla
        sta     t1
        lda     #0                  ; (rbuf's low byte: the rings start a page)
        sta     t0
.endif
.if BIT_END
  .if OB = 0
        lda     #OP_LDA_ABS
  .else
        lda     #OP_LDA_ABSX
  .endif
        ; fall through

; Writes the instruction A with the operand t0/t1 where the end mode reads
; slot X's value. Keeps X.
set_output:
        pha
        txa
        asl
        sta     iscr
        asl
        adc     iscr                ; 6 * k
        tay
        pla
        sta     outputs,y
        lda     t0
        sta     out_from,y
        lda     t1
        sta     out_from + 1,y
.endif
        rts

.if LZ_LOOP
; The loop record's start, the restart's global operands and the first
; count (rec_at = 0: a song without a loop, for which loop_check only
; returns). ptr is the song's start.
loop_params:
        lda     #$FF                ; lz_init's first check finds no end
        sta     data_left
        lda     rec_at
        ora     rec_at + 1
        bne     :+
        lda     #OP_CLC
        sta     count
        lda     #OP_RTS
        sta     count + 1
        rts
:       lda     #OP_DEC_ZP
        sta     count
        lda     #<cnt
        sta     count + 1
        ldy     #0
        jsr     rec_byte            ; the data after the loop start, from the song's start
        clc
        adc     ptr
        sta     r_ptr_lo
        iny
        jsr     rec_byte
        adc     ptr+1
        sta     r_ptr_hi
        iny
        jsr     rec_byte
        sta     r_ctrl
        iny
  .if TB >= 9 && TB <= 12
        jsr     rec_byte
        sta     r_half
  .endif
        iny
        jsr     rec_byte
        sta     r_pos
        iny
  .if OB > 8
        jsr     rec_byte
        sta     r_posh
  .endif
        iny
        jsr     rec_byte            ; the calls counted after lz_init, + 1
        clc
        adc     #1
        sta     cnt
        iny
        jsr     rec_byte
        adc     #0
        sta     cnt + 1
        iny
        jsr     rec_byte            ; and after the restart
        clc
        adc     #1
        sta     r_cnt_lo
        iny
        jsr     rec_byte
        adc     #0
        sta     r_cnt_hi
        rts

; A: the loop record's byte Y. Keeps X, Y and the carry.
rec_byte:
rec_at = * + 1
        lda     $FFFF,y
        rts

; Slot X's restart code from its record entry (10 + 8 X): its fields, and
; for a kept channel (ring at iring) its ring slots; a channel left out
; (iring + 1 = 0) keeps its jump, and its ring stores go to a spare byte.
loop_slot:
        lda     rec_at
        ora     rec_at + 1
        beq     loop_slot_done
        lda     rc_lo,x
        sta     t0
        lda     rc_hi,x
        sta     t1
        txa
        asl
        asl
        asl
        adc     #10
        sta     ie
        ldy     #LOOP_FIELDS - 1
:       sty     iscr
        lda     loop_fields,y
        clc
        adc     ie
        tay
        jsr     rec_byte
        pha
        ldy     iscr
        lda     loop_operands,y
        tay
        pla
        sta     (t0),y
        ldy     iscr
        dey
        bpl     :-
        lda     iring + 1
        bne     kept_slot
        ldy     #RC_STORE
        lda     #OP_BIT_ABS
        sta     (t0),y
        ldy     #RC_RA
        jsr     spare_site
  .if LZ_STEREO
        ldy     #RC_RB
        jsr     spare_site
  .endif
loop_slot_done:
        rts
kept_slot:
        ldy     #RC_STORE
        lda     #OP_STA_ABS
        sta     (t0),y
  .if OB > 8
        ldy     ie                  ; the source's page: the ring's first + the entry's
        iny
        iny
        jsr     rec_byte
        clc
        adc     iring + 1
        ldy     #RC_SRCH
        sta     (t0),y
        ldy     #5                  ; the frame's page: the ring's first + pos's
        jsr     rec_byte
        clc
        adc     iring + 1
        ldy     #RC_RING
        sta     (t0),y
  .endif
        ldy     #RC_RA
        lda     #LZ_STEREO          ; frame A: pos, or pos - 1 for a pair
  .if LZ_STEREO
        jsr     ring_site
        ldy     #RC_RB
        lda     #0
  .endif
        ; fall through

; Writes at operand Y of the slot's restart code the ring slot A frames
; before the record's pos.
ring_site:
        sty     iscr
  .if OB = 0
        lda     #0                  ; the ring is one byte
        sta     iri
        sta     iri + 1
  .else
        sta     iri
        ldy     #4
        jsr     rec_byte
        sec
        sbc     iri
    .if OB < 8
        and     #WMASK
    .endif
        sta     iri
        ldy     #5
        jsr     rec_byte
        sbc     #0
    .if OB > 8
        and     #>(WIN - 1)
    .else
        lda     #0
    .endif
        sta     iri + 1
  .endif
        lda     iri
        clc
        adc     iring
        ldy     iscr
        sta     (t0),y
        lda     iri + 1
        adc     iring + 1
        iny
        sta     (t0),y
        rts

; Points the ring store at operand Y at a byte that nothing reads while
; playing.
spare_site:
        lda     #<spare
        sta     (t0),y
        iny
        lda     #>spare
        sta     (t0),y
        rts

        ADDRESS_TABLES rc_lo, rc_hi, restart_slots, RC_SIZE, 9
.endif

; The next header byte in A (idx counts them; lz_init has checked that
; the header's bytes are there). Keeps X.
header_byte:
        ldy     idx
        lda     (ptr),y
        inc     idx
        rts

lz_code_size = * - code_first
