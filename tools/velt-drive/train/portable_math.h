// The logarithm, exponential and power that the train's motion needs, in
// + - * / alone and a fixed number of steps: the C library's log, exp and
// pow differ in their last bits between the native, 32-bit and 64-bit
// Windows runtimes, and anything that feeds a trace must not.
//
// Accurate to a few units in the last place over the ranges a train file
// gives (speeds and ratios between 1e-6 and 1e6), which is far below
// anything a drive can show.
#pragma once

namespace velt::drive {

// ln x for a finite x > 0; 0 for anything else (no train figure reaches it).
double portableLog(double x);

// e^x; 0 below -700, and the largest finite double above 700.
double portableExp(double x);

// base^exponent for base > 0 (0 for base <= 0). Whole exponents from 0 to
// 8 are multiplied out, so that an exponent of 1 or 2 gives exactly what
// the plain arithmetic does.
double portablePow(double base, double exponent);

}  // namespace velt::drive
