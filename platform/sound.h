// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <vector>

namespace chimex {

/// The keys' sounds.
class Sound {
  public:
    virtual ~Sound() = default;
    /// Opens and decodes the sound files now, so that a later startSound() plays at once.
    virtual void preloadSounds(const std::vector<std::filesystem::path>& paths) = 0;
    /// Loops the sound file until stopped; silent when it cannot be played. Replaces any sound.
    virtual void startSound(const std::filesystem::path& path) = 0;
    /// Stops whatever sound is playing.
    virtual void stopSound() = 0;
};

} // namespace chimex
