// Emulated 6502 cycles per second (items are cycles).
//
// "player-like routine" calls a self-made routine once per iteration, as a
// tune's player is called once a frame: four channels read through zero-page
// pointers, look up a table, count volumes down and write POKEY's registers.
// "functional test image" runs the whole test image of ../shared/6502 when it
// is there, for a mix of every instruction.
//
// Another routine is measured by loading it into a Cpu6502 and registering
// measureCalls with it (see main).

#include "cpu6502/cpu6502.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

namespace {

void measureCalls(benchmark::State& state, const Cpu6502& prepared, uint16_t address)
{
    auto cpu = std::make_unique<Cpu6502>(prepared);
    const uint64_t start = cpu->cycles;
    for (auto _ : state) {
        if (callSubroutine(*cpu, address, 0, 0, 0, 10'000'000).stop != CpuStop::Returned) {
            state.SkipWithError("the routine did not return");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(cpu->cycles - start));
}

constexpr uint16_t playerAddress = 0x2000;

std::unique_ptr<Cpu6502> playerLikeRoutine()
{
    auto cpu = std::make_unique<Cpu6502>();
    const uint8_t code[] = {
        0xA2, 0x06,        //        LDX #6          channel * 2
        0xA1, 0x80,        // loop:  LDA ($80,X)     the channel's next byte
        0xF6, 0x80,        //        INC $80,X
        0xD0, 0x02,        //        BNE +2
        0xF6, 0x81,        //        INC $81,X
        0xA8,              //        TAY
        0xB9, 0x00, 0x21,  //        LDA $2100,Y     frequency
        0x9D, 0x00, 0xD2,  //        STA $D200,X     AUDF
        0xB5, 0x90,        //        LDA $90,X       volume
        0xF0, 0x04,        //        BEQ +4
        0xD6, 0x90,        //        DEC $90,X
        0x09, 0xA0,        //        ORA #$A0
        0x9D, 0x01, 0xD2,  //        STA $D201,X     AUDC
        0x30, 0x05,        //        BMI +5          sounding: keep the volume
        0x98,              //        TYA             silent: a new volume from the byte
        0x29, 0x0F,        //        AND #$0F
        0x95, 0x90,        //        STA $90,X
        0xCA,              //        DEX
        0xCA,              //        DEX
        0x10, 0xDB,        //        BPL loop
        0xAD, 0x0A, 0xD2,  //        LDA $D20A       RANDOM
        0x65, 0x98,        //        ADC $98
        0x85, 0x98,        //        STA $98
        0x60,              //        RTS
    };
    std::copy(std::begin(code), std::end(code), cpu->memory.begin() + playerAddress);
    std::mt19937 random(1);
    for (unsigned at = 0x2100; at < 0x4000; ++at) cpu->memory[at] = static_cast<uint8_t>(random());
    for (unsigned channel = 0; channel < 4; ++channel) cpu->memory[0x81 + 2 * channel] = static_cast<uint8_t>(0x30 + 4 * channel);
    return cpu;
}

void functionalTestImage(benchmark::State& state)
{
    auto image = std::make_unique<Cpu6502>();
    std::ifstream file(REGSQUEEZE_SOURCE_DIR "/../shared/6502/6502_functional_test.bin", std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(image->memory.data()), image->memory.size())) {
        state.SkipWithError("no ../shared/6502/6502_functional_test.bin");
        return;
    }
    image->ioMapped = false;
    image->pc = 0x0400;
    auto cpu = std::make_unique<Cpu6502>();
    uint64_t cycles = 0;
    for (auto _ : state) {
        *cpu = *image;
        benchmark::DoNotOptimize(runUntilLoop(*cpu, 1'000'000'000));
        cycles += cpu->cycles;
    }
    state.SetItemsProcessed(static_cast<int64_t>(cycles));
}

}  // namespace

int main(int argc, char** argv)
{
    const std::unique_ptr<Cpu6502> player = playerLikeRoutine();
    benchmark::RegisterBenchmark("player-like routine", measureCalls, *player, playerAddress);
    benchmark::RegisterBenchmark("functional test image", functionalTestImage)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
