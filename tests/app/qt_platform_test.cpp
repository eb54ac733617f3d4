// SPDX-License-Identifier: MIT
#include "platform/qt/qt_platform.h"
#include "tools/note_synth.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <functional>

using namespace chimex;

namespace {

/// Runs `inspect` on the modal widget once it is up (a message box or dialog opened next).
void whenModalOpens(std::function<void(QWidget*)> inspect) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            inspect(modal);
            // A failed check returns early: close the window so the test does not hang.
            if (QApplication::activeModalWidget() == modal) {
                modal->close();
            }
        }
    });
    timer->start();
}

void touch(const QString& path) {
    std::ofstream(path.toStdString()) << "x";
}

} // namespace

class QtPlatformTest : public QObject {
    Q_OBJECT

  private slots:
    void fileExistsForEveryOrdinaryFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::newRow("ordinary file") << "tune.gxp" << true;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("dot-file") << ".hidden" << true;
        QTest::newRow("missing") << "missing.gxp" << false;
    }
    void fileExistsForEveryOrdinaryFile() {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        touch(dir.filePath("tune.gxp"));
        touch(dir.filePath(".hidden"));
        QDir(dir.path()).mkdir("folder");
        QtPlatform platform;
        QCOMPARE(platform.fileExists(dir.filePath(name).toStdString()), exists);
    }

    void foldersFollowTheExecutablesFolder() {
        // The test program has no notes/ beside it, so it counts as installed in <prefix>/tests.
        QtPlatform platform;
        const QString prefix = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/..");
        QCOMPARE(QString::fromStdString(platform.folders().notes.string()),
                 prefix + "/share/chimex/notes");
        QVERIFY(platform.folders().installed);
    }

    void clockAndRandomNumbers() {
        QtPlatform platform;
        const double now = platform.clock();
        QVERIFY(now >= 0.0 && now < 86400.0);
        RandomSource fresh;
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(platform.seams().random.randomNumber(), fresh.next());
        }
    }

    void yesNoBoxHasYesAsDefault() {
        QtPlatform platform;
        whenModalOpens([](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            QCOMPARE(box->windowTitle(), QString("File exists!"));
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            QVERIFY(box->button(QMessageBox::No) != nullptr);
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(platform.messageBox("Sure?", "File exists!", MessageStyle::YesNo),
                 MessageButton::Yes);
        whenModalOpens([](QWidget* modal) {
            static_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
        });
        QCOMPARE(platform.messageBox("Sure?", "File exists!", MessageStyle::YesNo),
                 MessageButton::No);
    }

    void criticalBoxHasItsIconAndOk() {
        QtPlatform platform;
        whenModalOpens([](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->text(), QString("No room"));
            QVERIFY(box->button(QMessageBox::Ok) != nullptr);
            QVERIFY(box->button(QMessageBox::No) == nullptr);
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(platform.messageBox("No room", "Not enough room", MessageStyle::Critical),
                 MessageButton::Ok);
    }

    void saveDialogShowsTheOptionsAndReturnsTheTypedPath() {
        QTemporaryDir dir;
        QtPlatform platform;
        whenModalOpens([&dir](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->windowTitle(), QString("Select a name for your tune"));
            QCOMPARE(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
            // Qt trims the description's leading blank when it lists the filter.
            QCOMPARE(dialog->nameFilters(), QStringList{"Gantrix (*.gxp)"});
            QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
            QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            QCOMPARE(dialog->defaultSuffix(), QString());
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name != nullptr);
            QCOMPARE(name->text(), QString("Chimex"));
            name->setText("mytune");
            QTest::keyClick(name, Qt::Key_Return);
        });
        const auto chosen =
            platform.saveFileDialog({"Select a name for your tune", dir.path().toStdString(),
                                     " Gantrix (*.gxp)", "*.gxp", "Chimex"});
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(chosen->string()), dir.filePath("mytune"));
    }

    void cancelledSaveDialogGivesNothing() {
        QtPlatform platform;
        whenModalOpens([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        QVERIFY(!platform.saveFileDialog(
            {"T", QDir::tempPath().toStdString(), " Gantrix (*.gxp)", "*.gxp", "Chimex"}));
    }

    void unhandledFailureFinishesTheTuneThenTellsThenEnds() {
        std::vector<std::string> events;
        QtPlatform platform(
            [&events](int status) { events.push_back("exit " + std::to_string(status)); });
        platform.setEndPlayingHandler([&] {
            events.push_back("unload");
            platform.reportUnhandledFailure("Cannot finish writing the tune file");
        });
        whenModalOpens([&events](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            QCOMPARE(box->icon(), QMessageBox::Critical);
            events.push_back("box " + box->text().toStdString());
            box->button(QMessageBox::Ok)->click();
        });
        platform.reportUnhandledFailure("Overflow in the note planner");
        const std::vector<std::string> expected = {
            "unload", "box Overflow in the note planner\n\nCannot finish writing the tune file",
            "exit 1"};
        QCOMPARE(events, expected);
    }

    void soundsAreSilentWithoutADeviceOrAFile() {
        // The tests run with no sound server: nothing is loaded and nothing plays, quietly.
        QTemporaryDir dir;
        const std::string wave = dir.filePath("7.wav").toStdString();
        {
            std::ofstream out(wave, std::ios::binary);
            writeWave(out, synthesiseNote(7, 0.1));
        }
        QtPlatform platform;
        platform.preloadSounds({wave, dir.filePath("missing.wav").toStdString()});
        QCOMPARE(platform.sounds().loadedCount(), std::size_t{0});
        platform.startSound(wave);
        QVERIFY(!platform.sounds().isPlaying());
        platform.stopSound();
        platform.startSound(dir.filePath("missing.wav").toStdString());
        QVERIFY(!platform.sounds().isPlaying());
    }
};

QTEST_MAIN(QtPlatformTest)
#include "qt_platform_test.moc"
