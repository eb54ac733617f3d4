// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <map>
#include <memory>

class QSoundEffect;

namespace chimex {

/// One QSoundEffect per sound file, loaded ahead so that a key sounds at once. At most one sound
/// plays at a time; it loops until stopped. A missing file, an undecodable one or a machine
/// without an audio device leaves the key silent, without a message.
class SoundBank {
  public:
    SoundBank();
    ~SoundBank();
    SoundBank(const SoundBank&) = delete;
    SoundBank& operator=(const SoundBank&) = delete;

    void preload(const std::filesystem::path& path);
    /// Stops the sound playing, then loops `path`.
    void start(const std::filesystem::path& path);
    void stop();
    /// True while an existing sound file has been started and not stopped (device or not).
    bool isPlaying() const;
    std::size_t loadedCount() const { return effects_.size(); }

  private:
    QSoundEffect* effectFor(const std::filesystem::path& path);

    std::map<std::filesystem::path, std::unique_ptr<QSoundEffect>> effects_;
    QSoundEffect* playing_ = nullptr;
};

} // namespace chimex
