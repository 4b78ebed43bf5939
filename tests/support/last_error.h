// Test support: a poison last error set before a platform call whose error a test asserts, so that a
// call which fails without setting its error, or sets one it should not, cannot pass on a stale value.
#pragma once

#include <ce/kernel.h>

namespace pndtest {

/// A last-error value no platform call sets.
inline constexpr DWORD kPoisonError = 0xDEADBEEF;

/// Sets the calling thread's last error to kPoisonError.
inline void PoisonLastError() { SetLastError(kPoisonError); }

}  // namespace pndtest
