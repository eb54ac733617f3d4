# Debian 12 packages the project needs. Sourced by the set-up script.
# To build and run the desktop program:
CHIMEX_BUILD_PACKAGES="cmake g++ make qt6-base-dev qt6-multimedia-dev libgtest-dev libgmock-dev libbenchmark-dev"
# To run the whole test suite (windows under Xvfb, sound on a null sink, fuzzing with clang,
# reading the previews and sounds of chimex-cli with librsvg, libxml2 and sox, tracing with strace,
# injecting I/O faults with libfiu):
CHIMEX_TEST_PACKAGES="xvfb xauth xdotool x11-utils pulseaudio pulseaudio-utils sox imagemagick clang libclang-rt-14-dev librsvg2-bin libxml2-utils strace libfiu-dev fiu-utils"
