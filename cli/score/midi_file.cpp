// SPDX-License-Identifier: MIT
#include "midi_file.h"

#include "files/failure.h"

#include <algorithm>
#include <string>

namespace chimex {
namespace {

/// Bounds-checked big-endian reading of one chunk of the file.
class ByteCursor {
  public:
    ByteCursor(std::span<const std::uint8_t> bytes, std::size_t offset, std::string where)
        : bytes_(bytes), offset_(offset), where_(std::move(where)) {}

    bool atEnd() const { return position_ >= bytes_.size(); }
    std::size_t left() const { return bytes_.size() - position_; }
    std::size_t fileOffset() const { return offset_ + position_; }

    std::uint8_t peek() const {
        need(1);
        return bytes_[position_];
    }
    std::uint8_t byte() {
        need(1);
        return bytes_[position_++];
    }
    std::uint32_t bigEndian(int count) {
        need(static_cast<std::size_t>(count));
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            value = value << 8 | bytes_[position_++];
        }
        return value;
    }
    /// A variable-length quantity: at most four bytes, seven bits each.
    std::uint32_t variableLength() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            value = value << 7 | (b & 0x7Fu);
            if ((b & 0x80u) == 0) {
                return value;
            }
        }
        fail("a variable-length number is longer than four bytes");
    }
    std::span<const std::uint8_t> take(std::size_t count) {
        need(count);
        const auto part = bytes_.subspan(position_, count);
        position_ += count;
        return part;
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw InputFailure("MIDI file damaged: " + what + " (" + where_ + ", byte " +
                           std::to_string(fileOffset()) + ")");
    }

  private:
    void need(std::size_t count) const {
        if (left() < count) {
            fail("it ends in the middle of an event; the file is truncated");
        }
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t offset_;
    std::string where_;
    std::size_t position_ = 0;
};

std::size_t dataLength(std::uint8_t status) {
    const int kind = status >> 4;
    return kind == 0xC || kind == 0xD ? 1 : 2;
}

/// What one event of a track is, to its reader.
enum class TrackEvent { Note, Tempo, Other, End };

} // namespace

/// Reads a track chunk event by event, keeping only the running status and the tick.
struct MidiTrackReader::Parser {
    Parser(const MidiTrackChunk& chunk)
        : in(chunk.bytes, chunk.offset, "track " + std::to_string(chunk.index + 1)),
          track(chunk.index) {}

    TrackEvent next() {
        if (in.atEnd() || endOfTrack) {
            return TrackEvent::End;
        }
        tick += in.variableLength();
        std::uint8_t status = in.peek();
        if (status & 0x80u) {
            in.byte();
        } else if (runningStatus == 0) {
            in.fail("a data byte without a status byte before it");
        } else {
            status = runningStatus;
        }
        if (status == 0xFF) {
            return metaEvent();
        }
        if (status == 0xF0 || status == 0xF7) {
            in.take(in.variableLength());
            return TrackEvent::Other;
        }
        if (status > 0xF0) {
            in.fail("status byte " + std::to_string(status) + " cannot stand in a MIDI file");
        }
        runningStatus = status;
        return channelEvent(status);
    }

    TrackEvent metaEvent() {
        const std::uint8_t type = in.byte();
        const std::uint32_t length = in.variableLength();
        const auto data = in.take(length);
        if (type == 0x2F) {
            endOfTrack = true;
        } else if (type == 0x51) {
            if (length != 3) {
                in.fail("a tempo event must hold three bytes");
            }
            tempo.tick = tick;
            tempo.microsecondsPerQuarter = std::uint32_t{data[0]} << 16 | data[1] << 8 | data[2];
            if (tempo.microsecondsPerQuarter == 0) {
                in.fail("a tempo of 0 microseconds per quarter note");
            }
            return TrackEvent::Tempo;
        }
        return TrackEvent::Other;
    }

    TrackEvent channelEvent(std::uint8_t status) {
        std::uint8_t data[2] = {0, 0};
        for (std::size_t i = 0; i < dataLength(status); ++i) {
            data[i] = in.byte();
            if (data[i] & 0x80u) {
                in.fail("a status byte stands where a data byte belongs");
            }
        }
        const int kind = status >> 4;
        if (kind != 0x8 && kind != 0x9) {
            return TrackEvent::Other;
        }
        note = {tick, static_cast<std::uint16_t>(track), static_cast<std::uint8_t>(status & 0x0Fu),
                data[0], kind == 0x9 && data[1] != 0};
        return TrackEvent::Note;
    }

    ByteCursor in;
    int track;
    std::uint64_t tick = 0;
    std::uint8_t runningStatus = 0;
    bool endOfTrack = false;
    MidiNoteEvent note;
    MidiTempoEvent tempo;
};

MidiTrackReader::MidiTrackReader(const MidiTrackChunk& chunk)
    : parser_(std::make_unique<Parser>(chunk)) {}
MidiTrackReader::~MidiTrackReader() = default;
MidiTrackReader::MidiTrackReader(MidiTrackReader&&) noexcept = default;
MidiTrackReader& MidiTrackReader::operator=(MidiTrackReader&&) noexcept = default;

std::optional<MidiNoteEvent> MidiTrackReader::nextNote() {
    for (;;) {
        switch (parser_->next()) {
        case TrackEvent::Note:
            return parser_->note;
        case TrackEvent::End:
            return std::nullopt;
        case TrackEvent::Tempo:
        case TrackEvent::Other:
            break;
        }
    }
}

namespace {

/// Checks the whole track and collects its tempo changes and its end; the notes are read later.
void readTrack(const MidiTrackChunk& chunk, MidiFile& file) {
    MidiTrackReader::Parser parser(chunk);
    for (TrackEvent event = parser.next(); event != TrackEvent::End; event = parser.next()) {
        if (event == TrackEvent::Tempo) {
            file.tempos.push_back(parser.tempo);
        }
    }
    file.endTick = std::max(file.endTick, parser.tick);
    file.tracks.push_back(chunk);
}

void readDivision(std::uint16_t division, MidiFile& file, const ByteCursor& in) {
    if ((division & 0x8000u) == 0) {
        if (division == 0) {
            in.fail("the header gives 0 ticks per quarter note");
        }
        file.ticksPerQuarter = division;
        return;
    }
    const int frames = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
    const int ticksPerFrame = division & 0xFF;
    if (frames != 24 && frames != 25 && frames != 29 && frames != 30) {
        in.fail("SMPTE time with " + std::to_string(frames) + " frames a second");
    }
    if (ticksPerFrame == 0) {
        in.fail("SMPTE time with 0 ticks a frame");
    }
    // 29 stands for 30 drop-frame, which runs at 30000/1001 frames a second.
    const double framesPerSecond = frames == 29 ? 30000.0 / 1001.0 : frames;
    file.ticksPerSecond = framesPerSecond * ticksPerFrame;
}

MidiFile readHeader(std::span<const std::uint8_t> bytes, std::size_t& position) {
    ByteCursor in(bytes, 0, "header");
    if (!looksLikeMidi(bytes)) {
        in.fail("it does not begin with \"MThd\"");
    }
    in.take(4);
    const std::uint32_t length = in.bigEndian(4);
    if (length < 6) {
        in.fail("the header chunk is shorter than six bytes");
    }
    MidiFile file;
    file.format = static_cast<int>(in.bigEndian(2));
    file.trackCount = static_cast<int>(in.bigEndian(2));
    readDivision(static_cast<std::uint16_t>(in.bigEndian(2)), file, in);
    if (file.format == 2) {
        in.fail("format 2 (independent sequences) is not supported; formats 0 and 1 are");
    }
    if (file.format > 2) {
        in.fail("unknown format " + std::to_string(file.format));
    }
    if (file.trackCount == 0 || (file.format == 0 && file.trackCount != 1)) {
        in.fail("format " + std::to_string(file.format) + " with " +
                std::to_string(file.trackCount) + " tracks");
    }
    in.take(length - 6);
    position = in.fileOffset();
    return file;
}

} // namespace

bool looksLikeMidi(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 && bytes[0] == 'M' && bytes[1] == 'T' && bytes[2] == 'h' &&
           bytes[3] == 'd';
}

MidiFile readMidiFile(std::span<const std::uint8_t> bytes) {
    std::size_t position = 0;
    MidiFile file = readHeader(bytes, position);
    int track = 0;
    while (track < file.trackCount) {
        const std::string where = "track " + std::to_string(track + 1);
        ByteCursor chunk(bytes.subspan(position), position, where);
        if (chunk.left() < 8) {
            chunk.fail("the file ends after " + std::to_string(track) + " of " +
                       std::to_string(file.trackCount) + " tracks; it is truncated");
        }
        const auto id = chunk.take(4);
        const std::uint32_t length = chunk.bigEndian(4);
        if (chunk.left() < length) {
            chunk.fail("the chunk claims " + std::to_string(length) + " bytes but " +
                       std::to_string(chunk.left()) + " are left; the file is truncated");
        }
        const bool isTrack = id[0] == 'M' && id[1] == 'T' && id[2] == 'r' && id[3] == 'k';
        if (isTrack) {
            readTrack({bytes.subspan(position + 8, length), position + 8, track}, file);
            ++track;
        }
        position += 8 + std::size_t{length};
    }
    return file;
}

} // namespace chimex
