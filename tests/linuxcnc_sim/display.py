#!/usr/bin/python3
"""Plays one G-code file on the simulated machine, as an operator would, while halsampler records.

Started by LinuxCNC as its display program; the program to play and the trace to write come from
CHIMEX_SIM_PROGRAM and CHIMEX_SIM_TRACE. LinuxCNC shuts down when this returns."""
import os
import subprocess
import sys
import time

import linuxcnc


def wait_for(stat, test, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        stat.poll()
        if test(stat):
            return
        time.sleep(0.005)
    sys.exit(f"display: timed out waiting for {what}")


def main():
    stat, command, errors = linuxcnc.stat(), linuxcnc.command(), linuxcnc.error_channel()
    command.state(linuxcnc.STATE_ESTOP_RESET)
    command.state(linuxcnc.STATE_ON)
    wait_for(stat, lambda s: s.task_state == linuxcnc.STATE_ON, 10, "machine on")
    command.mode(linuxcnc.MODE_MANUAL)
    command.teleop_enable(0)
    command.home(-1)
    wait_for(stat, lambda s: all(s.homed[:3]), 10, "homing")
    command.mode(linuxcnc.MODE_AUTO)
    wait_for(stat, lambda s: s.task_mode == linuxcnc.MODE_AUTO, 10, "auto mode")
    with open(os.environ["CHIMEX_SIM_TRACE"], "w") as trace:
        sampler = subprocess.Popen(["halsampler", "-t"], stdout=trace)
        command.program_open(os.environ["CHIMEX_SIM_PROGRAM"])
        command.auto(linuxcnc.AUTO_RUN, 0)
        play(stat, command, errors)
        time.sleep(0.2)
        sampler.terminate()
        sampler.wait()


def play(stat, command, errors):
    """Runs until the program ends, resuming at each operator stop (M0)."""
    wait_for(stat, lambda s: s.interp_state != linuxcnc.INTERP_IDLE, 10, "the program to start")
    end = time.monotonic() + 300
    while time.monotonic() < end:
        stat.poll()
        message = errors.poll()
        if message:
            sys.exit(f"display: LinuxCNC reports: {message[1]}")
        if stat.interp_state == linuxcnc.INTERP_IDLE and stat.queue == 0 and stat.inpos:
            return
        if stat.paused:
            command.auto(linuxcnc.AUTO_RESUME)
        time.sleep(0.005)
    sys.exit("display: the program did not end")


main()
