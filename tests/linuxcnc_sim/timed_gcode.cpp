// SPDX-License-Identifier: MIT
// Writes LinuxCNC G-code whose notes keep the score's time on a machine that accelerates:
// exact-stop path mode, each move shortened so its ramps and cruise last the note, dwells only at
// the score's rests. The axis, direction and feed of each note come from chimex-cli's G-code of the
// same score. Usage: timed_gcode SCORE.txt CHIMEX.ngc ACCEL [PERIOD [STOP_DELAY]]  (G-code on
// standard output)
#include "motion/timed_moves.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using chimex::TimingNote;

struct Score {
    std::vector<double> holds;
    std::vector<double> gaps;
};

Score readScore(const char* path) {
    std::ifstream in(path);
    Score score;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line.substr(0, line.find('#')));
        int key = 0;
        double hold = 0;
        double gap = 0;
        if (fields >> key >> hold) {
            fields >> gap;
            score.holds.push_back(hold);
            score.gaps.push_back(gap);
        }
    }
    return score;
}

/// Each G1 of chimex-cli's file as axis, direction and feed (length/s).
std::vector<TimingNote> readMoves(const char* path) {
    std::ifstream in(path);
    std::vector<TimingNote> moves;
    double position[3] = {0, 0, 0};
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("G1 ", 0) != 0) {
            continue;
        }
        std::istringstream words(line.substr(3));
        TimingNote note;
        for (std::string word; words >> word;) {
            const double value = std::stod(word.substr(1));
            if (word[0] == 'F') {
                note.feed = value / 60;
            } else {
                note.axis = word[0] - 'X';
                note.direction = value >= position[note.axis] ? 1 : -1;
                position[note.axis] = value;
            }
        }
        moves.push_back(note);
    }
    return moves;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: timed_gcode SCORE CHIMEX.ngc ACCEL [PERIOD [STOP_DELAY]]\n";
        return 2;
    }
    const Score score = readScore(argv[1]);
    std::vector<TimingNote> notes = readMoves(argv[2]);
    if (notes.size() != score.holds.size()) {
        std::cerr << "timed_gcode: the score has " << score.holds.size() << " notes, the G-code "
                  << notes.size() << " moves\n";
        return 1;
    }
    double clock = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        notes[i].start = clock + score.gaps[i];
        notes[i].hold = score.holds[i];
        clock = notes[i].start + notes[i].hold;
    }
    chimex::Controller controller;
    const double accel = std::stod(argv[3]);
    controller.accel = {accel, accel, accel};
    controller.exactStop = true;
    controller.stepsPerUnit = {10000, 10000, 10000}; // the G-code's four decimals
    controller.period = argc > 4 ? std::stod(argv[4]) : 0;
    controller.stopDelay = argc > 5 ? std::stod(argv[5]) : 0;
    const auto moves = chimex::timeMoves(notes, controller, {1000, 1000, 1000});
    std::printf("G21 G90 G94 G61.1\nM0\nG0 X0 Y0 Z0\nG4 P2\n");
    std::size_t shortNotes = 0;
    std::size_t firstShort = 0;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        if (moves[i].dwellBefore > 0) {
            std::printf("G4 P%.3f\n", moves[i].dwellBefore);
        }
        std::printf("G1 %c%.4f F%.4f\n", 'X' + notes[i].axis, moves[i].target, notes[i].feed * 60);
        if (!moves[i].reachesFeed && shortNotes++ == 0) {
            firstShort = i + 1;
        }
    }
    std::printf("M2\n");
    if (shortNotes > 0) {
        std::cerr << shortNotes
                  << " notes too short to reach their pitch keep their time without it"
                  << " (the first: note " << firstShort << ")\n";
    }
}
