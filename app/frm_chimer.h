// SPDX-License-Identifier: MIT
#pragma once

#include "app/event_clock.h"
#include "app/midi_keys.h"
#include "app/modal_settings_view.h"
#include "app/unload_chain.h"
#include "core/note_capture.h"
#include "core/program_state.h"
#include "platform/platform.h"
#include "take/take.h"

#include <QMainWindow>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;

namespace chimex {

class ComputerKeyboard;
class LivePlay;
class NoteKey;

/// The main window: the 37-key keyboard and the menu item "Finished". Its load step is the
/// start-up sequence; its unload finishes the tune file once, whatever closes it.
class FrmChimer : public QMainWindow {
    Q_OBJECT

  public:
    FrmChimer(ProgramState& state, const Platform& platform, ModalSettingsView& settings);
    ~FrmChimer() override;

    /// The start-up sequence. True when the window is to be shown; false when the program ends.
    bool load();
    /// Finishes the tune file (once) and closes the window.
    void unload();

    /// Ends the held note and finishes the tune file (once) without touching any window, for a
    /// program that ends because its display is gone. A failure is written to standard error.
    void finishWithoutWindows();
    /// A note message from a MIDI keyboard (see MidiKeys), timed by the message's own time.
    void midiNote(int note, bool on, MidiTime time = {}) { midiKeys_.note(note, on, time); }

    /// Plays the machine live from now on: every note's press and release drive it, and the
    /// title shows its status. Not owned: it must stay until the tune is finished.
    void setLivePlay(LivePlay* live);

    NoteKey* key(int index) const { return keys_.at(static_cast<std::size_t>(index)); }
    const Take& take() const { return take_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    /// The event's time stamp in milliseconds from the display server (0 for none).
    EventStamp displayStamp(quint64 milliseconds);
    EventStamp midiStamp(const MidiTime& time);
    /// The clock reading of the event; may throw, so it is read inside runGuarded().
    double readingOf(const EventStamp& stamp);

    void buildKeyboard(QWidget* client);
    /// A press from the computer keyboard or a MIDI keyboard. It goes where a mouse press goes;
    /// a key that already sounds is released first, so the press starts a new note.
    void pressKey(int index, EventStamp stamp);
    /// A release from the computer keyboard or a MIDI keyboard: releases the key if it sounds.
    void releaseKey(int index, EventStamp stamp);
    void keyPressed(int index, EventStamp stamp);
    void keyReleased(int index, bool lastButton, EventStamp stamp);
    /// The note logic of a press and a release at the clock reading `time`: the sound, the note,
    /// the take. A release answers whether the note found room.
    void playPress(int index, double time);
    NoteOutcome playRelease(int index, double time);
    /// Playing ends inside a key handler: nothing more is played. A failure is reported at once
    /// (which finishes the tune); for no room, once the handler has returned, the message is
    /// shown and the window unloads.
    void endAfterHandler(std::string message, bool noRoom);
    /// The held key, if any, is released at `stamp` (by default now, as when the window lost
    /// the mouse).
    void releaseHeldKey(EventStamp stamp = {});
    void finishTune();
    /// Adds the note whose release is under way (when the run ended inside it) to the take.
    void recordRelease();
    /// What the user is told about the take: where it went when not to its usual name, or why it
    /// could not be written.
    struct TakeMessage {
        std::string text;
        MessageStyle style;
    };
    /// Writes the take beside the tune file, once, when a note was played; never over a file the
    /// program did not write.
    std::optional<TakeMessage> keepTake();
    /// keepTake, its message shown; a failure is shown and playing is not lost.
    void saveTake();
    void showKeyLabels();

    ProgramState& state_;
    Platform platform_;
    ModalSettingsView& settings_;
    UnloadChain unloadChain_;
    std::array<NoteKey*, keyCount> keys_{};
    std::optional<int> heldKey_;
    bool playing_ = true; ///< keys play notes until the tune is finished or playing has ended
    ComputerKeyboard* keyboard_ = nullptr;
    MidiKeys midiKeys_;
    EventClock displayClock_;              ///< the mouse's and the computer keyboard's stamps
    std::map<int, EventClock> midiClocks_; ///< by MIDI time base
    Take take_;
    std::vector<std::filesystem::path> sounds_; ///< each key's sound file, by index
    std::optional<int> releasing_;
    bool takeWanted_ = false;
    bool takeSaved_ = false;
    bool finishing_ = false; ///< the unload chain is running
    LivePlay* live_ = nullptr;
    QLineEdit* txtSpeed_ = nullptr;
    QLabel* label1_ = nullptr;
    QAction* mnuFinished_ = nullptr;
};

} // namespace chimex
