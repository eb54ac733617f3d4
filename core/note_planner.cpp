// SPDX-License-Identifier: MIT
#include "note_planner.h"

#include "files/failure.h"
#include "partfile/line_texts.h"
#include "partfile/number_forms.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <optional>
#include <string>

namespace chimex {
namespace {

constexpr int maxDraws = 6;

enum class Direction { Down, Up };

struct Choice {
    Axis axis;
    Direction first;
};

/// MoveChoice 1 to 6: each axis twice, once trying down first and once up first.
constexpr std::array<Choice, maxDraws> choices{{{Axis::X, Direction::Down},
                                                {Axis::X, Direction::Up},
                                                {Axis::Y, Direction::Down},
                                                {Axis::Y, Direction::Up},
                                                {Axis::Z, Direction::Down},
                                                {Axis::Z, Direction::Up}}};

struct Move {
    Axis axis;
    Direction direction;
    float position;
    ShortText positionText; ///< the three-decimal form the jog line carries
};

struct Draws {
    std::int32_t lastChoice = 0;
    std::optional<Move> move;
};

[[noreturn]] void overflow(const std::string& what) {
    throw Failure("Overflow in the note planner: " + what);
}

/// CurX, CurY or CurZ, writable when the state is.
template <typename State> auto& coordinate(State& s, Axis axis) {
    return axis == Axis::X ? s.CurX : axis == Axis::Y ? s.CurY : s.CurZ;
}

float& extent(ProgramState& s, Axis axis) {
    return axis == Axis::X ? s.HighX : axis == Axis::Y ? s.HighY : s.HighZ;
}

Direction opposite(Direction direction) {
    return direction == Direction::Down ? Direction::Up : Direction::Down;
}

/// Cur - d or Cur + d, formed in double and rounded once to single.
float candidate(float cur, double distance, Direction direction, Axis axis) {
    const double exact = direction == Direction::Up ? cur + distance : cur - distance;
    if (!(std::fabs(exact) <= FLT_MAX)) {
        overflow(std::string("the new ") + axisLetter(axis) +
                 " coordinate is beyond the single-precision range");
    }
    return static_cast<float>(exact);
}

/// Strict tests: down must end above 0, up below the limit. Each direction also keeps the other
/// bound, so a negative distance (a negative speed setting) cannot carry the tool out of travel.
bool inside(float position, float max, Direction direction) {
    if (direction == Direction::Down) {
        return position > 0 && position < max;
    }
    return position >= 0 && position < max;
}

/// The jog line carries the position with three decimals, which can round it onto 0 or the
/// limit (5.9996 is written 6.000); the machine goes where the line says, so both must pass.
bool allowed(float position, const ShortText& written, float max, Direction direction) {
    return inside(position, max, direction) && inside(readBackAsFloat(written), max, direction);
}

std::optional<Move> tryDirection(const ProgramState& s, Axis axis, Direction direction,
                                 double distance) {
    const float position = candidate(coordinate(s, axis), distance, direction, axis);
    const ShortText written = threeDecimalText(position);
    if (!allowed(position, written, axisLimit(s, axis), direction)) {
        return std::nullopt;
    }
    return Move{axis, direction, position, written};
}

/// The note's speed and distance on each axis, by axisIndex.
struct NoteTravel {
    std::array<float, 3> speed;
    std::array<double, 3> distance;
};

std::optional<Move> tryChoice(const ProgramState& s, const Choice& choice,
                              const NoteTravel& travel) {
    const bool z = choice.axis == Axis::Z;
    // A Z speed limit of 0 or less keeps every note off Z, even one too slow to move.
    if (z && (travel.speed[axisIndex(Axis::Z)] > s.MaxZSpeed || !(s.MaxZSpeed > 0))) {
        return std::nullopt;
    }
    const double distance = travel.distance[axisIndex(choice.axis)];
    if (auto move = tryDirection(s, choice.axis, choice.first, distance)) {
        return move;
    }
    return tryDirection(s, choice.axis, opposite(choice.first), distance);
}

std::int32_t drawChoice(RandomNumbers& random) {
    const float r = random.randomNumber();
    if (!(r >= 0.0f && r < 1.0f)) {
        throw Failure("The random source gave " + std::to_string(r) +
                      ", outside 0 to 1, in the note planner");
    }
    return static_cast<std::int32_t>(std::floor(static_cast<double>(r) * 6 + 1));
}

/// When six draws all fail (six Z draws for a note too fast for Z happen one time in 729), the
/// choices in table order, so that "no room" means the note fits nowhere. No random number is
/// drawn, so the sequence after the note is the same as without the fallback.
void fallBackInTableOrder(const ProgramState& s, const NoteTravel& travel, Draws& draws) {
    for (std::int32_t choice = 1; choice <= maxDraws && !draws.move; ++choice) {
        draws.move = tryChoice(s, choices[static_cast<std::size_t>(choice - 1)], travel);
        if (draws.move) {
            draws.lastChoice = choice;
        }
    }
}

/// Up to six draws, then the fallback; touches nothing of the state, so a fault leaves it as it
/// was.
Draws drawMove(const ProgramState& s, RandomNumbers& random, const NoteTravel& travel) {
    Draws draws;
    for (int tries = 1; tries <= maxDraws; ++tries) {
        draws.lastChoice = drawChoice(random);
        draws.move = tryChoice(s, choices[static_cast<std::size_t>(draws.lastChoice - 1)], travel);
        if (draws.move) {
            return draws;
        }
    }
    fallBackInTableOrder(s, travel, draws);
    return draws;
}

/// The move is written first: when that fails, the state keeps describing the notes in the file.
void place(ProgramState& s, const Move& move, float speed) {
    if (s.Moves) {
        s.Moves->move(move.axis, speed, s.NoteDuration, move.position, move.positionText);
    } else {
        writeMoveBlock(s.TuneStream.stream(), move.axis, speed, s.NoteDuration, move.positionText);
        s.TuneStream.flush();
    }
    coordinate(s, move.axis) = move.position;
    float& high = extent(s, move.axis);
    if (move.direction == Direction::Up && move.position > high) {
        high = move.position;
    }
    float& top = move.axis == Axis::Z ? s.TopZSpeed : s.TopXYSpeed;
    if (speed > top) {
        top = speed;
    }
}

/// Exact in double: the product of two singles needs at most 48 significant bits.
double noteDistance(float duration, float speed) {
    const double distance = static_cast<double>(duration) * static_cast<double>(speed);
    if (!std::isfinite(distance)) {
        overflow("the note's distance (duration " + std::to_string(duration) + " x speed " +
                 std::to_string(speed) + ") is not a finite number");
    }
    return distance;
}

} // namespace

NoteOutcome planNote(ProgramState& state, RandomNumbers& random) {
    return planNote(state, random, state.NoteSpeed, state.NoteSpeed);
}

NoteOutcome planNote(ProgramState& state, RandomNumbers& random, float ySpeed, float zSpeed) {
    const float x = state.NoteSpeed;
    const float duration = state.NoteDuration;
    const NoteTravel travel{{x, ySpeed, zSpeed},
                            {noteDistance(duration, x), noteDistance(duration, ySpeed),
                             noteDistance(duration, zSpeed)}};
    const Draws draws = drawMove(state, random, travel);
    state.MoveChoice = draws.lastChoice;
    if (!draws.move) {
        return NoteOutcome::NoRoom;
    }
    place(state, *draws.move, travel.speed[axisIndex(draws.move->axis)]);
    return NoteOutcome::Placed;
}

} // namespace chimex
