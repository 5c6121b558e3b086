; Runs the player in sim65: loads ./song (a .lz16 file) as high as it can,
; calls lz_init, then lz_frame until it reports the end, printing the nine
; registers after every frame (with LZ_STEREO, the eighteen of both chips
; after every pair). ./limit holds the most lz_frame calls (three
; bytes, low first) and, in a fourth byte, how many of the file's last bytes
; lie after the song's end (unread padding that moves the song down). Built
; with LZ_LOOP=1, it gives lz_init the loop record in ./loop (82 bytes), if
; there is one. Built with STUB=1 it calls a routine that only clears
; the carry instead of lz_frame; since the harness's own work does not depend
; on the data, the two runs' cycle totals differ by exactly the player's.
;
; Exit status: 0 done, 2 song and buffers do not fit, 3 no header, 4 no file,
; 5 the call that reported the end wrote a register, 6 lz_init failed and
; wrote a register.

        .setcpu "6502"
        .import lz_init, lz_frame, lz_zp_size
        .import __MAIN_START__, __BSS_RUN__, __BSS_SIZE__
__RINGS_START__ = (__BSS_RUN__ + __BSS_SIZE__ + $FF) & $FF00

pv_open  = $FFF4
pv_read  = $FFF6
pv_write = $FFF7
pv_exit  = $FFF9
TOP      = $FFE0                    ; the song ends here; the player may read 20 bytes on

; scripts/simulate-player gives the harness the player's own settings.
.if !(.defined(LZ_OFFSET_BITS) && .defined(LZ_OLD_FORMAT) && .defined(LZ_STEREO) && .defined(LZ_POKEY2))
        .error "assemble the harness with the player's settings (-D NAME=VALUE)"
.endif
WIN = 1 << LZ_OFFSET_BITS
CHIPS = 1 + LZ_STEREO

; REG: the address of register i of the line, chip 1's nine then chip 2's.
.macro REGISTER i
        REG .set LZ_POKEY + i
  .if i >= 9
        REG .set LZ_POKEY2 + i - 9
  .endif
.endmacro

        .segment "EXEHDR"
        .byte   "sim65", 2, 0, <c_sp
        .word   __MAIN_START__, start

        .segment "ZEROPAGE"
c_sp:   .res 2                      ; argument stack of the simulator's calls
src:    .res 2
dst:    .res 2

        .segment "BSS"
lim:    .res 3
pad:    .res 1                      ; bytes after the song's end
size:   .res 2
fd:     .res 2
params: .res 8                      ; for lz_init: start, end, buffers, loop record
.ifndef LZ_LOOP
LZ_LOOP = 0
.endif
.if LZ_LOOP
record: .res 82
.endif
.ifndef LZ_GAME
LZ_GAME = 0
.endif
.if LZ_GAME
        .export lz_songs
        .importzp lz_mute
        .segment "RODATA"
lz_songs:
        .byte   0                   ; no table: the harness calls lz_init
        .segment "BSS"
.endif
seen:   .res 9 * CHIPS              ; the registers as last printed

        .segment "CODE"
start:  ldx     #$FF
        txs
        lda     #<limit_name
        ldx     #>limit_name
        jsr     open
        lda     #<lim
        ldx     #>lim
        ldy     #4
        jsr     read
.if LZ_LOOP
        lda     #0                  ; no loop unless ./loop says one
        sta     params+6
        sta     params+7
        lda     #<loop_name
        ldx     #>loop_name
        jsr     try_open
        bcs     :+
        lda     #<record
        ldx     #>record
        ldy     #82
        jsr     read
        lda     #<record
        sta     params+6
        lda     #>record
        sta     params+7
:
.endif
        lda     #<song_name
        ldx     #>song_name
        jsr     open
        ; Read as much as fits above the rings, then one byte more to tell
        ; a song that fills the space from one that does not fit.
        lda     #<__RINGS_START__
        ldx     #>__RINGS_START__
        ldy     #0
        jsr     read_max
        sta     size
        stx     size+1
        lda     #<line
        ldx     #>line
        ldy     #1
        jsr     read
        cmp     #0
        beq     :+
        jmp     too_large
:       ; Move the song up to end at TOP.
        lda     #<TOP
        sec
        sbc     size
        sta     params
        lda     #>TOP
        sbc     size+1
        sta     params+1
        lda     #<TOP           ; the end: the padding after it is not the song's
        sec
        sbc     pad
        sta     params+2
        lda     #>TOP
        sbc     #0
        sta     params+3
        lda     #<__RINGS_START__
        sta     params+4
        lda     #>__RINGS_START__
        sta     params+5
        jsr     move_up
        ; The rings of the channels the mask keeps must end below the song.
        lda     size
        ora     size+1
        beq     rings_fit
        ldy     #0
        lda     (dst),y             ; the mask
        ldx     #9
:       lsr
        bcc     :+
        dex
:       cmp     #0
        bne     :--
        lda     params+4            ; buffers + X * WIN <= song start
        sta     src
        lda     params+5
        sta     src+1
:       lda     src
        clc
        adc     #<WIN
        sta     src
        lda     src+1
        adc     #>WIN
        sta     src+1
        bcs     too_large
        dex
        bne     :-
        lda     params
        cmp     src
        lda     params+1
        sbc     src+1
        bcc     too_large
rings_fit:
.if LZ_GAME
        lda     #0                  ; the zero page is the program's to set
        sta     lz_mute
.endif
        jsr     remember            ; a start that fails writes nothing
        lda     #<params
        ldx     #>params
        jsr     lz_init
        bcs     no_header
.if LZ_OLD_FORMAT = 0
        jsr     print
.else
        jsr     remember
.endif
loop:   lda     lim                 ; count the call down; stop when none is left
        sec
        sbc     #1
        sta     lim
        lda     lim+1
        sbc     #0
        sta     lim+1
        lda     lim+2
        sbc     #0
        sta     lim+2
        bcc     done
.if .defined(STUB)
        jsr     stub
.else
        jsr     lz_frame
.endif
        bcs     done
        jsr     print
        jmp     loop
done:   jmp     check_end
too_large:
        lda     #2
        jmp     pv_exit
no_header:
        lda     #3
        ldx     #6
        bne     check_registers     ; always
no_file:
        lda     #4
        jmp     pv_exit

check_end:
        lda     #0                  ; the registers must still be the last line's
        ldx     #5
check_registers:                    ; exits with A, or X if a register changed
        sta     dst
        stx     dst+1
        lda     #0
        sta     src
        .repeat 9 * CHIPS, i
        REGISTER i
        lda     REG
        eor     seen + i
        ora     src
        sta     src
        .endrepeat
        lda     dst
        ldx     src
        beq     :+
        lda     dst+1
:       jmp     pv_exit

; Present in both builds so that nothing else moves.
stub:   clc
        rts

; Prints the registers as one line, in the same time whatever they hold.
print:  jsr     remember
        .repeat 9 * CHIPS, i
        REGISTER i
        lda     REG
        lsr
        lsr
        lsr
        lsr
        tay
        lda     hex,y
        sta     line + 3 * i
        lda     REG
        and     #$0F
        tay
        lda     hex,y
        sta     line + 3 * i + 1
        .endrepeat
        lda     #<wblock
        sta     c_sp
        lda     #>wblock
        sta     c_sp+1
        lda     #27 * CHIPS
        ldx     #0
        jmp     pv_write

; Keeps the registers in seen.
remember:
        .repeat 9 * CHIPS, i
        REGISTER i
        lda     REG
        sta     seen + i
        .endrepeat
        rts

; open(A/X name, read only) into fd.
open:   jsr     try_open
        bcc     :+
        jmp     no_file
:       rts

; The same, carry set when there is no such file.
try_open:
        sta     oblock+2
        stx     oblock+3
        lda     #<oblock
        sta     c_sp
        lda     #>oblock
        sta     c_sp+1
        ldy     #4
        jsr     pv_open
        cpx     #$FF
        sec
        beq     :+
        sta     fd
        stx     fd+1
        clc
:       rts

; read(fd, A/X, Y bytes); A/X: bytes read.
read:   sta     rblock
        stx     rblock+1
        tya
        ldx     #0
do_read:
        pha
        lda     fd
        sta     rblock+2
        lda     fd+1
        sta     rblock+3
        lda     #<rblock
        sta     c_sp
        lda     #>rblock
        sta     c_sp+1
        pla
        jmp     pv_read

; read(fd, A/X, TOP - A/X bytes).
read_max:
        sta     rblock
        stx     rblock+1
        lda     #<TOP
        sec
        sbc     rblock
        pha
        lda     #>TOP
        sbc     rblock+1
        tax
        pla
        jmp     do_read

; Moves size bytes from the rings' start up to params (the highest first).
move_up:
        lda     params
        sta     dst
        lda     params+1
        clc
        adc     size+1
        sta     dst+1
        lda     #<__RINGS_START__
        sta     src
        lda     #>__RINGS_START__
        clc
        adc     size+1
        sta     src+1
        ldx     size+1
        ldy     size
        beq     pages
:       dey                         ; the partial page
        lda     (src),y
        sta     (dst),y
        cpy     #0
        bne     :-
pages:  cpx     #0
        beq     moved
        dec     src+1
        dec     dst+1
        ldy     #0
:       dey
        lda     (src),y
        sta     (dst),y
        cpy     #0
        bne     :-
        dex
        jmp     pages
moved:  lda     params              ; dst: the song's start
        sta     dst
        lda     params+1
        sta     dst+1
        rts

        .segment "RODATA"
hex:    .byte   "0123456789abcdef"
limit_name:
        .byte   "limit", 0
song_name:
        .byte   "song", 0
loop_name:
        .byte   "loop", 0

        .segment "DATA"
oblock: .word   1, 0                ; flags (read only), name
rblock: .word   0, 0                ; buffer, fd
wblock: .word   line, 1             ; buffer, standard output
line:   .repeat CHIPS - 1
        .byte   "00 00 00 00 00 00 00 00 00 "
        .endrepeat
        .byte   "00 00 00 00 00 00 00 00 00", $0A
