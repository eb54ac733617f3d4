// SPDX-License-Identifier: MIT
// The desktop program: builds the Qt platform, the two windows and the program state, then runs
// the main window's load step (start-up) and the event loop, with MIDI input once it is shown.
#include "app/frm_chimer.h"
#include "app/lazy_settings_view.h"
#include "app/live_play.h"
#include "app/program_help.h"
#include "app/program_options.h"
#include "app/start_up.h"
#include "files/folder_lock.h"
#include "platform/link/qt_machine_links.h"
#include "platform/midi/rtmidi_input.h"
#include "platform/qt/ending_signals.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QIcon>

#include <cstdlib>
#include <iostream>
#include <string_view>
#include <system_error>

namespace {

/// The window whose tune an exit() from inside Qt must finish; a handler of exit() reaches only
/// what is global.
chimex::FrmChimer* windowToFinish = nullptr;

void finishOnExit() {
    if (windowToFinish != nullptr) {
        windowToFinish->finishWithoutWindows();
    }
}

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they work without a display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << chimex::programName << " " << chimex::programVersion << "\n";
        return chimex::printedStatus(std::cout, std::cerr, "the version");
    }
    if (const auto status = chimex::answerHelp(argc, argv, std::cout, std::cerr)) {
        return *status;
    }
    const chimex::ProgramOptions options = chimex::readProgramOptions(argc, argv);
    if (options.problem) {
        std::cerr << "chimex: " << *options.problem << "\n";
        return 2;
    }
    if (options.listMidi) {
        chimex::RtMidiInput::listSources(std::cout, std::cerr);
        return chimex::printedStatus(std::cout, std::cerr, "the MIDI sources");
    }
    Q_INIT_RESOURCE(chimex);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Chimex");
    QApplication::setApplicationVersion(chimex::programVersion);
    QApplication::setDesktopFileName("org.chimex.vedadazu"); // the installed menu entry
    QApplication::setWindowIcon(QIcon(":/chimex/chimex.png"));

    chimex::ProgramState state;
    chimex::QtPlatform platform;
    // Two copies would share Chimex.tmp and Chimex.ini; the second ends before it opens anything.
    const std::filesystem::path lockFolder = platform.folders().state;
    std::error_code made;
    std::filesystem::create_directories(lockFolder, made);
    const chimex::FolderLock lock(lockFolder);
    if (const auto refusal = chimex::stateFolderRefusal(lockFolder, made, lock)) {
        platform.messageBox(refusal->prompt, refusal->title, chimex::MessageStyle::Critical);
        return 1;
    }
    chimex::LazySettingsView settings(state, platform.seams());
    std::unique_ptr<chimex::LivePlay> live; // outlives the window, which stops it
    chimex::FrmChimer window(state, platform.seams(), settings);
    platform.setEndPlayingHandler([&window] { window.unload(); });
    if (!window.load()) {
        return 0;
    }
    if (options.machine) {
        chimex::QtMachineLinks links;
        live = chimex::LivePlay::start(*options.machine, links, state, platform.seams().dialogs,
                                       options.machineFile);
    }
    window.setLivePlay(live.get());
    // A logout, a closed terminal or Ctrl+C ends playing as "Finished" does.
    const chimex::EndingSignals endingSignals([&window] { window.unload(); });
    // Qt ends the process with exit() when the display connection breaks; the tune is finished
    // then, with no window left to touch.
    windowToFinish = &window;
    std::atexit(finishOnExit);
    window.show();
    chimex::RtMidiInput midi(options.midiFilter, std::cerr);
    midi.start(
        [&window](int note, bool on, chimex::MidiTime time) { window.midiNote(note, on, time); });
    const int status = QApplication::exec();
    windowToFinish = nullptr;
    return status;
}
