#include "cpu6502/cpu6502.h"

#include "cpu6502/decimal_mode.h"

#include <limits>

// The interpreter is one switch over the opcode, with the registers and flags
// in locals for the whole run and written back when it stops: tune players run
// for billions of cycles, so every instruction's overhead counts.

namespace {

enum class RunMode { Call, UntilLoop };

// Each case adds its instruction's base cycle count; the handlers add the
// extra cycle of a page crossed by an indexed read and those of a taken branch.
#define OP(opcode, baseCycles) \
    case opcode:               \
        cycles += baseCycles;

// The eight addressing modes of the loads, logic and arithmetic.
#define READ_MODES(base, operation)                                                   \
    OP(base + 0x09, 2) operation(fetch()); break;                                    \
    OP(base + 0x05, 3) operation(mem[zeroPage()]); break;                            \
    OP(base + 0x15, 4) operation(mem[zeroPageIndexed(x)]); break;                    \
    OP(base + 0x0D, 4) operation(read(fetchWord())); break;                          \
    OP(base + 0x1D, 4) operation(read(absoluteIndexedRead(x))); break;              \
    OP(base + 0x19, 4) operation(read(absoluteIndexedRead(y))); break;              \
    OP(base + 0x01, 6) operation(read(zeroPageWord(zeroPageIndexed(x)))); break;   \
    OP(base + 0x11, 5) operation(read(indirectIndexedRead())); break;

// The read-modify-write instructions on memory.
#define MODIFY_MODES(base, operation)                                                  \
    OP(base + 0x06, 5) { const uint8_t at = zeroPage(); mem[at] = operation(mem[at]); break; }           \
    OP(base + 0x16, 6) { const uint8_t at = zeroPageIndexed(x); mem[at] = operation(mem[at]); break; }   \
    OP(base + 0x0E, 6) { const uint16_t at = fetchWord(); write(at, operation(read(at))); break; }       \
    OP(base + 0x1E, 7) { const uint16_t at = fetchWord() + x; write(at, operation(read(at))); break; }

#define BRANCH(opcode, condition)                                          \
    OP(opcode, 2) {                                                        \
        const auto offset = static_cast<int8_t>(fetch());                  \
        if (condition) {                                                   \
            const auto target = static_cast<uint16_t>(pc + offset);        \
            cycles += 1 + ((pc ^ target) > 0xFF);                          \
            pc = target;                                                   \
            if (mode == RunMode::UntilLoop && offset == -2) goto loopedOnItself; \
        }                                                                  \
        break;                                                             \
    }

template <RunMode mode>
CpuRunResult run(Cpu6502& cpu, uint64_t cycleLimit, uint8_t stackLevelOfCaller)
{
    uint8_t* const mem = cpu.memory.data();
    // A masked address never equals 1, so without I/O the check never hits.
    const unsigned ioPage = cpu.ioMapped ? 0xD000 : 1;

    uint8_t a = cpu.a, x = cpu.x, y = cpu.y, s = cpu.s;
    uint16_t pc = cpu.pc;
    // Flags: N is bit 7 of n and Z is set when z is 0, so that most
    // instructions set both with two stores; the others hold 0 or 1.
    uint8_t n, z, c, v, d, i;
    const auto setP = [&](uint8_t p) {
        n = p;
        v = (p >> 6) & 1;
        d = (p >> 3) & 1;
        i = (p >> 2) & 1;
        z = ~p & 2;
        c = p & 1;
    };
    // B and bit 5 are no flip-flops: they read as 1 whenever P is pushed.
    const auto getP = [&] {
        return static_cast<uint8_t>((n & 0x80) | v << 6 | 0x30 | d << 3 | i << 2 | (z == 0) << 1 | c);
    };
    setP(cpu.p);

    uint64_t cycles = cpu.cycles;
    const uint64_t end = cycleLimit > std::numeric_limits<uint64_t>::max() - cycles
                             ? std::numeric_limits<uint64_t>::max()
                             : cycles + cycleLimit;

    const auto fetch = [&] { return mem[pc++]; };
    const auto fetchWord = [&] {
        const uint8_t low = mem[pc++];
        return static_cast<uint16_t>(low | mem[pc++] << 8);
    };
    const auto zeroPage = [&] { return fetch(); };
    const auto zeroPageIndexed = [&](uint8_t index) { return static_cast<uint8_t>(fetch() + index); };
    // A pointer in zero page wraps within it.
    const auto zeroPageWord = [&](uint8_t at) {
        return static_cast<uint16_t>(mem[at] | mem[static_cast<uint8_t>(at + 1)] << 8);
    };
    const auto absoluteIndexedRead = [&](uint8_t index) {
        const uint16_t base = fetchWord();
        const auto at = static_cast<uint16_t>(base + index);
        cycles += (base ^ at) > 0xFF;
        return at;
    };
    const auto indirectIndexedRead = [&] {
        const uint16_t base = zeroPageWord(fetch());
        const auto at = static_cast<uint16_t>(base + y);
        cycles += (base ^ at) > 0xFF;
        return at;
    };
    // Only data accesses that can reach $D000-$D7FF go through these two;
    // zero page, the stack and instruction fetches always see RAM.
    const auto read = [&](uint16_t at) -> uint8_t { return (at & 0xF800) == ioPage ? 0xFF : mem[at]; };
    const auto write = [&](uint16_t at, uint8_t value) {
        if ((at & 0xF800) != ioPage)
            mem[at] = value;
        else if (cpu.ioWrite)
            cpu.ioWrite(cpu.ioContext, at, value);
    };
    const auto push = [&](uint8_t value) { mem[0x100 | s--] = value; };
    const auto pull = [&] { return mem[0x100 | ++s]; };

    const auto setNZ = [&](uint8_t value) { return n = z = value; };
    const auto lda = [&](uint8_t m) { a = setNZ(m); };
    const auto ldx = [&](uint8_t m) { x = setNZ(m); };
    const auto ldy = [&](uint8_t m) { y = setNZ(m); };
    const auto ora = [&](uint8_t m) { a = setNZ(a | m); };
    const auto andA = [&](uint8_t m) { a = setNZ(a & m); };
    const auto eor = [&](uint8_t m) { a = setNZ(a ^ m); };
    const auto addBinary = [&](uint8_t m) {
        const unsigned sum = a + m + c;
        v = (((a ^ sum) & (m ^ sum)) >> 7) & 1;
        c = static_cast<uint8_t>(sum >> 8);
        a = setNZ(static_cast<uint8_t>(sum));
    };
    const auto takeDecimal = [&](DecimalResult r) {
        a = r.a;
        n = r.n;
        z = r.z;
        c = r.c;
        v = r.v;
    };
    const auto adc = [&](uint8_t m) {
        if (d)
            takeDecimal(decimalAdd(a, m, c));
        else
            addBinary(m);
    };
    const auto sbc = [&](uint8_t m) {
        if (d)
            takeDecimal(decimalSubtract(a, m, c));
        else
            addBinary(static_cast<uint8_t>(~m));
    };
    const auto compare = [&](uint8_t r, uint8_t m) {
        c = r >= m;
        setNZ(static_cast<uint8_t>(r - m));
    };
    const auto cmp = [&](uint8_t m) { compare(a, m); };
    const auto cpx = [&](uint8_t m) { compare(x, m); };
    const auto cpy = [&](uint8_t m) { compare(y, m); };
    const auto bit = [&](uint8_t m) {
        n = m;
        v = (m >> 6) & 1;
        z = a & m;
    };
    const auto asl = [&](uint8_t m) {
        c = m >> 7;
        return setNZ(static_cast<uint8_t>(m << 1));
    };
    const auto lsr = [&](uint8_t m) {
        c = m & 1;
        return setNZ(m >> 1);
    };
    const auto rol = [&](uint8_t m) {
        const auto r = static_cast<uint8_t>(m << 1 | c);
        c = m >> 7;
        return setNZ(r);
    };
    const auto ror = [&](uint8_t m) {
        const auto r = static_cast<uint8_t>(m >> 1 | c << 7);
        c = m & 1;
        return setNZ(r);
    };
    const auto inc = [&](uint8_t m) { return setNZ(static_cast<uint8_t>(m + 1)); };
    const auto dec = [&](uint8_t m) { return setNZ(static_cast<uint8_t>(m - 1)); };

    CpuRunResult result{CpuStop::CycleLimit};
    uint16_t start = pc;  // address of the instruction being run
    uint8_t opcode = 0;
    for (;;) {
        if (cycles >= end) goto stopped;
        start = pc;
        opcode = fetch();
        switch (opcode) {
            READ_MODES(0x00, ora)
            READ_MODES(0x20, andA)
            READ_MODES(0x40, eor)
            READ_MODES(0x60, adc)
            READ_MODES(0xA0, lda)
            READ_MODES(0xC0, cmp)
            READ_MODES(0xE0, sbc)

            OP(0x85, 3) mem[zeroPage()] = a; break;
            OP(0x95, 4) mem[zeroPageIndexed(x)] = a; break;
            OP(0x8D, 4) write(fetchWord(), a); break;
            OP(0x9D, 5) write(static_cast<uint16_t>(fetchWord() + x), a); break;
            OP(0x99, 5) write(static_cast<uint16_t>(fetchWord() + y), a); break;
            OP(0x81, 6) write(zeroPageWord(zeroPageIndexed(x)), a); break;
            OP(0x91, 6) write(static_cast<uint16_t>(zeroPageWord(fetch()) + y), a); break;

            OP(0xA2, 2) ldx(fetch()); break;
            OP(0xA6, 3) ldx(mem[zeroPage()]); break;
            OP(0xB6, 4) ldx(mem[zeroPageIndexed(y)]); break;
            OP(0xAE, 4) ldx(read(fetchWord())); break;
            OP(0xBE, 4) ldx(read(absoluteIndexedRead(y))); break;
            OP(0xA0, 2) ldy(fetch()); break;
            OP(0xA4, 3) ldy(mem[zeroPage()]); break;
            OP(0xB4, 4) ldy(mem[zeroPageIndexed(x)]); break;
            OP(0xAC, 4) ldy(read(fetchWord())); break;
            OP(0xBC, 4) ldy(read(absoluteIndexedRead(x))); break;
            OP(0x86, 3) mem[zeroPage()] = x; break;
            OP(0x96, 4) mem[zeroPageIndexed(y)] = x; break;
            OP(0x8E, 4) write(fetchWord(), x); break;
            OP(0x84, 3) mem[zeroPage()] = y; break;
            OP(0x94, 4) mem[zeroPageIndexed(x)] = y; break;
            OP(0x8C, 4) write(fetchWord(), y); break;
            OP(0xE0, 2) cpx(fetch()); break;
            OP(0xE4, 3) cpx(mem[zeroPage()]); break;
            OP(0xEC, 4) cpx(read(fetchWord())); break;
            OP(0xC0, 2) cpy(fetch()); break;
            OP(0xC4, 3) cpy(mem[zeroPage()]); break;
            OP(0xCC, 4) cpy(read(fetchWord())); break;
            OP(0x24, 3) bit(mem[zeroPage()]); break;
            OP(0x2C, 4) bit(read(fetchWord())); break;

            MODIFY_MODES(0x00, asl)
            MODIFY_MODES(0x20, rol)
            MODIFY_MODES(0x40, lsr)
            MODIFY_MODES(0x60, ror)
            MODIFY_MODES(0xC0, dec)
            MODIFY_MODES(0xE0, inc)
            OP(0x0A, 2) a = asl(a); break;
            OP(0x2A, 2) a = rol(a); break;
            OP(0x4A, 2) a = lsr(a); break;
            OP(0x6A, 2) a = ror(a); break;

            OP(0xAA, 2) x = setNZ(a); break;
            OP(0x8A, 2) a = setNZ(x); break;
            OP(0xA8, 2) y = setNZ(a); break;
            OP(0x98, 2) a = setNZ(y); break;
            OP(0xBA, 2) x = setNZ(s); break;
            OP(0x9A, 2) s = x; break;
            OP(0xE8, 2) x = setNZ(static_cast<uint8_t>(x + 1)); break;
            OP(0xCA, 2) x = setNZ(static_cast<uint8_t>(x - 1)); break;
            OP(0xC8, 2) y = setNZ(static_cast<uint8_t>(y + 1)); break;
            OP(0x88, 2) y = setNZ(static_cast<uint8_t>(y - 1)); break;

            OP(0x48, 3) push(a); break;
            OP(0x68, 4) a = setNZ(pull()); break;
            OP(0x08, 3) push(getP()); break;
            OP(0x28, 4) setP(pull()); break;

            OP(0x18, 2) c = 0; break;
            OP(0x38, 2) c = 1; break;
            OP(0x58, 2) i = 0; break;
            OP(0x78, 2) i = 1; break;
            OP(0xB8, 2) v = 0; break;
            OP(0xD8, 2) d = 0; break;
            OP(0xF8, 2) d = 1; break;
            OP(0xEA, 2) break;

            BRANCH(0x10, !(n & 0x80))
            BRANCH(0x30, n & 0x80)
            BRANCH(0x50, !v)
            BRANCH(0x70, v)
            BRANCH(0x90, !c)
            BRANCH(0xB0, c)
            BRANCH(0xD0, z)
            BRANCH(0xF0, !z)

            OP(0x4C, 3) {
                pc = fetchWord();
                if (mode == RunMode::UntilLoop && pc == start) goto loopedOnItself;
                break;
            }
            OP(0x6C, 5) {
                // The pointer's high byte comes from the start of the same page.
                const uint16_t pointer = fetchWord();
                const uint8_t low = read(pointer);
                pc = static_cast<uint16_t>(low | read((pointer & 0xFF00) | ((pointer + 1) & 0xFF)) << 8);
                if (mode == RunMode::UntilLoop && pc == start) goto loopedOnItself;
                break;
            }
            OP(0x20, 6) {
                const uint16_t target = fetchWord();
                const auto last = static_cast<uint16_t>(pc - 1);  // JSR pushes its last byte's address
                push(static_cast<uint8_t>(last >> 8));
                push(static_cast<uint8_t>(last));
                pc = target;
                break;
            }
            OP(0x60, 6) {
                const uint8_t low = pull();
                pc = static_cast<uint16_t>((low | pull() << 8) + 1);
                if (mode == RunMode::Call && s == stackLevelOfCaller) {
                    result.stop = CpuStop::Returned;
                    goto stopped;
                }
                break;
            }
            OP(0x40, 6) {
                setP(pull());
                const uint8_t low = pull();
                pc = static_cast<uint16_t>(low | pull() << 8);
                break;
            }
            OP(0x00, 7) {
                // BRK skips a padding byte: it pushes its own address + 2.
                const auto next = static_cast<uint16_t>(pc + 1);
                push(static_cast<uint8_t>(next >> 8));
                push(static_cast<uint8_t>(next));
                push(getP());
                i = 1;
                pc = static_cast<uint16_t>(mem[0xFFFE] | mem[0xFFFF] << 8);
                break;
            }

        default:
            pc = start;
            result = {CpuStop::UndocumentedOpcode, opcode, start};
            goto stopped;
        }
    }

loopedOnItself:
    pc = start;
    result = {CpuStop::LoopedOnItself, 0, start};
stopped:
    cpu.a = a;
    cpu.x = x;
    cpu.y = y;
    cpu.s = s;
    cpu.p = getP();
    cpu.pc = pc;
    cpu.cycles = cycles;
    return result;
}

}  // namespace

CpuRunResult callSubroutine(Cpu6502& cpu, uint16_t address, uint8_t a, uint8_t x, uint8_t y, uint64_t cycleLimit)
{
    constexpr unsigned jsrCycles = 6;
    const uint8_t stackLevelOfCaller = cpu.s;
    const auto returnAddress = static_cast<uint16_t>(cpu.pc - 1);
    cpu.memory[0x100 | cpu.s--] = static_cast<uint8_t>(returnAddress >> 8);
    cpu.memory[0x100 | cpu.s--] = static_cast<uint8_t>(returnAddress);
    cpu.a = a;
    cpu.x = x;
    cpu.y = y;
    cpu.pc = address;
    cpu.cycles += jsrCycles;
    return run<RunMode::Call>(cpu, cycleLimit > jsrCycles ? cycleLimit - jsrCycles : 0, stackLevelOfCaller);
}

CpuRunResult runUntilLoop(Cpu6502& cpu, uint64_t cycleLimit)
{
    return run<RunMode::UntilLoop>(cpu, cycleLimit, 0);
}
