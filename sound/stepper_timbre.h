// SPDX-License-Identifier: MIT
#pragma once

namespace chimex {

/// The hum of a stepper motor as a sum of harmonics: a pulse train's 1/n fall-off lifted around
/// the ringing of the motor's frame, even harmonics weaker, nothing above 16 kHz.

/// Amplitude of the n-th harmonic (n from 1) of a hum whose fundamental is `fundamental` Hz.
double stepperPartialAmplitude(int n, double fundamental);

/// How many harmonics the hum at `fundamental` Hz has: those up to 16 kHz, at least one.
int stepperPartialCount(double fundamental);

} // namespace chimex
