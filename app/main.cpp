// SPDX-License-Identifier: MIT
// The desktop program: builds the Qt platform, the two windows and the program state, then runs
// the main window's load step (start-up) and the event loop.
#include "app/frm_chimer.h"
#include "app/lazy_settings_view.h"
#include "app/program_help.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QIcon>

#include <iostream>

int main(int argc, char** argv) {
    if (chimex::answerHelp(argc, argv, std::cout, std::cerr)) {
        return 0;
    }
    Q_INIT_RESOURCE(chimex);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Chimex");
    QApplication::setApplicationVersion("1.0.0.0");
    QApplication::setDesktopFileName("org.chimex.vedadazu"); // the installed menu entry
    QApplication::setWindowIcon(QIcon(":/chimex/chimex.png"));

    chimex::ProgramState state;
    chimex::QtPlatform platform;
    chimex::LazySettingsView settings(state, platform);
    chimex::FrmChimer window(state, platform, settings);
    platform.setEndPlayingHandler([&window] { window.unload(); });
    if (!window.load()) {
        return 0;
    }
    window.show();
    return QApplication::exec();
}
