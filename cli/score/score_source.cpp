// SPDX-License-Identifier: MIT
#include "score_source.h"

#include "cli/score/midi_file.h"
#include "cli/score/text_score_reader.h"
#include "files/atomic_output_file.h"
#include "files/failure.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <vector>

namespace chimex {
namespace {

/// A text score held in memory, for a file that had to be read whole to tell what it is.
class TextScoreInMemory : public NoteSource {
  public:
    explicit TextScoreInMemory(std::string text) : text_(std::move(text)), reader_(text_) {}
    std::optional<ScoreNote> next() override { return reader_.next(); }

  private:
    std::istringstream text_;
    TextScoreReader reader_;
};

/// A note source whose first note is read at once, so that an empty one is known before playing.
class PeekedNotes : public NoteSource {
  public:
    explicit PeekedNotes(std::unique_ptr<NoteSource> notes)
        : notes_(std::move(notes)), first_(notes_->next()) {}
    bool empty() const { return !first_; }
    std::optional<ScoreNote> next() override {
        if (!peeked_) {
            return notes_->next();
        }
        peeked_ = false;
        return first_;
    }

  private:
    std::unique_ptr<NoteSource> notes_;
    std::optional<ScoreNote> first_;
    bool peeked_ = true;
};

bool hasMidiExtension(const std::string& name) {
    std::string extension = std::filesystem::path(name).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mid" || extension == ".midi";
}

/// A MIDI file of 8 million notes takes 24 MB; an input far beyond that is no score but an
/// endless stream, and is refused before it fills the memory.
constexpr std::size_t largestScore = std::size_t{256} << 20;

/// The rest of the input, at most largestScore bytes; the memory is taken in one piece when the
/// size is known, so that it holds the input once.
std::vector<std::uint8_t> wholeInput(std::istream& file, const std::string& name) {
    std::vector<std::uint8_t> bytes;
    try {
        const auto start = file.tellg();
        file.seekg(0, std::ios::end);
        const auto end = file.tellg();
        file.seekg(start);
        if (start >= 0 && end > start) {
            bytes.reserve(std::min(static_cast<std::size_t>(end - start), largestScore + 1));
        }
        file.clear();
        std::vector<char> chunk(64 * 1024);
        do {
            file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + file.gcount());
            if (bytes.size() > largestScore) {
                throw InputFailure(name, 0, "larger than 256 MB, far larger than any score");
            }
        } while (file);
    } catch (const std::bad_alloc&) {
        throw InputFailure(name, 0, "does not fit in the memory this program may use");
    }
    if (file.bad()) {
        throw InputFailure(name, 0, "cannot be read: " + systemReason());
    }
    return bytes;
}

} // namespace

namespace {

/// A score's input: a text score to read note by note, or a MIDI file's bytes.
struct ScoreInput {
    std::unique_ptr<NoteSource> text;
    std::vector<std::uint8_t> midi;
};

ScoreInput readScoreInput(std::istream& file, const std::string& name) {
    const bool midiName = hasMidiExtension(name);
    if (!midiName && file.peek() != 'M') {
        return {std::make_unique<TextScoreReader>(file), {}};
    }
    std::vector<std::uint8_t> bytes = wholeInput(file, name);
    if (!looksLikeMidi(bytes)) {
        if (midiName) {
            throw InputFailure(name, 0, "not a MIDI file (it does not begin with \"MThd\")");
        }
        return {std::make_unique<TextScoreInMemory>(std::string(bytes.begin(), bytes.end())), {}};
    }
    return {nullptr, std::move(bytes)};
}

void refuseEmptySelection(bool empty, const MidiSelection& selection, const std::string& name) {
    if (empty && (selection.track || selection.channel)) {
        throw InputFailure(name, 0, "no notes in the chosen --track and --channel");
    }
}

std::vector<ChordNote> notesInTime(NoteSource& source) {
    std::vector<ChordNote> notes;
    double end = 0;
    for (auto note = source.next(); note; note = source.next()) {
        const double start = notes.empty() ? 0.0 : end + note->gap;
        end = start + note->hold;
        notes.push_back({note->key, start, end});
    }
    return notes;
}

} // namespace

OpenedScore openScore(std::istream& file, const std::string& name, const MidiSelection& selection) {
    ScoreInput input = readScoreInput(file, name);
    if (input.text) {
        return {std::move(input.text), false};
    }
    if (!selection.track && !selection.channel) {
        return {std::make_unique<MidiScore>(std::move(input.midi), selection), true};
    }
    auto notes = std::make_unique<PeekedNotes>(
        std::make_unique<MidiScore>(std::move(input.midi), selection));
    refuseEmptySelection(notes->empty(), selection, name);
    return {std::move(notes), true};
}

OpenedChords openChordScore(std::istream& file, const std::string& name,
                            const MidiSelection& selection) {
    ScoreInput input = readScoreInput(file, name);
    if (input.text) {
        return {notesInTime(*input.text), false};
    }
    std::vector<ChordNote> notes = readChordNotes(readMidiFile(input.midi), selection);
    refuseEmptySelection(notes.empty(), selection, name);
    return {std::move(notes), true};
}

} // namespace chimex
