// SPDX-License-Identifier: MIT
#pragma once

#include "platform/midi_input.h"

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class RtMidiIn;

namespace chimex {

/// MIDI input through RtMidi from every ALSA and JACK source whose name contains a filter (all
/// when it is empty): those present at start() and those that appear later (looked for every
/// second). RtMidi's threads hand each note to the GUI thread through the event queue. Without
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
    struct System;
    void scan();
    void openSource(System& system, unsigned int port, const std::string& name);
    static void receive(double, std::vector<unsigned char>* message, void* self);

    std::string filter_;
    std::ostream& log_;
    NoteHandler handler_;
    std::vector<std::unique_ptr<System>> systems_;
    QTimer scanTimer_;
};

} // namespace chimex
