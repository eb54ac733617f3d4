# chimex-cli: text scores, MIDI files and part files as the command line reads them.
# Included from fuzz/CMakeLists.txt, after chimex_fuzz_target() is defined.
chimex_fuzz_target(fuzz_cli_score
    SOURCES fuzz_cli_score.cpp
    LIBS chimex::cli
    RUNS 50000)
chimex_fuzz_target(fuzz_cli_midi
    SOURCES fuzz_cli_midi.cpp
    LIBS chimex::cli)
chimex_fuzz_target(fuzz_cli_part_check
    SOURCES fuzz_cli_part_check.cpp
    LIBS chimex::cli
    RUNS 50000)
