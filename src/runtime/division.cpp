#include "runtime/division.h"

namespace runtime {

std::uint64_t divideUnsigned(std::uint64_t dividend, std::uint64_t divisor,
                             std::uint64_t& remainder) {
  if (divisor == 0) {
    remainder = dividend;
    return ~std::uint64_t{0};
  }
  // Both fit in 32 bits: one division instruction does it.
  if ((dividend >> 32) == 0 && (divisor >> 32) == 0) {
    auto low = static_cast<std::uint32_t>(dividend);
    auto by = static_cast<std::uint32_t>(divisor);
    remainder = low % by;
    return low / by;
  }
  // Long division, a bit at a time, from the highest bit of the dividend.
  std::uint64_t quotient = 0;
  std::uint64_t rest = 0;
  for (int bit = 63; bit >= 0; --bit) {
    rest = (rest << 1) | ((dividend >> bit) & 1);
    if (rest >= divisor) {
      rest -= divisor;
      quotient |= std::uint64_t{1} << bit;
    }
  }
  remainder = rest;
  return quotient;
}

std::int64_t divideSigned(std::int64_t dividend, std::int64_t divisor, std::int64_t& remainder) {
  bool negativeDividend = dividend < 0;
  bool negativeQuotient = negativeDividend != (divisor < 0);
  // Magnitudes as unsigned numbers, so that the smallest value does not overflow.
  std::uint64_t top = negativeDividend ? 0 - static_cast<std::uint64_t>(dividend)
                                       : static_cast<std::uint64_t>(dividend);
  std::uint64_t bottom =
      divisor < 0 ? 0 - static_cast<std::uint64_t>(divisor) : static_cast<std::uint64_t>(divisor);
  std::uint64_t rest = 0;
  std::uint64_t quotient = divideUnsigned(top, bottom, rest);
  remainder = static_cast<std::int64_t>(negativeDividend ? 0 - rest : rest);
  return static_cast<std::int64_t>(negativeQuotient ? 0 - quotient : quotient);
}

}  // namespace runtime
