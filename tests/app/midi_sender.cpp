// SPDX-License-Identifier: MIT
// Sends notes through a JACK MIDI port for the MIDI test: opens the port NAME:out, waits for a
// line on stdin (the program is listening), then plays its arguments in order: +N note-on,
// -N note-off, ~N note-on with velocity 0, wS wait S seconds.
// Usage: midi_sender NAME STEP...
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: midi_sender NAME STEP...\n";
        return 2;
    }
    try {
        RtMidiOut out(RtMidi::UNIX_JACK, argv[1]);
        out.openVirtualPort("out");
        std::string line;
        std::getline(std::cin, line);
        for (int i = 2; i < argc; ++i) {
            const std::string step = argv[i];
            const auto value = step.substr(1);
            if (step[0] == 'w') {
                std::this_thread::sleep_for(std::chrono::duration<double>(std::stod(value)));
                continue;
            }
            const auto note = static_cast<unsigned char>(std::stoi(value));
            const unsigned char status = step[0] == '-' ? 0x80 : 0x90;
            const unsigned char velocity = step[0] == '+' ? 100 : 0;
            std::vector<unsigned char> message = {status, note, velocity};
            out.sendMessage(&message);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    } catch (const std::exception& failure) {
        std::cerr << "midi_sender: " << failure.what() << "\n";
        return 1;
    }
    return 0;
}
