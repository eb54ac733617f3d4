// SPDX-License-Identifier: MIT
#pragma once

#include "platform/midi_input.h"

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

class RtMidiIn;

namespace chimex {
class JackMidiIn;
}

namespace chimex {

/// MIDI input from every ALSA and JACK source whose name contains a filter (all when it is
/// empty): those present at start() and those that appear later (looked for every second).
/// ALSA is read through RtMidi, JACK through its own API for the frame time of each message.
/// Their threads hand each note with its time to the GUI thread through the event queue. Without
/// any MIDI system it says so in one line on `log` and delivers nothing.
class RtMidiInput : public QObject, public MidiInput {
    Q_OBJECT

  public:
    RtMidiInput(std::string filter, std::ostream& log, QObject* parent = nullptr);
    ~RtMidiInput() override;

    void start(NoteHandler handler) override;

    /// The names of the MIDI sources present now, one a line on `out`; problems go to `log`.
    static void listSources(std::ostream& out, std::ostream& log);

  private:
    struct Source;
    struct System;
    void openJack();
    bool wanted(const std::string& name) const;
    void scan();
    void openSource(unsigned int port, const std::string& name);
    static void receive(double sincePrevious, std::vector<unsigned char>* message, void* data);
    void deliver(int note, bool on, MidiTime time);

    std::string filter_;
    std::ostream& log_;
    NoteHandler handler_;
    std::unique_ptr<System> alsa_;
    std::unique_ptr<JackMidiIn> jack_;
    std::set<std::string> jackSources_; ///< the JACK sources seen, connected or not
    int alsaTimeBases_ = 0;
    QTimer scanTimer_;
};

} // namespace chimex
