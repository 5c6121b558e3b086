#include "cpu6502/decimal_mode.h"

DecimalResult decimalAdd(uint8_t a, uint8_t operand, uint8_t carry)
{
    int low = (a & 0x0F) + (operand & 0x0F) + carry;
    if (low >= 0x0A) low = ((low + 0x06) & 0x0F) + 0x10;
    int sum = (a & 0xF0) + (operand & 0xF0) + low;  // may reach $1xx
    const auto n = static_cast<uint8_t>(sum);
    const auto v = static_cast<uint8_t>((((a ^ sum) & (operand ^ sum)) >> 7) & 1);
    if (sum >= 0xA0) sum += 0x60;
    const auto z = static_cast<uint8_t>(a + operand + carry);
    return {static_cast<uint8_t>(sum), n, z, static_cast<uint8_t>(sum >= 0x100), v};
}

DecimalResult decimalSubtract(uint8_t a, uint8_t operand, uint8_t carry)
{
    const int binary = a - operand - (1 - carry);
    const auto flagsOf = static_cast<uint8_t>(binary);
    const auto v = static_cast<uint8_t>((((a ^ operand) & (a ^ binary)) >> 7) & 1);

    int low = (a & 0x0F) - (operand & 0x0F) + carry - 1;
    if (low < 0) low = ((low - 0x06) & 0x0F) - 0x10;
    int result = (a & 0xF0) - (operand & 0xF0) + low;
    if (result < 0) result -= 0x60;
    return {static_cast<uint8_t>(result), flagsOf, flagsOf, static_cast<uint8_t>(binary >= 0), v};
}
