#pragma once
#include <array>
#include <cstdint>

// Why a run stopped.
enum class CpuStop { Returned, CycleLimit, UndocumentedOpcode, LoopedOnItself };

struct CpuRunResult {
    CpuStop stop;
    uint8_t opcode = 0;    // the undocumented opcode met
    uint16_t address = 0;  // where it stood (or where the CPU looped on itself)
};

// An NMOS 6502 with 64 KB of RAM. With ioMapped, $D000-$D7FF is the
// machine's I/O: reads give $FF, writes reach no RAM but go to ioWrite.
// No interrupts are ever raised; the I flag is only a flag.
struct Cpu6502 {
    std::array<uint8_t, 0x10000> memory{};  // zeroed RAM
    uint8_t a = 0, x = 0, y = 0, s = 0xFF, p = 0x34;
    uint16_t pc = 0;
    uint64_t cycles = 0;  // cycles executed so far
    bool ioMapped = true;
    void* ioContext = nullptr;
    void (*ioWrite)(void* context, uint16_t address, uint8_t value) = nullptr;  // may be null
};

// Calls the subroutine at address with A, X and Y set, as a JSR would, and runs until
// it returns with RTS to the caller, or until the cycles run past cycleLimit
// more, or an undocumented opcode is met.
//
// The return address pushed is cpu.pc - 1, so that a return leaves cpu.pc as it
// was; the call is recognised as the RTS that pulls those two bytes (the stack
// back at its level before the call), so the subroutine may use JSR, RTS and the
// stack as it likes, and a balanced subroutine leaves cpu.s as it found it.
// The cycles counted include the 6 of the JSR itself. The limit is checked
// before each instruction: a run stops at the first instruction boundary at
// or past cycleLimit more cycles.
CpuRunResult callSubroutine(Cpu6502& cpu, uint16_t address, uint8_t a, uint8_t x, uint8_t y, uint64_t cycleLimit);

// Runs from cpu.pc until an instruction jumps or branches to itself, or
// the limit or an undocumented opcode stops it (for self-checking test images).
CpuRunResult runUntilLoop(Cpu6502& cpu, uint64_t cycleLimit);
