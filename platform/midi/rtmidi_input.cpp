// SPDX-License-Identifier: MIT
#include "rtmidi_input.h"

#include "platform/midi/jack_midi_in.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>

namespace chimex {

/// One source read through RtMidi, with the time of its messages: RtMidi gives the time since
/// the source's previous message, which ALSA's sequencer stamps as it arrives.
struct RtMidiInput::Source {
    RtMidiInput* owner;
    int timeBase;
    double seconds = 0;
    std::unique_ptr<RtMidiIn> input;
};

/// The ALSA system through RtMidi: a client that lists its sources, and one input per source.
struct RtMidiInput::System {
    std::unique_ptr<RtMidiIn> lister;
    std::map<std::string, std::unique_ptr<Source>> inputs; ///< by source name
};

namespace {

constexpr const char* clientName = "Chimex";
constexpr int scanMilliseconds = 1000;
/// The time base of messages from JACK: its frames; each ALSA source counts from 1 up.
constexpr int jackTimeBase = 0;

// The ALSA and JACK libraries print their own complaints on stderr; the program says what
// matters in one line of its own.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

void reportRtMidiError(RtMidiError::Type type, const std::string& text, void* log) {
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING) {
        *static_cast<std::ostream*>(log) << "Chimex: MIDI: " << text << "\n";
    }
}

/// Why the system cannot be used, or empty when it can.
std::string unavailable(RtMidi::Api api) {
    if (api == RtMidi::LINUX_ALSA) {
        snd_lib_error_set_handler(quietAlsa);
        snd_seq_t* sequencer = nullptr;
        const int error = snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_INPUT, 0);
        if (error < 0) {
            return std::string("ALSA: no sequencer (") + snd_strerror(error) + ")";
        }
        snd_seq_close(sequencer);
        return {};
    }
    jack_set_error_function(quietJack);
    jack_set_info_function(quietJack);
    jack_status_t status{};
    jack_client_t* client = jack_client_open("chimex-probe", JackNoStartServer, &status);
    if (!client) {
        return "JACK: no server running";
    }
    jack_client_close(client);
    return {};
}

/// The usable systems; `problems` gets one reason for each that is not.
std::vector<RtMidi::Api> usableSystems(std::string& problems) {
    std::vector<RtMidi::Api> usable;
    for (const RtMidi::Api api : {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK}) {
        const std::string why = unavailable(api);
        if (why.empty()) {
            usable.push_back(api);
        } else {
            problems += (problems.empty() ? "" : "; ") + why;
        }
    }
    return usable;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

/// A note message as (note, on), or nothing for any other message.
std::optional<std::pair<int, bool>> noteOf(const unsigned char* message, std::size_t size) {
    if (size < 3) {
        return std::nullopt;
    }
    const int kind = message[0] & 0xF0;
    if (kind != 0x80 && kind != 0x90) {
        return std::nullopt;
    }
    return std::pair{message[1] & 0x7F, kind == 0x90 && message[2] > 0};
}

std::vector<std::string> sourceNames(RtMidiIn& lister) {
    std::vector<std::string> names;
    const unsigned int count = lister.getPortCount();
    for (unsigned int port = 0; port < count; ++port) {
        names.push_back(lister.getPortName(port));
    }
    return names;
}

} // namespace

RtMidiInput::RtMidiInput(std::string filter, std::ostream& log, QObject* parent)
    : QObject(parent), filter_(lowered(std::move(filter))), log_(log) {
    connect(&scanTimer_, &QTimer::timeout, this, &RtMidiInput::scan);
}

RtMidiInput::~RtMidiInput() = default;

void RtMidiInput::start(NoteHandler handler) {
    handler_ = std::move(handler);
    std::string problems;
    for (const RtMidi::Api api : usableSystems(problems)) {
        try {
            if (api == RtMidi::UNIX_JACK) {
                openJack();
                continue;
            }
            alsa_ = std::make_unique<System>();
            alsa_->lister = std::make_unique<RtMidiIn>(api, clientName);
            alsa_->lister->setErrorCallback(reportRtMidiError, &log_);
        } catch (const std::exception& failure) {
            if (api == RtMidi::LINUX_ALSA) {
                alsa_.reset();
            }
            problems += (problems.empty() ? "" : "; ") + std::string(failure.what());
        }
    }
    if (!alsa_ && !jack_) {
        log_ << "Chimex: no MIDI input (" << problems << ")\n";
        return;
    }
    scan();
    scanTimer_.start(scanMilliseconds);
}

void RtMidiInput::openJack() {
    jack_ = JackMidiIn::open(
        clientName, [this](const unsigned char* message, std::size_t size, double seconds) {
            if (const auto note = noteOf(message, size)) {
                deliver(note->first, note->second, {jackTimeBase, seconds});
            }
        });
    if (!jack_) {
        throw std::runtime_error("JACK: cannot open a MIDI input port");
    }
}

bool RtMidiInput::wanted(const std::string& name) const {
    return lowered(name).find(filter_) != std::string::npos;
}

void RtMidiInput::scan() {
    if (alsa_) {
        const std::vector<std::string> names = sourceNames(*alsa_->lister);
        // A source that went away is closed, so that it is opened afresh when it comes back.
        std::erase_if(alsa_->inputs, [&](const auto& input) {
            return std::find(names.begin(), names.end(), input.first) == names.end();
        });
        for (unsigned int port = 0; port < names.size(); ++port) {
            if (!alsa_->inputs.contains(names[port]) && wanted(names[port])) {
                openSource(port, names[port]);
            }
        }
    }
    if (jack_) {
        const std::vector<std::string> names = jack_->sources();
        std::erase_if(jackSources_, [&](const std::string& name) {
            return std::find(names.begin(), names.end(), name) == names.end();
        });
        for (const std::string& name : names) {
            if (!jackSources_.contains(name) && wanted(name)) {
                jackSources_.insert(name); // not tried again while it stays
                log_ << (jack_->connect(name) ? "Chimex: MIDI input from "
                                              : "Chimex: MIDI: cannot connect ")
                     << name << "\n";
            }
        }
    }
}

void RtMidiInput::openSource(unsigned int port, const std::string& name) {
    auto source = std::make_unique<Source>(Source{this, ++alsaTimeBases_, 0, nullptr});
    try {
        source->input = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, clientName);
        source->input->setErrorCallback(reportRtMidiError, &log_);
        source->input->setCallback(&RtMidiInput::receive, source.get());
        source->input->openPort(port, "in");
        alsa_->inputs[name] = std::move(source);
        log_ << "Chimex: MIDI input from " << name << "\n";
    } catch (const std::exception& failure) {
        log_ << "Chimex: MIDI: cannot open " << name << ": " << failure.what() << "\n";
        alsa_->inputs[name] = nullptr; // not tried again while it stays
    }
}

// Runs on RtMidi's thread: only reads the message and its time.
void RtMidiInput::receive(double sincePrevious, std::vector<unsigned char>* message, void* data) {
    auto* source = static_cast<Source*>(data);
    source->seconds += sincePrevious;
    if (const auto note = noteOf(message->data(), message->size())) {
        source->owner->deliver(note->first, note->second, {source->timeBase, source->seconds});
    }
}

// Queues the note for the GUI thread.
void RtMidiInput::deliver(int note, bool on, MidiTime time) {
    QMetaObject::invokeMethod(
        this,
        [this, note, on, time] {
            if (handler_) {
                handler_(note, on, time);
            }
        },
        Qt::QueuedConnection);
}

void RtMidiInput::listSources(std::ostream& out, std::ostream& log) {
    std::string problems;
    const std::vector<RtMidi::Api> systems = usableSystems(problems);
    if (systems.empty()) {
        log << "Chimex: no MIDI input (" << problems << ")\n";
    }
    std::set<std::string> listed;
    for (const RtMidi::Api api : systems) {
        try {
            std::vector<std::string> names;
            if (api == RtMidi::UNIX_JACK) {
                names = jackMidiSources();
            } else {
                RtMidiIn lister(api, clientName);
                names = sourceNames(lister);
            }
            for (const std::string& name : names) {
                if (listed.insert(name).second) {
                    out << name << "\n";
                }
            }
        } catch (const std::exception& failure) {
            log << "Chimex: MIDI: " << failure.what() << "\n";
        }
    }
}

} // namespace chimex
