# Debian 12 packages the project needs. Sourced by the set-up script.
# To build and run the desktop program (MIDI input through RtMidi's ALSA back end and JACK's own
# API; libxcb1-dev asks the X server which keys are down; librsvg2-bin draws the icons of the
# installed program; qt6-serialport-dev talks to a machine's controller on a serial port; ccache
# lets several checkouts share compiled objects):
CHIMEX_BUILD_PACKAGES="cmake g++ make pkg-config qt6-base-dev qt6-multimedia-dev qt6-serialport-dev librtmidi-dev libjack-jackd2-dev libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev librsvg2-bin ccache"
# To build the Debian package (dpkg-shlibdeps finds its dependencies, file finds the programs):
CHIMEX_PACKAGE_PACKAGES="dpkg-dev file"
# To run the whole test suite (windows under Xvfb, sound on a null sink, MIDI through a JACK
# server on its dummy back end, fuzzing with clang, reading the previews and sounds of chimex-cli
# with librsvg, libxml2 and sox, tracing with strace, checking the package with lintian,
# desktop-file-validate and appstreamcli, injecting I/O faults with libfiu, reading chimex-cli's
# LinuxCNC G-code with LinuxCNC's own interpreter rs274, keeping both cores busy with stress-ng
# while measuring note times):
CHIMEX_TEST_PACKAGES="xvfb xauth xdotool x11-utils stress-ng pulseaudio pulseaudio-utils jackd2 sox imagemagick clang libclang-rt-14-dev libxml2-utils strace $CHIMEX_PACKAGE_PACKAGES lintian desktop-file-utils appstream libfiu-dev fiu-utils linuxcnc-uspace"
