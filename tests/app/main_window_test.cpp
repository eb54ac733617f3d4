// SPDX-License-Identifier: MIT
#include "app/computer_keyboard.h"
#include "app/frm_chimer.h"
#include "app/keyboard_layout.h"
#include "app/live_play.h"
#include "app/note_key.h"
#include "core/note_capture.h"
#include "fake_grbl.h"
#include "fake_modal_settings_view.h"
#include "link/grbl_session.h"
#include "platform/fake/fake_platform.h"
#include "take/midi_take_writer.h"
#include "text_files.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace chimex;

namespace {

std::vector<std::string> linesOf(const std::filesystem::path& path) {
    return test::crlfLines(test::readFile(path));
}

} // namespace

/// The main window after a real start-up (fake dialogs, the settings committed as typed).
class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakePlatform> platform_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<FakeModalSettingsView> form_;
    std::unique_ptr<FrmChimer> window_;

    std::filesystem::path folder() const { return dir_->path().toStdString(); }
    std::filesystem::path tune() const { return folder() / "tune.gxp"; }

    void start(std::array<std::string, 5> settings = {"96", "48", "6", "3", "2"}) {
        form_->texts = settings;
        window_ = std::make_unique<FrmChimer>(*state_, platform_->seams(), *form_);
        platform_->onEndPlaying = [this] {
            window_->unload();
        };
        QVERIFY(window_->load());
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    QWindow* handle() const { return window_->windowHandle(); }

    /// A point given in twips of the client area, in the window's coordinates.
    QPoint at(int xTwips, int yTwips) const {
        return window_->centralWidget()->mapTo(window_.get(),
                                               QPoint(pixels(xTwips), pixels(yTwips)));
    }
    QPoint centreOf(int key) const {
        const TwipRect r = keyRect(key);
        return at(r.left + r.width / 2, r.top + (isBlackKey(key) ? 700 : 2200));
    }

    void play(int key, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(handle(), button, {}, centreOf(key));
        QTest::mouseRelease(handle(), button, {}, centreOf(key));
    }

    int soundStarts() const { return static_cast<int>(platform_->soundsStarted.size()); }

    /// The keys whose notes were planned so far, from the take.
    std::vector<int> playedKeys() const {
        std::vector<int> keys;
        for (const TakeNote& note : window_->take().notes()) {
            keys.push_back(note.key);
        }
        return keys;
    }

    /// A computer key let go; its release becomes final once the events queued with it are seen.
    void keyUp(Qt::Key key) {
        QTest::keyRelease(handle(), key);
        QCoreApplication::processEvents();
    }
    void keyClick(Qt::Key key) {
        QTest::keyPress(handle(), key);
        keyUp(key);
    }

    /// A key event straight to the focused widget, as the platform sends an auto-repeat.
    void sendKey(QEvent::Type type, Qt::Key key, bool autoRepeat, quint64 time = 0) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        event.setTimestamp(time);
        QWidget* focus = QApplication::focusWidget(); // none while the window is not active
        QApplication::sendEvent(focus ? focus : window_->findChild<QLineEdit*>("txtSpeed"), &event);
    }
    /// A mouse event on key `key` with the display's time stamp `time`.
    void sendMouse(QEvent::Type type, int key, quint64 time) {
        const QPointF inside(5, 5);
        const bool press = type == QEvent::MouseButtonPress;
        QMouseEvent event(type, inside, window_->key(key)->mapToGlobal(inside), Qt::LeftButton,
                          press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        event.setTimestamp(time);
        QApplication::sendEvent(window_->key(key), &event);
    }
    /// What the display answers when asked whether a computer key is still down.
    void displayHasKeysDown(bool down) {
        window_->findChild<ComputerKeyboard*>()->setKeyDownQuery(
            [down](int) { return std::optional<bool>(down); });
    }

  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        platform_ = std::make_unique<FakePlatform>();
        platform_->folder = folder();
        platform_->useRealFiles = true;
        platform_->dialogAnswers = {tune()};
        state_ = std::make_unique<ProgramState>();
        form_ = std::make_unique<FakeModalSettingsView>(*state_, *platform_);
    }

    void cleanup() {
        window_.reset();
        form_.reset();
        state_.reset();
        platform_.reset();
        dir_.reset();
    }

    void windowHasItsLayoutAndOneMenuItem() {
        start();
        QCOMPARE(window_->objectName(), QString("frmChimer"));
        QCOMPARE(window_->windowTitle(), QString("Chimex"));
        QCOMPARE(window_->centralWidget()->size(), QSize(882, 184));
        const auto actions = window_->menuBar()->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions[0]->objectName(), QString("mnuFinished"));
        QCOMPARE(actions[0]->text(), QString("Finished"));
        QVERIFY(actions[0]->menu() == nullptr);
        QVERIFY(actions[0]->shortcut().isEmpty());
        auto* txtSpeed = window_->findChild<QLineEdit*>("txtSpeed");
        QVERIFY(txtSpeed != nullptr);
        QCOMPARE(txtSpeed->geometry(), QRect(264, 200, 57, 25));
        QCOMPARE(QApplication::focusWidget(), txtSpeed);
        QVERIFY(window_->findChild<QWidget*>("Label1")->geometry().top() >= 184);
        QCOMPARE(window_->findChildren<NoteKey*>().size(), keyCount);
        QCOMPARE(window_->findChild<NoteKey*>("cmdNote_36")->property("index").toInt(), 36);
        QCOMPARE(window_->key(1)->geometry(), QRect(24, 0, 33, 97));
    }

    void everyPixelGoesToTheKeyTheLayoutNames() {
        start();
        QWidget* client = window_->centralWidget();
        for (int y = 0; y < 184; ++y) {
            for (int x = 0; x < 882; ++x) {
                auto* key = qobject_cast<NoteKey*>(client->childAt(x, y));
                const int expected = keyAt(x * twipsPerPixel, y * twipsPerPixel).value_or(-1);
                if ((key ? key->index() : -1) != expected) {
                    QFAIL(qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
                }
            }
        }
    }

    void pressPlaysTheUpperKey_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("key");
        QTest::newRow("black key over its white neighbours") << 600 << 100 << 1;
        QTest::newRow("white key below the black keys") << 400 << 1500 << 0;
        QTest::newRow("strip shared by C and D") << 600 << 2000 << 2;
        QTest::newRow("strip shared by E and F") << 1800 << 100 << 5;
        QTest::newRow("top C") << 13000 << 2700 << 36;
    }
    void pressPlaysTheUpperKey() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, key);
        start();
        QTest::mousePress(handle(), Qt::LeftButton, {}, at(x, y));
        QCOMPARE(platform_->soundsStarted.back(), soundPath(folder() / "notes", key));
        QVERIFY(window_->key(key)->isHeld());
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, at(x, y));
        QCOMPARE(state_->NoteSpeed, keySpeed(state_->BaseSpeed, key));
        QVERIFY(!window_->key(key)->isHeld());
        QCOMPARE(platform_->soundStops, 1);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("txtSpeed"));
        QCOMPARE(linesOf(tune()).size(), std::size_t{4});
    }

    void otherButtonsPlayToo() {
        start();
        play(24, Qt::RightButton);
        play(12, Qt::MiddleButton);
        QCOMPARE(soundStarts(), 2);
        QCOMPARE(platform_->soundsStarted[0], soundPath(folder() / "notes", 24));
        QCOMPARE(linesOf(tune()).size(), std::size_t{8});
    }

    void releaseAfterDraggingOffGoesToThePressedKey() {
        start();
        QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(7));
        QTest::mouseMove(handle(), centreOf(20));
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, centreOf(20));
        QCOMPARE(soundStarts(), 1);
        QCOMPARE(platform_->soundStops, 1);
        QCOMPARE(state_->NoteSpeed, keySpeed(state_->BaseSpeed, 7));
        QVERIFY(!window_->key(7)->isHeld());
    }

    void aSecondButtonOnAHeldKeyPlaysASecondNote() {
        start();
        QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(3));
        QTest::mousePress(handle(), Qt::RightButton, {}, centreOf(3));
        QTest::mouseRelease(handle(), Qt::RightButton, {}, centreOf(3));
        QVERIFY(window_->key(3)->isHeld());
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, centreOf(3));
        QVERIFY(!window_->key(3)->isHeld());
        QCOMPARE(soundStarts(), 2);
        QCOMPARE(linesOf(tune()).size(), std::size_t{8});
    }

    void tabAndSpacePlayNothing() {
        start();
        QTest::keyClick(handle(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window_->key(0));
        QTest::keyClick(handle(), Qt::Key_Space);
        QTest::keyClick(handle(), Qt::Key_Return);
        QCOMPARE(soundStarts(), 0);
        QVERIFY(linesOf(tune()).empty());
    }

    void losingTheMouseReleasesTheHeldKey() {
        start();
        QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(9));
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(platform_->soundStops, 1);
        QVERIFY(!window_->key(9)->isHeld());
        QCOMPARE(state_->NoteSpeed, keySpeed(state_->BaseSpeed, 9));
        // The release that may still come plays nothing more.
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, centreOf(9));
        QCOMPARE(platform_->soundStops, 1);
        QCOMPARE(linesOf(tune()).size(), std::size_t{4});
    }

    void computerKeysPlayByPosition_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<std::vector<int>>("keys");
        QTest::newRow("lower row from C") << "zsxm" << std::vector<int>{0, 1, 2, 11};
        QTest::newRow("upper row an octave up") << "q2p" << std::vector<int>{12, 13, 28};
        QTest::newRow("octave up") << ">z>q" << std::vector<int>{12, 36};
        QTest::newRow("at most two octaves up") << ">>>zq" << std::vector<int>{24, 36};
        QTest::newRow("no key above the top C") << ">9p<9" << std::vector<int>{25};
        QTest::newRow("not below the lowest octave") << "<z" << std::vector<int>{0};
    }
    void computerKeysPlayByPosition() {
        QFETCH(QString, typed);
        QFETCH(std::vector<int>, keys);
        start();
        for (const QChar c : typed) {
            const auto key = c == '>'   ? Qt::Key_Right
                             : c == '<' ? Qt::Key_Left
                                        : static_cast<Qt::Key>(c.toUpper().unicode());
            keyClick(key);
        }
        QCOMPARE(playedKeys(), keys);
        QVERIFY(window_->findChild<QLineEdit*>("txtSpeed")->text().isEmpty());
    }

    void keysShowTheirComputerKeyAtTheOctave() {
        start();
        QCOMPARE(window_->key(0)->label(), QString("Z"));
        QCOMPARE(window_->key(13)->label(), QString("2"));
        QVERIFY(window_->key(29)->label().isEmpty());
        keyClick(Qt::Key_Right);
        QVERIFY(window_->key(0)->label().isEmpty());
        QCOMPARE(window_->key(12)->label(), QString("Z"));
        QCOMPARE(window_->key(36)->label(), QString("I"));
    }

    void autoRepeatPlaysNothingMore() {
        start();
        QTest::keyPress(handle(), Qt::Key_Z);
        sendKey(QEvent::KeyRelease, Qt::Key_Z, true);
        sendKey(QEvent::KeyPress, Qt::Key_Z, true);
        QVERIFY(window_->key(0)->isHeld());
        keyUp(Qt::Key_Z);
        // Unmarked: a release and a press with one time stamp after a long hold, the display
        // still having the key down; then a release and at once a real press (a later stamp).
        displayHasKeysDown(true);
        sendKey(QEvent::KeyPress, Qt::Key_X, false, 1000);
        sendKey(QEvent::KeyRelease, Qt::Key_X, false, 1700);
        sendKey(QEvent::KeyPress, Qt::Key_X, false, 1700);
        QVERIFY(window_->key(2)->isHeld());
        sendKey(QEvent::KeyRelease, Qt::Key_X, false, 1740);
        sendKey(QEvent::KeyPress, Qt::Key_X, false, 1760);
        displayHasKeysDown(false);
        sendKey(QEvent::KeyRelease, Qt::Key_X, false, 1800);
        QVERIFY(!window_->key(2)->isHeld());
        QCOMPARE(soundStarts(), 3);
        QCOMPARE(playedKeys(), (std::vector<int>{0, 2, 2}));
    }

    void notesAreTimedByTheirEventsOwnStamps() {
        form_->pause = 1;
        start();
        // The clock is read late for every event; the stamps alone give holds and gaps.
        platform_->clockReadings = {100, 100.4, 101, 101.7, 102, 103, 104, 105, 106, 107};
        sendKey(QEvent::KeyPress, Qt::Key_Z, false, 50'000);
        sendKey(QEvent::KeyRelease, Qt::Key_Z, false, 50'100);
        sendMouse(QEvent::MouseButtonPress, 7, 50'250);
        sendMouse(QEvent::MouseButtonRelease, 7, 50'550);
        window_->midiNote(60, true, {0, 7.5});
        window_->midiNote(60, false, {0, 7.813});
        window_->midiNote(62, true, {1, 3});
        window_->midiNote(62, false, {1, 3.25});
        const auto notes = window_->take().notes();
        QCOMPARE(notes.size(), std::size_t{4});
        const float holds[] = {0.1f, 0.3f, 0.313f, 0.25f};
        for (std::size_t i = 0; i < notes.size(); ++i) {
            QCOMPARE(notes[i].hold, holds[i]);
        }
        QCOMPARE(notes[1].gap, 0.15f);
    }

    void theLastNoteWins() {
        start();
        QTest::keyPress(handle(), Qt::Key_Z);
        QTest::keyPress(handle(), Qt::Key_X); // releases Z's key 0 first
        keyUp(Qt::Key_Z);
        QVERIFY(window_->key(2)->isHeld());
        QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(7));
        keyUp(Qt::Key_X);
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, centreOf(7));
        window_->midiNote(60, true);
        window_->midiNote(36, true); // two octaves below the keyboard: key 0
        window_->midiNote(60, false);
        QVERIFY(window_->key(0)->isHeld());
        window_->midiNote(36, true); // struck again: a new note
        window_->midiNote(36, false);
        window_->midiNote(100, true); // above it: key 28
        window_->midiNote(100, false);
        QCOMPARE(playedKeys(), (std::vector<int>{0, 2, 7, 12, 0, 0, 28}));
        QCOMPARE(linesOf(tune()).size(), std::size_t{7 * 4});
    }

    void ctrlKeysPlayNothingButEndANote() {
        start();
        QTest::keyClick(handle(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyPress(handle(), Qt::Key_X);
        QTest::keyRelease(handle(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(playedKeys(), std::vector<int>{2});
    }

    void losingTheFocusReleasesTheComputerKey() {
        start();
        QTest::keyPress(handle(), Qt::Key_C);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!window_->key(4)->isHeld());
        // Back with C still down: its repeats play nothing until it is let go and pressed again.
        displayHasKeysDown(true);
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        sendKey(QEvent::KeyPress, Qt::Key_C, false, 9000);
        QVERIFY(!window_->key(4)->isHeld());
        displayHasKeysDown(false);
        keyUp(Qt::Key_C);
        QCOMPARE(playedKeys(), std::vector<int>{4});
        keyClick(Qt::Key_C);
        QCOMPARE(playedKeys(), (std::vector<int>{4, 4}));
    }

    void theTakeIsKeptBesideTheTuneFile() {
        start();
        keyClick(Qt::Key_Q);
        play(3);
        window_->unload();
        QCOMPARE(playedKeys(), (std::vector<int>{12, 3}));
        QCOMPARE(test::readFile(folder() / "tune.mid").substr(0, 4), std::string("MThd"));
    }

    void aFileOfTheUsersIsNeverReplacedByTheTake() {
        test::writeFile(folder() / "tune.mid", "MThd the user's own song");
        start();
        window_->unload();
        QVERIFY(!std::filesystem::exists(folder() / "tune (2).mid")); // nothing played, no take
        QVERIFY(platform_->messages.empty());
        cleanup();
        init();
        test::writeFile(folder() / "tune.mid", "MThd the user's own song");
        start();
        play(3);
        window_->unload();
        QCOMPARE(test::readFile(folder() / "tune.mid"), std::string("MThd the user's own song"));
        QVERIFY(platform_->messages.back().prompt.starts_with(
            "The notes as played are kept as a MIDI file in \"" +
            (folder() / "tune (2).mid").string()));
        const std::string take = test::readFile(folder() / "tune (2).mid");
        QVERIFY(isOwnTake(take));
        // Played again: the program's own take is replaced, the user's file still kept.
        cleanup();
        init();
        test::writeFile(folder() / "tune.mid", "MThd the user's own song");
        test::writeFile(folder() / "tune (2).mid", take);
        start();
        play(5);
        window_->unload();
        QVERIFY(test::readFile(folder() / "tune (2).mid") != take);
        QVERIFY(!std::filesystem::exists(folder() / "tune (3).mid"));
    }

    void aTuneThatCannotBeFinishedIsReportedBeforeTheTake() {
        test::writeFile(folder() / "tune.mid", "MThd the user's own song");
        start();
        platform_->endPlayingFirst = true;
        play(3);
        std::filesystem::remove(tune()); // the finaliser finds no journal to read
        window_->close();
        QCOMPARE(platform_->failuresReported.size(), std::size_t{2});
        QVERIFY(platform_->failuresReported[0].find("tune.gxp") != std::string::npos);
        QVERIFY(platform_->failuresReported[1].starts_with("The notes as played are kept"));
        QVERIFY(platform_->messages.empty());
        QVERIFY(std::filesystem::exists(folder() / "tune (2).mid"));
    }

    void aTakeThatCannotBeWrittenIsReported() {
        // The longest name a file may have, ending in ".mid": the take's name is too long.
        const auto longest = folder() / (std::string(251, 't') + ".mid");
        platform_->dialogAnswers = {longest};
        start();
        play(3);
        window_->unload();
        QCOMPARE(linesOf(longest).size(), std::size_t{40});
        QVERIFY(platform_->messages.back().prompt.starts_with(
            "The notes as played could not be kept as a MIDI file."));
    }

    void aFailingKeyHandlerIsReportedNotThrown() {
        start();
        platform_->failing = {"startSound"};
        QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(4));
        QCOMPARE(platform_->failuresReported.size(), std::size_t{1});
        QVERIFY(platform_->failuresReported[0].find("startSound") != std::string::npos);
    }

    void finishedRightAfterStartUpGivesTheEmptyPartFile() {
        start();
        QAction* finished = window_->findChild<QAction*>("mnuFinished");
        QMenuBar* bar = window_->menuBar();
        const QPoint item = bar->mapTo(window_.get(), bar->actionGeometry(finished).center());
        QTest::mouseClick(handle(), Qt::LeftButton, {}, item);
        QTRY_VERIFY(!window_->isVisible());
        const auto lines = linesOf(tune());
        QCOMPARE(lines.size(), std::size_t{36});
        QCOMPARE(lines[32], std::string(""));
        QCOMPARE(lines[33], std::string("' Finally restore the original settings"));
        QVERIFY(!std::filesystem::exists(folder() / "Chimex.tmp"));
    }

    void closingTheWindowFinishesTheTuneOnce() {
        start();
        play(0);
        handle()->close();
        QTRY_VERIFY(!window_->isVisible());
        QCOMPARE(linesOf(tune()).size(), std::size_t{40});
        window_->unload(); // the unload chain has run; nothing is wrapped a second time
        window_.reset();
        QCOMPARE(linesOf(tune()).size(), std::size_t{40});
    }

    void noRoomEndsTheRunOnceWithTheMessageFirst() {
        start({"0", "0", "0", "3", "2"});
        QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(0));
        emit window_->key(0)->noteReleased(0, true, 0);
        // The message and the unload wait until the release's handler has returned.
        QVERIFY(platform_->messages.empty());
        QVERIFY(window_->isVisible());
        QTRY_VERIFY(!window_->isVisible());
        QCOMPARE(platform_->messages.size(), std::size_t{1});
        QCOMPARE(platform_->messages[0].prompt, std::string(notEnoughRoomMessage));
        QCOMPARE(platform_->messages[0].title, std::string("Not enough room"));
        QVERIFY(platform_->messages[0].style == MessageStyle::Critical);
        QCOMPARE(linesOf(tune()).size(), std::size_t{36});
        window_->unload();
        QCOMPARE(linesOf(tune()).size(), std::size_t{36});
        // The take keeps the note that found no room (note 48 struck), so a render stops there too.
        QVERIFY(test::readFile(folder() / "tune.mid").find("\x90\x30\x64") != std::string::npos);
    }

    /// A key held with the mouse jogs the fake GRBL; its release cancels the jog at once, and
    /// the note is in the tune as without a machine.
    void liveNotesJogTheMachineWhileTheirKeyIsHeld() {
        start();
        FakeMachineLinks links;
        FakeGrbl grbl({}, links.link.time); // homing on: in alarm until $H
        links.link.peer = &grbl;
        const LinkAddress address{GcodeDialect::Grbl, SerialPortAddress{"/dev/ttyUSB0"}};
        QVERIFY(!LivePlay::start(address, links, *state_, platform_->seams().dialogs));
        QVERIFY(platform_->messages.back().prompt.find("send $H") != std::string::npos);
        GrblSession(links.link).request("$H", links.link.time + std::chrono::seconds(1));
        auto live = LivePlay::start(address, links, *state_, platform_->seams().dialogs);
        QVERIFY(live);
        QCOMPARE(live->statusText(), "GRBL on /dev/ttyUSB0: Idle");
        window_->setLivePlay(live.get());
        const struct Forget {
            FrmChimer& window;
            ~Forget() { window.setLivePlay(nullptr); }
        } forget{*window_};
        QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(24));
        QVERIFY2(links.link.written.ends_with("F87.780\n"), // key 24: 4 x 3 / 8.2 mm/s
                 links.link.written.substr(links.link.written.size() - 30).c_str());
        QTRY_VERIFY(grbl.state() == "Jog");
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, centreOf(24));
        QCOMPARE(links.link.written.back(), '\x85');
        QTRY_VERIFY(grbl.state() == "Idle");
        QCOMPARE(playedKeys(), std::vector<int>{24});
        window_->unload(); // stops live play while it is there
        QVERIFY(window_->windowTitle().startsWith("Chimex - GRBL on /dev/ttyUSB0"));

        for (const auto printer : {GcodeDialect::Marlin, GcodeDialect::Klipper}) {
            const LinkAddress address{printer, SerialPortAddress{"/dev/ttyACM0"}};
            QVERIFY(!LivePlay::start(address, links, *state_, platform_->seams().dialogs));
            QVERIFY(platform_->messages.back().prompt.starts_with(
                std::string(dialectName(printer)) + " cannot stop a move"));
        }
        const LinkAddress linuxcnc{GcodeDialect::LinuxCnc, TcpAddress{"mill", 5007}};
        QVERIFY(!LivePlay::start(linuxcnc, links, *state_, platform_->seams().dialogs));
        QVERIFY(platform_->messages.back().prompt.starts_with(
            "Live play on LinuxCNC needs the machine's INI as well"));
        QCOMPARE(links.opened.size(), 2u); // the GRBL twice, never a printer nor LinuxCNC
    }

    void aPressWhoseReleaseOfTheHeldKeyEndsTheRunDoesNothingMore() {
        form_->pause = 1;
        start({"0", "0", "0", "3", "2"});
        QTest::mousePress(handle(), Qt::LeftButton, {}, centreOf(3));
        emit window_->key(5)->notePressed(5, 0); // another source presses key 5: key 3 is released
        QTRY_VERIFY(!window_->isVisible());
        QVERIFY(platform_->failuresReported.empty());
        QCOMPARE(soundStarts(), 1);
        QVERIFY(!window_->key(5)->isHeld());
        QCOMPARE(linesOf(tune()).size(), std::size_t{36});
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
