// The names under which the compiler calls 64-bit division on a 32-bit processor.
#include "runtime/division.h"

extern "C" {

std::uint64_t __udivdi3(std::uint64_t dividend, std::uint64_t divisor) {
  std::uint64_t remainder = 0;
  return runtime::divideUnsigned(dividend, divisor, remainder);
}

std::uint64_t __umoddi3(std::uint64_t dividend, std::uint64_t divisor) {
  std::uint64_t remainder = 0;
  runtime::divideUnsigned(dividend, divisor, remainder);
  return remainder;
}

std::int64_t __divdi3(std::int64_t dividend, std::int64_t divisor) {
  std::int64_t remainder = 0;
  return runtime::divideSigned(dividend, divisor, remainder);
}

std::int64_t __moddi3(std::int64_t dividend, std::int64_t divisor) {
  std::int64_t remainder = 0;
  runtime::divideSigned(dividend, divisor, remainder);
  return remainder;
}

std::uint64_t __udivmoddi4(std::uint64_t dividend, std::uint64_t divisor,
                           std::uint64_t* remainder) {
  std::uint64_t rest = 0;
  std::uint64_t quotient = runtime::divideUnsigned(dividend, divisor, rest);
  if (remainder != nullptr) *remainder = rest;
  return quotient;
}

std::int64_t __divmoddi4(std::int64_t dividend, std::int64_t divisor, std::int64_t* remainder) {
  std::int64_t rest = 0;
  std::int64_t quotient = runtime::divideSigned(dividend, divisor, rest);
  if (remainder != nullptr) *remainder = rest;
  return quotient;
}

}  // extern "C"
