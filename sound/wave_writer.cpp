// SPDX-License-Identifier: MIT
#include "wave_writer.h"

#include "files/failure.h"

#include <array>
#include <cerrno>
#include <string>
#include <system_error>

namespace chimex {
namespace {

void put32(std::ostream& out, std::uint32_t v) {
    const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF),
                           static_cast<char>((v >> 24) & 0xFF)};
    out.write(bytes, 4);
}

void put16(std::ostream& out, std::uint16_t v) {
    const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
    out.write(bytes, 2);
}

/// The 44-byte header for `dataBytes` bytes of samples.
void writeHeader(std::ostream& out, std::uint32_t dataBytes) {
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, waveSampleRate);
    put32(out, waveSampleRate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
}

} // namespace

WaveWriter::WaveWriter(std::ostream& out) : out_(out), start_(out.tellp()) {
    writeHeader(out_, 0);
}

void WaveWriter::write(std::span<const std::int16_t> samples) {
    if (samples.size() > waveMaxSamples - samples_) {
        throw Failure("The sound is longer than a WAV file can hold (" +
                      std::to_string(waveMaxSamples / waveSampleRate / 60) + " minutes)");
    }
    std::array<char, 8192> bytes;
    std::size_t used = 0;
    for (std::int16_t sample : samples) {
        const auto v = static_cast<std::uint16_t>(sample);
        bytes[used++] = static_cast<char>(v & 0xFF);
        bytes[used++] = static_cast<char>(v >> 8);
        if (used == bytes.size()) {
            out_.write(bytes.data(), static_cast<std::streamsize>(used));
            used = 0;
        }
    }
    out_.write(bytes.data(), static_cast<std::streamsize>(used));
    samples_ += samples.size();
}

void WaveWriter::finish() {
    if (!out_) {
        // A full disk is found here: the samples were written in blocks without a check.
        throw Failure("Cannot write the WAV file: " +
                      std::generic_category().message(errno != 0 ? errno : EIO));
    }
    const std::streampos end = out_.tellp();
    if (start_ == std::streampos(-1) || end == std::streampos(-1) || !out_.seekp(start_)) {
        throw Failure("Cannot go back to the start of the WAV file to write its sizes");
    }
    writeHeader(out_, static_cast<std::uint32_t>(samples_ * 2));
    out_.seekp(end);
    if (!out_) {
        throw Failure("Cannot write the WAV file");
    }
}

} // namespace chimex
