// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct _jack_client;
struct _jack_port;

namespace chimex {

/// A JACK client with one MIDI input port, read through the JACK API itself: each message comes
/// with the time of its own frame (the cycle's first frame plus the message's offset), where
/// RtMidi gives the time of the whole cycle.
class JackMidiIn {
  public:
    /// Called on JACK's process thread with one message and its frame's time in seconds, counted
    /// in frames at the server's rate.
    using Handler =
        std::function<void(const unsigned char* message, std::size_t size, double seconds)>;

    /// A client named `clientName` with the input port "in"; nothing when no JACK server runs.
    static std::unique_ptr<JackMidiIn> open(const std::string& clientName, Handler handler);
    ~JackMidiIn();
    JackMidiIn(const JackMidiIn&) = delete;
    JackMidiIn& operator=(const JackMidiIn&) = delete;

    /// The MIDI output ports of every client, by full name ("client:port").
    std::vector<std::string> sources() const;
    /// Connects the source to the input port; false when JACK refuses.
    bool connect(const std::string& source);

  private:
    JackMidiIn(_jack_client* client, Handler handler);
    static int process(std::uint32_t frames, void* self);
    std::uint64_t unwrapped(std::uint32_t frame);

    _jack_client* client_;
    _jack_port* port_ = nullptr;
    Handler handler_;
    std::atomic<bool> serverGone_ = false;
    std::uint32_t lastFrame_ = 0; ///< process thread only
    std::uint64_t wraps_ = 0;     ///< frames counted before the frame counter last wrapped
};

/// The MIDI output ports of a JACK server, by full name; empty when no server runs.
std::vector<std::string> jackMidiSources();

} // namespace chimex
