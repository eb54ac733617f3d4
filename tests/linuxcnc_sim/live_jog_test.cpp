// SPDX-License-Identifier: MIT
// Live play on LinuxCNC's simulation: LinuxcncJogger driven as the desktop drives it, a tick every
// 10 ms. Runs after linuxcncrsh_test.cpp's tests (which home the machine), in the same binary and
// simulation; linuxcncrsh.sh gives the INI as CHIMEX_SIM_INI. The numbers printed are the
// measurements; the checks are on distances and bounds only.
#include "link/linuxcnc_jogger.h"
#include "platform/link/qt_machine_links.h"
#include "sim_clock.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

namespace chimex {
namespace {

constexpr auto tickEvery = std::chrono::milliseconds(10);
constexpr double wide = 1000; ///< a settings' travel that leaves the machine's own in charge

struct Live {
    QtMachineLinks links;
    std::unique_ptr<MachineLink> link = links.open(simulationAddress());
    LinuxcncJogger jogger{*link, "the simulation", readMachineFile(environment("CHIMEX_SIM_INI"))};
    Clock::time_point nextTick = Clock::now();

    explicit Live(std::array<double, 3> travel = {wide, wide, wide}) {
        jogger.start(travel, in(5));
    }
    LinuxcncSession& session() { return jogger.session(); }
    double at(std::size_t axis) { return position()[axis]; }
    /// The position, asked again when the reply was garbled: linuxcncrsh words its replies in a
    /// buffer its clients share, so with a second client jogging (the killed program's test) a
    /// reply may carry the other's numbers.
    AxisValues position() {
        for (int tries = 1;; ++tries) {
            try {
                return session().position(in(1));
            } catch (const MachineStopped&) {
                if (tries == 3) {
                    throw;
                }
            }
        }
    }

    /// Ticks when one is due, as the desktop's timer does; what it told, else nothing.
    JogNews tickWhenDue() {
        if (Clock::now() < nextTick) {
            return {};
        }
        nextTick += tickEvery;
        return jogger.tick();
    }
    /// Ticks for `seconds`, checking every news and position.
    void run(double seconds, const std::function<void(const JogNews&)>& check = {}) {
        for (const auto end = in(seconds); Clock::now() < end;) {
            const JogNews news = tickWhenDue();
            if (check) {
                check(news);
            }
            std::this_thread::sleep_until(std::min(nextTick, end));
        }
    }
    void settle() {
        while (jogger.statusText().find(": ready") == std::string::npos) {
            run(0.01);
        }
    }
    /// Polls until `axis` leaves `from`; when it did.
    Clock::time_point firstStep(std::size_t axis, double from) {
        while (at(axis) == from) {
            tickWhenDue();
        }
        return Clock::now();
    }
    /// Polls until the position stays the same for 20 ms; when it last changed.
    Clock::time_point standingStill() {
        auto last = position();
        auto moved = Clock::now();
        while (Clock::now() - moved < std::chrono::milliseconds(20)) {
            if (const auto now = position(); now != last) {
                last = now;
                moved = Clock::now();
            }
        }
        return moved;
    }
};

/// A settings' travel that ends `room` mm past where the tool stands on each axis (the machine's
/// own starts at -1).
std::array<double, 3> endingAhead(double room) {
    const auto at = Live().jogger.position();
    return {at[0] + 1 + room, at[1] + 1 + room, at[2] + 1 + room};
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

/// The slope of a least-squares line through (t, x).
double slope(const std::vector<std::pair<double, double>>& samples) {
    double st = 0, sx = 0, stt = 0, stx = 0;
    for (const auto& [t, x] : samples) {
        st += t, sx += x, stt += t * t, stx += t * x;
    }
    const double n = double(samples.size());
    return (n * stx - st * sx) / (n * stt - st * st);
}

TEST(LinuxcncLive, AHeldNoteJogsAtItsSpeedAndStopsWithinItsLease) {
    Live live;
    const JogChoice note{0, 1, 20};
    const double from = live.jogger.position()[0];
    const auto pressed = Clock::now();
    ASSERT_EQ(live.jogger.press(note).kind, JogNews::None);
    std::vector<std::pair<double, double>> samples;
    live.run(1.2, [&](const JogNews& news) {
        ASSERT_EQ(news.kind, JogNews::None) << news.message;
        const double t = std::chrono::duration<double>(Clock::now() - pressed).count();
        if (t > 0.2) { // past the ramp (40 ms) and the first lease
            samples.emplace_back(t, live.jogger.position()[0]);
        }
    });
    const double speed = slope(samples);
    std::printf("steady speed %.4f mm/s for 20 mm/s (%+.3f %%) from %zu polls\n", speed,
                (speed / 20 - 1) * 100, samples.size());
    EXPECT_NEAR(speed, 20, 20 * 0.005);
    const double atRelease = live.at(0);
    live.jogger.release();
    live.standingStill();
    const double after = live.at(0) - atRelease;
    std::printf("travel after the release %.3f mm\n", after);
    EXPECT_GT(live.at(0), from + 20);
    EXPECT_LT(after, 20 * 0.1 + 20 * 20 / (2 * 500.0)); // a lease and the stop, at most
    live.settle();
}

TEST(LinuxcncLive, MeasuresPressToFirstStepAndReleaseToStandingStill) {
    Live live;
    std::vector<double> starts, stops;
    for (int i = 0; i < 40; ++i) {
        const double from = live.jogger.position()[0];
        const auto pressed = Clock::now();
        live.jogger.press({0, i % 2 ? -1 : 1, 20});
        starts.push_back(millisecondsSince(pressed, live.firstStep(0, from)));
        live.run(0.1);
        const auto released = Clock::now();
        live.jogger.release();
        stops.push_back(millisecondsSince(released, live.standingStill()));
        live.settle();
    }
    std::printf("press to first step: p50 %.1f ms, p99 %.1f ms; release to standing still: p50 "
                "%.1f ms, p99 %.1f ms (20 mm/s at 500 mm/s^2: 40 ms of ramp)\n",
                percentile(starts, 0.5), percentile(starts, 0.99), percentile(stops, 0.5),
                percentile(stops, 0.99)); // Legato: the next note pressed at the release, back the
                                          // other way, starts once X stands.
    std::vector<double> legato;
    live.jogger.press({0, 1, 20});
    for (int i = 0; i < 10; ++i) {
        live.run(0.1);
        const int back = i % 2 ? 1 : -1;
        double extreme = live.at(0);
        live.jogger.release();
        const auto pressed = Clock::now();
        live.jogger.press({0, back, 20});
        for (double x = extreme; back * (x - extreme) <= 0; x = live.at(0)) {
            extreme = back > 0 ? std::min(extreme, x) : std::max(extreme, x);
            live.tickWhenDue();
        }
        legato.push_back(millisecondsSince(pressed));
    }
    live.jogger.release();
    live.settle();
    std::printf("legato, the next note back the other way: first step p50 %.1f ms, max %.1f ms\n",
                percentile(legato, 0.5), percentile(legato, 1));
}

TEST(LinuxcncLive, ANoteTowardsTheTravelsEndStopsInsideIt) {
    Live live(endingAhead(20));
    const JogAxis x = live.jogger.axes()[0];
    live.jogger.press({0, 1, 50});
    JogNews ended;
    for (const auto end = in(3); ended.kind == JogNews::None && Clock::now() < end;) {
        live.run(0.01, [&](const JogNews& news) {
            if (news.kind != JogNews::None) {
                ended = news;
            }
            ASSERT_LE(live.jogger.position()[0], x.high);
        });
    }
    EXPECT_EQ(ended.kind, JogNews::NoteEnded) << ended.message;
    live.standingStill();
    const double stoppedAt = live.at(0);
    std::printf("a 50 mm/s note towards X %.3f stopped at X %.3f\n", x.high, stoppedAt);
    EXPECT_LE(stoppedAt, x.high);
    EXPECT_GT(stoppedAt, x.high - 50 * 0.1 - x.stopRoom(50));
    live.jogger.release();
    live.settle();
}

TEST(LinuxcncLive, RandomKeySequencesStayInsideTheTravelWithoutAnError) {
    Live live(endingAhead(3));
    const auto axes = live.jogger.axes();
    std::mt19937 random(29);
    const auto within = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    int notes = 0, ends = 0;
    const auto check = [&](const JogNews& news) {
        ends += news.message.find("no more room") != std::string::npos;
        ASSERT_NE(news.kind, JogNews::Offline) << news.message;
        ASSERT_EQ(news.message.find("The note stopped"), std::string::npos) << news.message;
        for (std::size_t i = 0; i < 2; ++i) {
            ASSERT_GE(live.jogger.position()[i], axes[i].low);
            ASSERT_LE(live.jogger.position()[i], axes[i].high);
        }
    };
    for (int sequence = 0; sequence < 1000 && !testing::Test::HasFatalFailure(); ++sequence) {
        // Any axis and direction, so that notes run into the travel's end 3 mm ahead.
        const JogChoice note{std::size_t(within(0, 2)), within(-1, 1) < 0 ? -1 : 1, within(5, 60)};
        const JogNews news = live.jogger.press(note);
        check(news);
        notes += news.kind == JogNews::None;
        live.run(within(0, 0.04), check);
        check(live.jogger.release());
        live.run(within(0, 0.01), check);
    }
    live.settle();
    std::printf("%d of 1000 key sequences started a note, %d met the travel's end\n", notes, ends);
    EXPECT_EQ(live.session().error(in(1)), "");
}

/// The program killed mid-note: a child process holding the link is killed with SIGKILL while
/// it jogs; the axis runs to the end of its last lease and stops.
TEST(LinuxcncLive, AKilledProgramLeavesAtMostItsLeaseToRun) {
    if (environment("CHIMEX_LIVE_CHILD") == "1") {
        Live live;
        live.jogger.press(*chooseJog(live.jogger.axes(), live.jogger.position(), {20, 0, 0}));
        live.run(60); // until killed
        return;
    }
    Live watch; // a second client, that only reads
    const double from = watch.at(0);
    const pid_t child = fork();
    if (child == 0) {
        setenv("CHIMEX_LIVE_CHILD", "1", 1);
        execl("/proc/self/exe", "live_child", "--gtest_filter=LinuxcncLive.AKilled*", nullptr);
        _exit(127);
    }
    ASSERT_GT(child, 0);
    // The watcher keeps quiet while the child jogs: linuxcncrsh words replies in a buffer its
    // clients share, so polling beside the child could garble the child's own replies.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(child, SIGKILL);
    const double atKill = watch.at(0);
    waitpid(child, nullptr, 0);
    watch.standingStill();
    const double after = std::fabs(watch.at(0) - atKill);
    std::printf("travel after the program was killed at 20 mm/s: %.3f mm (a lease 2 mm and the "
                "stop 0.4 mm at most)\n",
                after);
    EXPECT_GT(std::fabs(atKill - from), 4.9) << "the child did not jog";
    EXPECT_LE(after, 20 * 0.1 + 20 * 20 / (2 * 500.0) + 0.01);
}

} // namespace
} // namespace chimex
