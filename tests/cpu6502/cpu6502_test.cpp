#include "cpu6502/cpu6502.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <utility>
#include <vector>

namespace {

using IoWrites = std::vector<std::pair<uint16_t, uint8_t>>;

std::unique_ptr<Cpu6502> cpuWith(std::vector<std::pair<uint16_t, std::vector<uint8_t>>> blocks)
{
    auto cpu = std::make_unique<Cpu6502>();
    for (const auto& [address, bytes] : blocks) std::copy(bytes.begin(), bytes.end(), cpu->memory.begin() + address);
    return cpu;
}

TEST(Cpu6502, PassesTheFunctionalTestImage)
{
    std::ifstream file(REGSQUEEZE_SOURCE_DIR "/../shared/6502/6502_functional_test.bin", std::ios::binary);
    if (!file) GTEST_SKIP() << "../shared/6502/6502_functional_test.bin is absent";
    auto cpu = std::make_unique<Cpu6502>();
    file.read(reinterpret_cast<char*>(cpu->memory.data()), cpu->memory.size());
    ASSERT_EQ(file.gcount(), 0x10000);
    cpu->ioMapped = false;
    cpu->pc = 0x0400;
    const CpuRunResult result = runUntilLoop(*cpu, 1'000'000'000);
    EXPECT_EQ(result.stop, CpuStop::LoopedOnItself);
    EXPECT_EQ(result.address, 0x3469) << "the check that failed stands there";
}

// A nested call with a page-crossing indexed read, I/O both ways and a branch
// that crosses a page, called many times: the registers, the exact cycles and
// the stack must come out the same every time.
TEST(Cpu6502, CallsASubroutineRepeatably)
{
    auto cpu = cpuWith({
        {0x06F0, {0x48, 0x20, 0x00, 0x08, 0x68,  // PHA; JSR $0800; PLA
                  0x8D, 0x00, 0xD2, 0xAD, 0x0A, 0xD2,  // STA $D200; LDA $D20A
                  0xA0, 0x03, 0x88, 0xD0, 0xFD, 0x60}},  // LDY #3; DEY; BNE to $06FD across $0700; RTS
        {0x0800, {0x8A, 0x18, 0x79, 0xF0, 0x08, 0xAA, 0x60}},  // TXA; CLC; ADC $08F0,Y; TAX; RTS
        {0x0910, {0x11}},
    });
    IoWrites writes;
    cpu->ioContext = &writes;
    cpu->ioWrite = [](void* context, uint16_t address, uint8_t value) {
        static_cast<IoWrites*>(context)->emplace_back(address, value);
    };
    for (unsigned call = 0; call < 1000; ++call) {
        const uint64_t before = cpu->cycles;
        const auto in = static_cast<uint8_t>(call);
        ASSERT_EQ(callSubroutine(*cpu, 0x06F0, in, in, 0x20, 1000).stop, CpuStop::Returned);
        ASSERT_EQ(cpu->cycles - before, 68u);
        ASSERT_EQ(cpu->s, 0xFF);
        ASSERT_EQ(cpu->a, 0xFF) << "I/O reads give $FF";
        ASSERT_EQ(cpu->x, static_cast<uint8_t>(in + 0x11));
        ASSERT_EQ(writes.back(), std::make_pair(uint16_t{0xD200}, in));
    }
    EXPECT_EQ(writes.size(), 1000u);
    EXPECT_EQ(cpu->memory[0xD200], 0) << "I/O writes reach no RAM";
}

// Why each run stopped, and the quirks of the NMOS chip that the functional
// test image leaves unchecked.
TEST(Cpu6502, RunsSmallRoutines)
{
    struct Case {
        std::vector<uint8_t> code;  // at $0600
        bool call;
        CpuRunResult expected;
        uint64_t cycles;
        uint8_t a, p;
    };
    const Case cases[] = {
        {{0xEA, 0x02}, true, {CpuStop::UndocumentedOpcode, 0x02, 0x0601}, 8, 0, 0x34},  // NOP; undocumented
        {{0x4C, 0x00, 0x06}, true, {CpuStop::CycleLimit}, 102, 0, 0x34},               // JMP to itself
        {{0xA2, 0x01, 0xD0, 0xFE}, false, {CpuStop::LoopedOnItself, 0, 0x0602}, 5, 0, 0x34},  // LDX #1; BNE to itself
        // SED; CLC; LDA #$99; ADC #$01; RTS: A is 0 but Z comes from the binary sum, N from the half-adjusted one
        {{0xF8, 0x18, 0xA9, 0x99, 0x69, 0x01, 0x60}, true, {CpuStop::Returned}, 20, 0x00, 0xBD},
        // SED; SEC; LDA #0; SBC #$80; RTS: every flag from the binary difference
        {{0xF8, 0x38, 0xA9, 0x00, 0xE9, 0x80, 0x60}, true, {CpuStop::Returned}, 20, 0x20, 0xFC},
        // LDA #$10; STA $FF; LDA #6; STA $00; JMP ($00FF): the pointer's high byte from $0000; at $0610, RTS
        {{0xA9, 0x10, 0x85, 0xFF, 0xA9, 0x06, 0x85, 0x00, 0x6C, 0xFF, 0x00, 0, 0, 0, 0, 0, 0x60}, true,
         {CpuStop::Returned}, 27, 0x06, 0x34},
    };
    for (const Case& c : cases) {
        auto cpu = cpuWith({{0x0600, c.code}});
        cpu->pc = 0x0600;
        const CpuRunResult result = c.call ? callSubroutine(*cpu, 0x0600, 0, 0, 0, 100) : runUntilLoop(*cpu, 100);
        EXPECT_EQ(result.stop, c.expected.stop);
        EXPECT_EQ(result.opcode, c.expected.opcode);
        EXPECT_EQ(result.address, c.expected.address);
        EXPECT_EQ(cpu->cycles, c.cycles);
        EXPECT_EQ(cpu->a, c.a);
        EXPECT_EQ(cpu->p, c.p);
    }
}

}  // namespace
