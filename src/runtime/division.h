// 64-bit division for a 32-bit processor that has only 32-bit division: what the compiler calls
// for `/` and `%` on 64-bit numbers.
#pragma once

#include <cstdint>

namespace runtime {

// `dividend` / `divisor`, with the remainder in `remainder`. A divisor of 0 gives a quotient of
// all ones and the dividend as remainder (nothing here divides by zero).
std::uint64_t divideUnsigned(std::uint64_t dividend, std::uint64_t divisor,
                             std::uint64_t& remainder);
// Signed, truncating toward zero as C++ does; the remainder has the dividend's sign.
std::int64_t divideSigned(std::int64_t dividend, std::int64_t divisor, std::int64_t& remainder);

}  // namespace runtime
