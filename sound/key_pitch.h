// SPDX-License-Identifier: MIT
#pragma once

namespace chimex {

/// Equal-tempered pitch of key `keyIndex` in Hz: key 0 is C3 (130.81 Hz), key 36 is C6.
double keyFrequency(int keyIndex);

} // namespace chimex
