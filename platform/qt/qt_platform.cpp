// SPDX-License-Identifier: MIT
#include "qt_platform.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTime>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace chimex {

namespace {

constexpr double secondsPerDay = 86400;

QString qtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString nameFilter(const SaveDialogOptions& options) {
    const QString description = QString::fromStdString(options.filterDescription);
    if (description.contains('(') || options.filterPattern.empty()) {
        return description;
    }
    return description + " (" + QString::fromStdString(options.filterPattern) + ")";
}

} // namespace

QtPlatform::QtPlatform(std::function<void(int)> exitProgram)
    : exitProgram_(std::move(exitProgram)),
      folders_(findProgramFolders(executableFolder(), userFolders())),
      startOfDay_(QTime::currentTime().msecsSinceStartOfDay() / 1000.0) {
    steady_.start();
}

void QtPlatform::hardExit(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

void QtPlatform::setEndPlayingHandler(std::function<void()> handler) {
    endPlayingHandler_ = std::move(handler);
}

void QtPlatform::preloadSounds(const std::vector<std::filesystem::path>& paths) {
    for (const auto& path : paths) {
        sounds_.preload(path);
    }
}

ProgramFolders QtPlatform::folders() const {
    return folders_;
}

bool QtPlatform::fileExists(const std::filesystem::path& path) const {
    // A dot-file is as much the user's as any other: it exists, and replacing it is asked first.
    return QFileInfo(QString::fromStdString(path.string())).isFile();
}

bool QtPlatform::lockTuneFile(const std::filesystem::path& path) {
    return tuneLock_.lock(path);
}

double QtPlatform::clock() {
    const double seconds = startOfDay_ + static_cast<double>(steady_.nsecsElapsed()) / 1e9;
    return std::fmod(seconds, secondsPerDay);
}

Platform QtPlatform::seams() {
    return {*this, random_, *this, *this, *this, *this};
}

void QtPlatform::startSound(const std::filesystem::path& path) {
    sounds_.start(path);
}

void QtPlatform::stopSound() {
    sounds_.stop();
}

MessageButton QtPlatform::messageBox(std::string_view prompt, std::string_view title,
                                     MessageStyle style) {
    QMessageBox box;
    box.setObjectName("messageBox");
    box.setWindowTitle(qtText(title));
    box.setText(qtText(prompt));
    switch (style) {
    case MessageStyle::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case MessageStyle::Critical:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageStyle::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    const int answer = box.exec();
    if (style != MessageStyle::YesNo) {
        return MessageButton::Ok;
    }
    // Closing a Yes/No box by its close box or Escape answers No, the safe choice.
    return answer == QMessageBox::Yes ? MessageButton::Yes : MessageButton::No;
}

std::optional<std::filesystem::path> QtPlatform::saveFileDialog(const SaveDialogOptions& options) {
    QFileDialog dialog(nullptr, QString::fromStdString(options.title),
                       QString::fromStdString(options.initialFolder.string()));
    dialog.setObjectName("comDlg");
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(nameFilter(options));
    dialog.selectFile(QString::fromStdString(options.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(dialog.selectedFiles().constFirst().toStdString());
}

void QtPlatform::reportUnhandledFailure(std::string_view message) {
    if (reporting_) {
        // A second failure while the first is being reported (finishing the tune file failed).
        laterFailures_.emplace_back(message);
        return;
    }
    reporting_ = true;
    sounds_.stop();
    if (endPlayingHandler_) {
        try {
            endPlayingHandler_();
        } catch (const std::exception& e) {
            laterFailures_.emplace_back(e.what());
        }
    }
    std::string text(message);
    for (const auto& later : laterFailures_) {
        text += "\n\n" + later;
    }
    messageBox(text, "Chimex", MessageStyle::Critical);
    exitStatus_ = 1;
    endProgram();
}

void QtPlatform::endProgram() {
    sounds_.stop();
    exitProgram_(exitStatus_);
}

} // namespace chimex
