// SPDX-License-Identifier: MIT
#include "rtmidi_input.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <set>

namespace chimex {

/// One MIDI system (ALSA or JACK): a client that lists its sources, and one input per source.
struct RtMidiInput::System {
    RtMidi::Api api;
    std::unique_ptr<RtMidiIn> lister;
    std::map<std::string, std::unique_ptr<RtMidiIn>> inputs; ///< by source name
};

namespace {

constexpr const char* clientName = "Chimex";
constexpr int scanMilliseconds = 1000;

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
            auto system = std::make_unique<System>();
            system->api = api;
            system->lister = std::make_unique<RtMidiIn>(api, clientName);
            system->lister->setErrorCallback(reportRtMidiError, &log_);
            systems_.push_back(std::move(system));
        } catch (const std::exception& failure) {
            problems += (problems.empty() ? "" : "; ") + std::string(failure.what());
        }
    }
    if (systems_.empty()) {
        log_ << "Chimex: no MIDI input (" << problems << ")\n";
        return;
    }
    scan();
    scanTimer_.start(scanMilliseconds);
}

void RtMidiInput::scan() {
    for (auto& system : systems_) {
        const std::vector<std::string> names = sourceNames(*system->lister);
        // A source that went away is closed, so that it is opened afresh when it comes back.
        std::erase_if(system->inputs, [&](const auto& input) {
            return std::find(names.begin(), names.end(), input.first) == names.end();
        });
        for (unsigned int port = 0; port < names.size(); ++port) {
            const std::string& name = names[port];
            if (!system->inputs.contains(name) &&
                lowered(name).find(filter_) != std::string::npos) {
                openSource(*system, port, name);
            }
        }
    }
}

void RtMidiInput::openSource(System& system, unsigned int port, const std::string& name) {
    try {
        auto input = std::make_unique<RtMidiIn>(system.api, clientName);
        input->setErrorCallback(reportRtMidiError, &log_);
        input->setCallback(&RtMidiInput::receive, this);
        input->openPort(port, "in");
        system.inputs[name] = std::move(input);
        log_ << "Chimex: MIDI input from " << name << "\n";
    } catch (const std::exception& failure) {
        log_ << "Chimex: MIDI: cannot open " << name << ": " << failure.what() << "\n";
        system.inputs[name] = nullptr; // not tried again while it stays
    }
}

// Runs on RtMidi's thread: only reads the message and queues the note for the GUI thread.
void RtMidiInput::receive(double, std::vector<unsigned char>* message, void* self) {
    if (message->size() < 3) {
        return;
    }
    const int kind = (*message)[0] & 0xF0;
    if (kind != 0x80 && kind != 0x90) {
        return;
    }
    const int note = (*message)[1] & 0x7F;
    const bool on = kind == 0x90 && (*message)[2] > 0;
    auto* input = static_cast<RtMidiInput*>(self);
    QMetaObject::invokeMethod(
        input,
        [input, note, on] {
            if (input->handler_) {
                input->handler_(note, on);
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
            RtMidiIn lister(api, clientName);
            for (const std::string& name : sourceNames(lister)) {
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
