#pragma once
#include <cstdint>

// ADC and SBC with the D flag set, as the NMOS 6502 does them, also for
// operands that are not valid BCD.
//
// The flags are in the interpreter's form: N is bit 7 of n, Z is set when z
// is 0, C and V are 0 or 1.
struct DecimalResult {
    uint8_t a, n, z, c, v;
};

// The NMOS chip takes Z from the binary sum, N and V from the sum after the
// low digit's adjustment but before the high digit's, and C from the fully
// adjusted sum.
DecimalResult decimalAdd(uint8_t a, uint8_t operand, uint8_t carry);

// Every flag is that of the binary subtraction; only A is adjusted.
DecimalResult decimalSubtract(uint8_t a, uint8_t operand, uint8_t carry);
