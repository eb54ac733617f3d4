// SPDX-License-Identifier: MIT
// Writes the key sounds notes/0.wav to notes/36.wav. Usage: chimex_note_sounds FOLDER
#include "note_synth.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: chimex_note_sounds FOLDER\n";
        return 2;
    }
    try {
        chimex::writeNoteFiles(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
