// SPDX-License-Identifier: MIT
#include "listen_wave.h"

#include "cli/common/rewind_move_file.h"
#include "partfile/number_text.h"

#include "files/failure.h"
#include "sound/stepper_voice.h"
#include "sound/wave_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace chimex {
namespace {

constexpr double lowestHeard = 20;       // Hz
constexpr double highestHeard = 20e3;    // Hz
constexpr float motorLevel = 0.3f;       // peak of one motor's hum, as loud as the key sounds
constexpr std::size_t fadeSamples = 132; // 3 ms: the last samples fade out at the end

std::uint64_t sampleAt(double seconds) {
    return static_cast<std::uint64_t>(std::llround(seconds * waveSampleRate));
}

double unitSteps(Axis axis, const MotorSteps& steps) {
    return steps.stepsPerUnit[axisIndex(axis)];
}

double stepRate(const MoveEvent& move, const MotorSteps& steps) {
    return *move.speed * unitSteps(move.axis, steps);
}

/// One motor's move: its step rate at the feed, and how fast that rate ramps (0: at once).
struct MotorMove {
    double rate = 0;      ///< Hz at the feed
    double rateRamp = 0;  ///< Hz per second while speeding up and slowing down
    double entryRate = 0; ///< Hz as the move starts (0: from rest)
    double exitRate = 0;  ///< Hz as it ends
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

/// The three motors' hums mixed into the WAV file, block by block.
class MotorMix {
  public:
    explicit MotorMix(std::ostream& out)
        : wave_(out), voices_{StepperVoice(tables_, waveSampleRate),
                              StepperVoice(tables_, waveSampleRate),
                              StepperVoice(tables_, waveSampleRate)} {
        block_.reserve(blockSize + fadeSamples);
    }

    /// Sounds `axis` for `move` from the current sample on.
    void start(Axis axis, const MotorMove& move) {
        const auto index = static_cast<std::size_t>(axis);
        moves_[index] = move;
        if (move.rateRamp == 0) {
            voices_[index].sound(move.rate);
        }
    }

    /// Mixes up to sample `end` (not included).
    void runTo(std::uint64_t end) {
        for (; now_ < end; ++now_) {
            float sum = 0;
            for (std::size_t axis = 0; axis < voices_.size(); ++axis) {
                glide(axis);
                sum += voices_[axis].next();
            }
            const float scaled = std::clamp(sum * motorLevel * 32767.0f, -32767.0f, 32767.0f);
            block_.push_back(static_cast<std::int16_t>(std::lround(scaled)));
            if (block_.size() == blockSize + fadeSamples) {
                wave_.write(std::span(block_).first(blockSize));
                block_.erase(block_.begin(), block_.begin() + blockSize);
            }
        }
    }

    /// Fades out a hum still sounding at the end and completes the file.
    std::uint64_t finish() {
        const bool sounding = std::any_of(voices_.begin(), voices_.end(),
                                          [](const StepperVoice& v) { return !v.quiet(); });
        if (sounding) {
            const std::size_t fade = std::min(fadeSamples, block_.size());
            for (std::size_t i = 0; i < fade; ++i) {
                auto& sample = block_[block_.size() - fade + i];
                const double share = static_cast<double>(fade - 1 - i) / fadeSamples;
                sample = static_cast<std::int16_t>(std::lround(sample * share));
            }
        }
        wave_.write(block_);
        wave_.finish();
        return wave_.samplesWritten();
    }

  private:
    static constexpr std::size_t blockSize = 8192;

    /// Silences a motor whose move is over; sets the pitch of one that ramps, sample by sample.
    void glide(std::size_t axis) {
        const MotorMove& move = moves_[axis];
        if (now_ >= move.end) {
            voices_[axis].silence();
        } else if (move.rateRamp > 0) {
            const double elapsed = (static_cast<double>(now_ - move.start) + 0.5) / waveSampleRate;
            const double duration = static_cast<double>(move.end - move.start) / waveSampleRate;
            voices_[axis].sound(rampedSpeed(
                elapsed, duration, {move.rate, move.entryRate, move.exitRate, move.rateRamp}));
        }
    }

    WaveWriter wave_;
    StepperWaveTables tables_;
    std::array<StepperVoice, 3> voices_;
    std::array<MotorMove, 3> moves_{};
    std::uint64_t now_ = 0;
    std::vector<std::int16_t> block_;
};

MotorMove motorMove(const TimedEvent& timed, const MotorSteps& steps) {
    const double perUnit = unitSteps(timed.event.axis, steps);
    return {stepRate(timed.event, steps), timed.accel * perUnit,
            timed.entry * perUnit,        timed.exit * perUnit,
            sampleAt(timed.start),        sampleAt(timed.start + timed.seconds)};
}

std::unique_ptr<TimedMoveReader> timedReader(std::istream& part, const std::string& name,
                                             const MotorSteps& steps) {
    if (steps.blending) {
        return std::make_unique<TimedMoveReader>(part, name, *steps.blending);
    }
    return std::make_unique<TimedMoveReader>(part, name, steps.accel);
}

/// The first reading: the running time, the notes and the step rates nobody can hear.
ListenOutcome timePart(std::istream& part, const std::string& name, const MotorSteps& steps,
                       std::ostream& err) {
    ListenOutcome outcome;
    const auto reader = timedReader(part, name, steps);
    while (const auto timed = reader->next()) {
        const MoveEvent& event = timed->event;
        if (event.kind != MoveEventKind::Move) {
            continue;
        }
        outcome.notes.add(event);
        if (!timed->timed) {
            continue;
        }
        const double rate = stepRate(event, steps);
        if (rate < lowestHeard) {
            outcome.belowHearing.add(event.line, rate);
        } else if (rate > highestHeard) {
            outcome.aboveHearing.add(event.line, rate);
        }
    }
    outcome.seconds = reader->endSeconds();
    reader->printWarnings(err);
    printWarning(err, outcome.belowHearing, "jogs step below 20 Hz, too slow to be heard as a note",
                 "Hz");
    printWarning(err, outcome.aboveHearing,
                 "jogs step above 20 kHz, too fast to be heard (silent from 22.05 kHz)", "Hz");
    return outcome;
}

} // namespace

ListenOutcome listenToMoves(std::istream& part, const std::string& name, const MotorSteps& steps,
                            std::ostream& wave, std::ostream& err) {
    ListenOutcome outcome = timePart(part, name, steps, err);
    outcome.samples = sampleAt(outcome.seconds);
    if (outcome.seconds >= static_cast<double>(waveMaxSamples) / waveSampleRate) {
        // Beyond the range of a whole number of seconds, the length is written as a number.
        const std::string length = outcome.seconds < 1e15
                                       ? std::to_string(std::llround(outcome.seconds))
                                       : shortestText(outcome.seconds);
        throw Failure(name + " runs for " + length + " seconds, longer than a WAV file can hold (" +
                      std::to_string(waveMaxSamples / waveSampleRate) + " seconds)");
    }
    rewindMoveFile(part, name);
    const auto reader = timedReader(part, name, steps);
    MotorMix mix(wave);
    while (const auto timed = reader->next()) {
        mix.runTo(sampleAt(timed->start));
        if (timed->event.kind == MoveEventKind::Move && timed->timed) {
            mix.start(timed->event.axis, motorMove(*timed, steps));
        }
    }
    mix.runTo(outcome.samples);
    outcome.samples = mix.finish();
    return outcome;
}

} // namespace chimex
