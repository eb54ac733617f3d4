// SPDX-License-Identifier: MIT
// Sends notes through a JACK MIDI port for the MIDI test: opens the port NAME:out, waits for a
// line on stdin (the program is listening), then plays its arguments in order: +N note-on,
// -N note-off, ~N note-on with velocity 0, wS wait S seconds. Each message is written at its
// exact frame through the JACK API (a wait is a whole number of frames), so the times between
// messages are exact whatever the period.
// Usage: midi_sender NAME STEP...
#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Message {
    std::uint64_t frame; ///< frames after the first message
    std::array<unsigned char, 3> bytes;
};

struct Sender {
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    std::vector<Message> messages;
    jack_nframes_t start = 0; ///< the first message's frame; set before `started`
    std::atomic<bool> started = false;
    std::size_t next = 0; ///< process thread only
    std::atomic<std::size_t> sent = 0;
};

std::vector<Message> schedule(int argc, char** argv, double rate) {
    std::vector<Message> messages;
    std::uint64_t frame = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string step = argv[i];
        const std::string value = step.substr(1);
        if (step[0] == 'w') {
            frame += static_cast<std::uint64_t>(std::llround(std::stod(value) * rate));
            continue;
        }
        const auto note = static_cast<unsigned char>(std::stoi(value));
        const unsigned char status = step[0] == '-' ? 0x80 : 0x90;
        const unsigned char velocity = step[0] == '+' ? 100 : 0;
        messages.push_back({frame, {status, note, velocity}});
    }
    return messages;
}

int process(jack_nframes_t frames, void* data) {
    auto& sender = *static_cast<Sender*>(data);
    void* buffer = jack_port_get_buffer(sender.port, frames);
    jack_midi_clear_buffer(buffer);
    if (!sender.started) {
        return 0;
    }
    const jack_nframes_t cycle = jack_last_frame_time(sender.client);
    while (sender.next < sender.messages.size()) {
        const Message& message = sender.messages[sender.next];
        // Frame counts wrap at 2^32: the difference is taken in the same unsigned width, and
        // one of more than 2^31 frames is a message that is late.
        const auto at = static_cast<jack_nframes_t>(sender.start + message.frame - cycle);
        const bool late = at >= jack_nframes_t{1} << 31;
        if (at >= frames && !late) {
            break; // in a later cycle
        }
        jack_midi_event_write(buffer, late ? 0 : at, message.bytes.data(), message.bytes.size());
        sender.sent = ++sender.next;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: midi_sender NAME STEP...\n";
        return 2;
    }
    Sender sender;
    jack_status_t status{};
    sender.client = jack_client_open(argv[1], JackNoStartServer, &status);
    if (sender.client == nullptr) {
        std::cerr << "midi_sender: no JACK server\n";
        return 1;
    }
    const double rate = jack_get_sample_rate(sender.client);
    try {
        sender.messages = schedule(argc, argv, rate);
    } catch (const std::exception& failure) {
        std::cerr << "midi_sender: bad step: " << failure.what() << "\n";
        return 2;
    }
    sender.port =
        jack_port_register(sender.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(sender.client, process, &sender);
    if (sender.port == nullptr || jack_activate(sender.client) != 0) {
        std::cerr << "midi_sender: cannot open the port\n";
        return 1;
    }
    std::string line;
    std::getline(std::cin, line);
    // A tenth of a second ahead, so that the first message is not late.
    sender.start = jack_frame_time(sender.client) + static_cast<jack_nframes_t>(rate / 10);
    sender.started = true;
    while (sender.sent < sender.messages.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    jack_deactivate(sender.client);
    jack_client_close(sender.client);
    return 0;
}
