// SPDX-License-Identifier: MIT
#include "frm_chimer.h"

#include "app/computer_keyboard.h"
#include "app/keyboard_layout.h"
#include "app/live_play.h"
#include "app/note_key.h"
#include "app/start_up.h"
#include "core/note_capture.h"
#include "core/run_guarded.h"
#include "take/midi_take_writer.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>

#include <exception>
#include <iostream>

namespace chimex {

FrmChimer::FrmChimer(ProgramState& state, const Platform& platform, ModalSettingsView& settings)
    : state_(state), platform_(platform), settings_(settings), unloadChain_(state, platform.files),
      midiKeys_([this](int index, MidiTime time) { pressKey(index, midiStamp(time)); },
                [this](int index, MidiTime time) { releaseKey(index, midiStamp(time)); }),
      sounds_(soundPaths(platform.files.folders().notes)) {
    setObjectName("frmChimer");
    setWindowTitle("Chimex");
    setWindowIcon(QIcon(":/chimex/chimex.png"));

    mnuFinished_ = menuBar()->addAction("Finished");
    mnuFinished_->setObjectName("mnuFinished");
    connect(mnuFinished_, &QAction::triggered, this, &FrmChimer::unload);

    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFixedSize(pixels(clientWidth), pixels(clientHeight));
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Below the client area, out of view: txtSpeed only takes the focus after every note.
    txtSpeed_ = new QLineEdit(client);
    txtSpeed_->setObjectName("txtSpeed");
    txtSpeed_->setGeometry(pixels(3960), pixels(3000), pixels(855), pixels(375));
    label1_ = new QLabel("Click a key to see the Gantrix Speed for that note", client);
    label1_->setObjectName("Label1");
    label1_->setGeometry(pixels(120), pixels(3120), pixels(3735), pixels(255));

    buildKeyboard(client);
    txtSpeed_->setFocus();

    keyboard_ = new ComputerKeyboard(
        [this](int index, quint64 time) { pressKey(index, displayStamp(time)); },
        [this](int index, quint64 time) { releaseKey(index, displayStamp(time)); }, this);
    for (QWidget* target : std::initializer_list<QWidget*>{this, txtSpeed_}) {
        target->installEventFilter(keyboard_);
    }
    for (NoteKey* note : keys_) {
        note->installEventFilter(keyboard_);
    }
    connect(keyboard_, &ComputerKeyboard::octaveShifted, this, &FrmChimer::showKeyLabels);
    showKeyLabels();
}

FrmChimer::~FrmChimer() {
    // Discarded while still loaded: unload first, so the tune file is finished.
    finishTune();
}

void FrmChimer::buildKeyboard(QWidget* client) {
    QWidget* previous = txtSpeed_;
    for (int index = 0; index < keyCount; ++index) {
        auto* key = new NoteKey(index, client);
        keys_[static_cast<std::size_t>(index)] = key;
        connect(key, &NoteKey::notePressed, this,
                [this](int index, quint64 time) { keyPressed(index, displayStamp(time)); });
        connect(key, &NoteKey::noteReleased, this, [this](int index, bool last, quint64 time) {
            keyReleased(index, last, displayStamp(time));
        });
        setTabOrder(previous, key);
        previous = key;
    }
    // Children stack in the order they are raised: the last raised lies on top.
    for (int index : stackingOrder()) {
        key(index)->raise();
    }
}

bool FrmChimer::load() {
    bool ready = false;
    runGuarded(platform_.lifetime, [&] { ready = runStartUp(state_, platform_, settings_); });
    takeWanted_ = ready;
    return ready;
}

void FrmChimer::unload() {
    // Ended from outside (a signal) while a key is held: that note is played before finishing.
    releaseHeldKey();
    finishTune();
    close();
}

void FrmChimer::setLivePlay(LivePlay* live) {
    live_ = live;
    if (live_) {
        const auto showStatus = [this](const QString& text) {
            setWindowTitle("Chimex - " + text);
        };
        connect(live_, &LivePlay::statusChanged, this, showStatus);
        showStatus(QString::fromStdString(live_->statusText()));
    }
}

void FrmChimer::finishTune() {
    playing_ = false;
    if (live_) {
        live_->stop();
        live_ = nullptr; // the machine is played no more, and may go before the window
    }
    if (!unloadChain_.hasRun()) {
        finishing_ = true;
        runGuarded(platform_.lifetime, [&] { unloadChain_.run(); });
        finishing_ = false;
    }
    saveTake();
}

void FrmChimer::recordRelease() {
    if (releasing_) {
        take_.release(*releasing_, state_.NoteDuration);
        releasing_.reset();
    }
}

std::optional<FrmChimer::TakeMessage> FrmChimer::keepTake() {
    if (!takeWanted_ || takeSaved_) {
        return std::nullopt;
    }
    takeSaved_ = true;
    recordRelease();
    if (take_.notes().empty()) {
        return std::nullopt; // nothing played: an earlier take stays as it is
    }
    try {
        const auto usual = takePath(state_.TuneFile);
        const auto path = takeDestination(state_.TuneFile);
        saveMidiTake(path, take_.notes());
        if (path != usual) {
            return TakeMessage{
                "The notes as played are kept as a MIDI file in \"" + path.string() + "\": \"" +
                    usual.string() +
                    "\" is not a take of Chimex Vedadazu that it may replace (a file of "
                    "your own, a link or a read-only file) and is left as it is.",
                MessageStyle::Ok};
        }
    } catch (const std::exception& failure) {
        return TakeMessage{
            std::string("The notes as played could not be kept as a MIDI file.\n\n") +
                failure.what(),
            MessageStyle::Critical};
    }
    return std::nullopt;
}

void FrmChimer::saveTake() {
    const auto message = keepTake();
    if (!message) {
        return;
    }
    if (finishing_) {
        // The tune file could not be finished and that failure is being reported now (its report
        // ends the program): this message goes with it, after it.
        platform_.lifetime.reportUnhandledFailure(message->text);
        return;
    }
    platform_.dialogs.messageBox(message->text, "Chimex", message->style);
}

void FrmChimer::showKeyLabels() {
    const auto labels = keyboard_->map().labels();
    for (int index = 0; index < keyCount; ++index) {
        key(index)->setLabel(QString::fromStdString(labels[static_cast<std::size_t>(index)]));
    }
}

EventStamp FrmChimer::displayStamp(quint64 milliseconds) {
    // X11 has no event at time 0; an event made up inside the program has no time of its own.
    if (milliseconds == 0) {
        return {};
    }
    return {&displayClock_, static_cast<double>(milliseconds) / 1000};
}

EventStamp FrmChimer::midiStamp(const MidiTime& time) {
    if (time.base < 0) {
        return {};
    }
    return {&midiClocks_[time.base], time.seconds};
}

double FrmChimer::readingOf(const EventStamp& stamp) {
    const double now = platform_.clock.clock();
    return stamp.source ? stamp.source->reading(stamp.seconds, now) : now;
}

void FrmChimer::pressKey(int index, EventStamp stamp) {
    if (heldKey_ == index) {
        releaseHeldKey(stamp);
    }
    keyPressed(index, stamp);
}

void FrmChimer::releaseKey(int index, EventStamp stamp) {
    keyReleased(index, true, stamp);
}

void FrmChimer::finishWithoutWindows() {
    if (!unloadChain_.hasRun()) {
        try {
            if (heldKey_ && playing_) {
                // As at a signal, the held note is played; no window is touched.
                const int index = *heldKey_;
                heldKey_.reset();
                playRelease(index, platform_.clock.clock());
            }
            playing_ = false;
            if (live_) {
                live_->stop();
            }
            unloadChain_.run();
        } catch (const std::exception& failure) {
            std::cerr << "Chimex: " << failure.what() << "\n";
        }
    }
    if (const auto message = keepTake()) {
        std::cerr << "Chimex: " << message->text << "\n";
    }
}

void FrmChimer::playPress(int index, double time) {
    if (live_) {
        live_->noteOn(index); // first: the machine starts with the key
    }
    const double gap = pressedAt(state_, time);
    platform_.sound.startSound(sounds_.at(static_cast<std::size_t>(index)));
    startNote(state_, gap);
    take_.press(pauseLength(gap));
}

NoteOutcome FrmChimer::playRelease(int index, double time) {
    if (live_) {
        live_->noteOff();
    }
    const NoteSpeeds speeds = keySpeeds(state_, index);
    platform_.sound.stopSound();
    const double held = releasedAt(state_, time);
    releasing_ = index;
    const NoteOutcome outcome = endNote(state_, platform_.random, held, speeds);
    recordRelease();
    return outcome;
}

void FrmChimer::endAfterHandler(std::string message, bool noRoom) {
    playing_ = false;
    if (live_) {
        live_->noteOff();
    }
    if (heldKey_) {
        key(*heldKey_)->setHeld(false);
        heldKey_.reset();
    }
    if (!noRoom) {
        // The handler's work is settled: reporting finishes the tune and ends the program.
        platform_.lifetime.reportUnhandledFailure(message);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, message = std::move(message)] {
            if (!unloadChain_.hasRun()) {
                platform_.dialogs.messageBox(message, notEnoughRoomCaption, MessageStyle::Critical);
            }
            unload();
        },
        Qt::QueuedConnection);
}

void FrmChimer::keyPressed(int index, EventStamp stamp) {
    if (!playing_) {
        return;
    }
    if (heldKey_ && *heldKey_ != index) {
        releaseHeldKey(stamp);
        if (!playing_) {
            return; // that release ended playing (no room)
        }
    }
    heldKey_ = index;
    key(index)->setHeld(true);
    try {
        playPress(index, readingOf(stamp));
    } catch (const std::exception& failure) {
        endAfterHandler(failure.what(), false);
    }
}

void FrmChimer::keyReleased(int index, bool lastButton, EventStamp stamp) {
    if (heldKey_ != index) {
        return; // already released when the window lost the mouse
    }
    if (lastButton || !playing_) {
        heldKey_.reset();
        key(index)->setHeld(false);
    }
    if (!playing_) {
        return; // the tune is finished; a release arriving after that plays nothing
    }
    txtSpeed_->setFocus();
    try {
        if (playRelease(index, readingOf(stamp)) == NoteOutcome::NoRoom) {
            endAfterHandler(notEnoughRoomMessage, true);
        }
    } catch (const std::exception& failure) {
        recordRelease();
        endAfterHandler(failure.what(), false);
    }
}

void FrmChimer::releaseHeldKey(EventStamp stamp) {
    if (heldKey_) {
        keyReleased(*heldKey_, true, stamp);
    }
}

void FrmChimer::closeEvent(QCloseEvent* event) {
    releaseHeldKey();
    finishTune();
    event->accept();
}

void FrmChimer::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            keyboard_->keyboardRegained();
        } else {
            // A release that waited for its auto-repeat ends its note at its own time first.
            keyboard_->forgetKeysDown();
            releaseHeldKey();
        }
    }
    QMainWindow::changeEvent(event);
}

void FrmChimer::hideEvent(QHideEvent* event) {
    releaseHeldKey();
    QMainWindow::hideEvent(event);
}

} // namespace chimex
