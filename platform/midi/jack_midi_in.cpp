// SPDX-License-Identifier: MIT
#include "jack_midi_in.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cerrno>

namespace chimex {
namespace {

std::vector<std::string> midiOutputs(jack_client_t* client) {
    std::vector<std::string> names;
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    for (const char** port = ports; port != nullptr && *port != nullptr; ++port) {
        names.emplace_back(*port);
    }
    jack_free(static_cast<void*>(ports));
    return names;
}

jack_client_t* openClient(const std::string& name) {
    jack_status_t status{};
    return jack_client_open(name.c_str(), JackNoStartServer, &status);
}

} // namespace

std::vector<std::string> jackMidiSources() {
    jack_client_t* client = openClient("chimex-list");
    if (client == nullptr) {
        return {};
    }
    auto names = midiOutputs(client);
    jack_client_close(client);
    return names;
}

std::unique_ptr<JackMidiIn> JackMidiIn::open(const std::string& clientName, Handler handler) {
    jack_client_t* client = openClient(clientName);
    if (client == nullptr) {
        return nullptr;
    }
    std::unique_ptr<JackMidiIn> input(new JackMidiIn(client, std::move(handler)));
    input->port_ = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &JackMidiIn::process, input.get());
    jack_on_shutdown(
        client, [](void* self) { static_cast<JackMidiIn*>(self)->serverGone_ = true; },
        input.get());
    if (input->port_ == nullptr || jack_activate(client) != 0) {
        return nullptr;
    }
    return input;
}

JackMidiIn::JackMidiIn(jack_client_t* client, Handler handler)
    : client_(client), handler_(std::move(handler)) {}

JackMidiIn::~JackMidiIn() {
    if (!serverGone_) {
        jack_deactivate(client_);
    }
    jack_client_close(client_);
}

std::vector<std::string> JackMidiIn::sources() const {
    return serverGone_ ? std::vector<std::string>{} : midiOutputs(client_);
}

bool JackMidiIn::connect(const std::string& source) {
    if (serverGone_) {
        return false;
    }
    const int result = jack_connect(client_, source.c_str(), jack_port_name(port_));
    return result == 0 || result == EEXIST;
}

std::uint64_t JackMidiIn::unwrapped(std::uint32_t frame) {
    if (frame < lastFrame_) {
        wraps_ += std::uint64_t{1} << 32;
    }
    lastFrame_ = frame;
    return wraps_ + frame;
}

int JackMidiIn::process(std::uint32_t frames, void* self) {
    auto* input = static_cast<JackMidiIn*>(self);
    void* buffer = jack_port_get_buffer(input->port_, frames);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    if (count == 0) {
        return 0;
    }
    const jack_nframes_t cycleStart = jack_last_frame_time(input->client_);
    const double rate = jack_get_sample_rate(input->client_);
    for (std::uint32_t index = 0; index < count; ++index) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, index) == 0) {
            const auto frame = input->unwrapped(cycleStart + event.time);
            input->handler_(event.buffer, event.size, static_cast<double>(frame) / rate);
        }
    }
    return 0;
}

} // namespace chimex
