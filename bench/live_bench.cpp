// SPDX-License-Identifier: MIT
// Live play measured end to end on the steady clock: GrblJogger through the Qt serial link to
// the fake GRBL served on a pseudo-terminal, ticked every 10 ms as the window's timer does.
// Prints key press to first step, key release to standstill (p50, p99, max) and the travel
// after a program that stops mid-note, against what its lease allows.
#include "fake_grbl_serve.h"
#include "link/grbl_jogger.h"
#include "platform/link/qt_machine_links.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace chimex;
using Clock = std::chrono::steady_clock;

namespace {

/// What the server thread sees of the controller, read by the player between notes.
struct Watch {
    std::mutex lock;
    LinkTime pressedAt{}, releasedAt{};
    double startX = 0;
    std::optional<double> firstStepMs, standstillMs;
    double x = 0;
    std::string state;
    bool stoodStill = false; ///< since the press: a new note waits for the last to stop
    std::vector<std::pair<LinkTime, double>> held; ///< positions while held, past the ramp

    void see(const FakeGrbl& grbl, LinkTime time) {
        const std::scoped_lock locked(lock);
        x = grbl.position()[0];
        state = grbl.state();
        if (!stoodStill && state == "Idle") {
            stoodStill = true;
            startX = x;
        }
        if (pressedAt != LinkTime() && releasedAt == LinkTime() &&
            time - pressedAt > std::chrono::milliseconds(100)) {
            held.emplace_back(time, x);
        }
        if (pressedAt != LinkTime() && !firstStepMs && stoodStill && x != startX) {
            firstStepMs = std::chrono::duration<double, std::milli>(time - pressedAt).count();
        }
        if (releasedAt != LinkTime() && !standstillMs && grbl.state() == "Idle") {
            standstillMs = std::chrono::duration<double, std::milli>(time - releasedAt).count();
        }
    }
    void arm(bool press) {
        const std::scoped_lock locked(lock);
        (press ? pressedAt : releasedAt) = Clock::now();
        (press ? firstStepMs : standstillMs).reset();
        startX = x;
        if (press) {
            releasedAt = {};
            held.clear();
            stoodStill = state == "Idle";
        }
    }
};

/// The time each tick held the thread, as the window's thread would be held.
std::vector<double> tickMs;

void tickFor(GrblJogger& jogger, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        const auto start = Clock::now();
        jogger.tick();
        tickMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

/// How far the held speed departs from `speed`, as a share: the least-squares slope of the
/// positions seen, so that the fake's whole-millisecond steps average out.
double pitchError(const std::vector<std::pair<LinkTime, double>>& held, double speed) {
    if (held.size() < 20) {
        return 0;
    }
    double n = 0, st = 0, sx = 0, stt = 0, stx = 0;
    for (const auto& [time, x] : held) {
        const double t = std::chrono::duration<double>(time - held.front().first).count();
        n += 1;
        st += t;
        sx += x;
        stt += t * t;
        stx += t * x;
    }
    const double slope = (n * stx - st * sx) / (n * stt - st * st);
    return std::fabs(std::fabs(slope) / speed - 1);
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::size_t(share * double(values.size() - 1))];
}

void print(const char* what, const std::vector<double>& values) {
    std::printf("%-32s p50 %6.1f ms  p99 %6.1f ms  max %6.1f ms  (%zu times)\n", what,
                percentile(values, 0.5), percentile(values, 0.99), percentile(values, 1),
                values.size());
}

} // namespace

struct Notes {
    std::vector<double> press, release;
    double worstPitch = 0;
};

/// Plays `count` notes of random speeds and lengths, `gapMs` apart (0: each pressed as the last
/// is released).
void playNotes(GrblJogger& jogger, Watch& watch, int count, int gapMs, Notes& notes) {
    std::mt19937 random(29);
    for (int note = 0; note < count; ++note) {
        const double speed = 2 + 38 * std::uniform_real_distribution<double>(0, 1)(random);
        const auto choice = chooseJog(jogger.axes(), jogger.position(), {speed, 0, 0});
        if (!choice) {
            continue;
        }
        watch.arm(true);
        jogger.press(*choice);
        tickFor(jogger, 150 + int(random() % 250));
        {
            const std::scoped_lock locked(watch.lock);
            notes.press.push_back(watch.firstStepMs.value_or(NAN));
            notes.worstPitch = std::max(notes.worstPitch, pitchError(watch.held, speed));
        }
        watch.arm(false);
        jogger.release();
        tickFor(jogger, gapMs);
        const std::scoped_lock locked(watch.lock);
        notes.release.push_back(watch.standstillMs.value_or(NAN));
    }
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int notes = argc > 1 ? std::atoi(argv[1]) : 100;
    const auto [master, path] = openFakeSerialPort();
    std::atomic<bool> stop = false;
    Watch watch;
    const FakeGrblMachine machine;
    std::thread server([&, fd = master] {
        serveFakeGrbl(fd, machine, stop, [&](const FakeGrbl& g, LinkTime t) { watch.see(g, t); });
    });
    QtMachineLinks links;
    auto link = links.open(SerialPortAddress{path, 115200});
    {
        GrblSession homing(*link);
        homing.start(link->now() + std::chrono::seconds(5));
        homing.request("$H", link->now() + std::chrono::seconds(5));
    }
    GrblJogger jogger(*link, path);
    jogger.start({300, 200, 80}, link->now() + std::chrono::seconds(5));

    Notes apart;
    playNotes(jogger, watch, notes, 250, apart);
    Notes legato;
    playNotes(jogger, watch, notes / 4, 0, legato);
    print("key press to first step", apart.press);
    print("key release to standstill", apart.release);
    print("legato: press to first step", legato.press);
    print("one tick of the link", tickMs);
    std::printf("speed while held, after the ramp: within %.2f %% of the note's\n",
                apart.worstPitch * 100);

    for (const double speed : {5.0, 20.0, 40.0}) {
        const auto choice = chooseJog(jogger.axes(), jogger.position(), {speed, 0, 0});
        jogger.press(*choice);
        tickFor(jogger, 300);
        double killedAt = 0;
        {
            const std::scoped_lock locked(watch.lock);
            killedAt = watch.x;
        }
        // The program stops here: no release, no tick; what GRBL holds runs out.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::scoped_lock locked(watch.lock);
        const double allowed = speed * 0.1 + speed * speed / (2 * machine.accel[0]);
        std::printf("stopped mid-note at %4.1f mm/s: %.2f mm ran on (lease + v^2/2a: %.2f mm)\n",
                    speed, std::fabs(watch.x - killedAt), allowed);
        jogger.release();
        tickFor(jogger, 100);
    }
    jogger.stop();
    stop = true;
    link.reset();
    server.join();
    return 0;
}
