// SPDX-License-Identifier: MIT
#include "sound_bank.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace chimex {

SoundBank::SoundBank() = default;

SoundBank::~SoundBank() {
    stop();
}

QSoundEffect* SoundBank::effectFor(const std::filesystem::path& path) {
    auto found = effects_.find(path);
    if (found != effects_.end()) {
        return found->second.get();
    }
    const QString file = QString::fromStdString(path.string());
    // Without an audio device, or without the file, the key stays silent.
    if (!QFileInfo(file).isFile() || QMediaDevices::audioOutputs().isEmpty()) {
        return nullptr;
    }
    auto effect = std::make_unique<QSoundEffect>();
    effect->setSource(QUrl::fromLocalFile(file));
    effect->setLoopCount(QSoundEffect::Infinite);
    return effects_.emplace(path, std::move(effect)).first->second.get();
}

void SoundBank::preload(const std::filesystem::path& path) {
    effectFor(path);
}

void SoundBank::start(const std::filesystem::path& path) {
    stop();
    playing_ = effectFor(path);
    if (playing_ != nullptr) {
        playing_->play();
    }
}

void SoundBank::stop() {
    if (playing_ != nullptr) {
        playing_->stop();
        playing_ = nullptr;
    }
}

bool SoundBank::isPlaying() const {
    return playing_ != nullptr;
}

} // namespace chimex
