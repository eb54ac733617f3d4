// SPDX-License-Identifier: MIT
#include "files/failure.h"
#include "machine/machine_settings.h"
#include "partfile/line_reader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>

namespace chimex {
namespace {

std::string number(const std::optional<double>& value) {
    if (!value) {
        return "-";
    }
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, *value).ptr);
}

/// Every value read, in one line: controller, unit, per axis steps/speed/accel/min..max, then
/// junction deviation, Klipper's corner, GRBL's idle delay, LinuxCNC's servo and task periods
/// and, where given, its joints.
std::string summary(const MachineSettings& s) {
    std::string out(dialectName(s.controller));
    out += !s.unit ? " -" : *s.unit == LengthUnit::Millimetre ? " mm" : " in";
    for (const Axis axis : axes) {
        const AxisSettings& a = s.axis(axis);
        out += std::string(" ") + axisLetter(axis) + " " + number(a.stepsPerUnit) + "/" +
               number(a.fastestSpeed) + "/" + number(a.accel) + "/" + number(a.travelMin) + ".." +
               number(a.travelMax);
    }
    out += " jd " + number(s.junctionDeviation);
    if (s.squareCorner) {
        out += " corner " + number(s.squareCorner->velocity) + " " +
               number(s.squareCorner->minimumCruiseRatio);
    }
    out += " idle " + number(s.stepIdleDelay) + " servo " + number(s.servoPeriod) + " task " +
           number(s.taskCycleTime);
    return s.joints ? out + " joints " + std::to_string(*s.joints) : out;
}

MachineSettings read(const std::string& text) {
    std::istringstream in(text);
    return readMachineSettings(in, "machine.txt");
}

const std::string klipperPrinter = "[printer]\n"
                                   "kinematics: cartesian\n"
                                   "max_velocity: 300\n"
                                   "max_accel: 3000\n"
                                   "[stepper_x]\n"
                                   "rotation_distance: 40\n"
                                   "microsteps: 16\n"
                                   "position_max: 235\n"
                                   "[stepper_y]\n"
                                   "rotation_distance: 40\n"
                                   "microsteps: 16\n"
                                   "position_max: 235\n"
                                   "[stepper_z]\n"
                                   "rotation_distance: 8\n"
                                   "microsteps: 16\n"
                                   "position_max: 250\n";

struct Sample {
    std::string text;
    std::string expected;
};

class MachineSamples : public ::testing::TestWithParam<Sample> {};

TEST_P(MachineSamples, ReadEveryValueTheFileGives) {
    EXPECT_EQ(summary(read(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MachineSamples,
    ::testing::Values(
        // A $$ report as a sender shows it; GRBL's rates are per minute, its travel a length.
        Sample{"\xEF\xBB\xBFGrbl 1.1h ['$' for help]\r\n$$\r\n$0=10 (Step pulse time, "
               "microseconds)\r\n$1=25 (Step idle delay, milliseconds)\r\n$11=0.010\r\n$13=1\r\n"
               "$100=250\r\n$100=80.000\r\n$101 = 40.000 (y, step/mm)\r\n$102=400\r\n"
               "$110=6000.000\r\n$111=3000\r\n$112=600\r\n$120=500\r\n$121=250\r\n$122=50\r\n"
               "$130=300\r\n$131=200\r\n$132=80\r\n[MSG:'$H'|'$X' to unlock]\r\nok\r\n",
               "GRBL mm X 80/100/500/0..300 Y 40/50/250/0..200 Z 400/10/50/0..80 jd 0.01 idle "
               "0.025 servo - task -"},
        Sample{"$100=80\n$1=255\n", "GRBL mm X 80/-/-/-..- Y -/-/-/-..- Z -/-/-/-..- jd - idle 0 "
                                    "servo - task -"},
        // First value of a name in the first block of its section; the [TRAJ] caps; joints by
        // coordinates=, a gantry's two Y joints agreeing, SCALE's sign only a direction.
        Sample{"# mill\n[EMC]\nVERSION = 1.1\n[EMCMOT]\nSERVO_PERIOD = 1000000\n[TASK]\n"
               "CYCLE_TIME = 0.010\n[TRAJ]\nLINEAR_UNITS = inch\nMAX_LINEAR_VELOCITY = 3\n[KINS]\n"
               "KINEMATICS = trivkins coordinates=xyyz kinstype=both\nJOINTS = 4\n[AXIS_X]\n"
               "MIN_LIMIT = -0.5\nMAX_LIMIT = 10\nMAX_VELOCITY = 2\nMAX_VELOCITY = 9\n"
               "MAX_ACCELERATION = 20\n[AXIS_Y]\nMAX_VELOCITY = 4\nMAX_ACCELERATION = 10\n"
               "[AXIS_Z]\nMIN_LIMIT = -4\nMAX_LIMIT = 0 \\\nMAX_VELOCITY = 5\n[JOINT_0]\nSCALE = "
               "-4000\n[JOINT_1]\n"
               "STEP_SCALE = 8000\n[JOINT_2]\nSCALE = 8000 0\n[JOINT_3]\nSCALE = 16000\n"
               "[AXIS_X]\nMAX_ACCELERATION = 99\n",
               "LinuxCNC in X 4000/2/20/-0.5..10 Y 8000/3/10/-..- Z 16000/-/-/-4..0 jd - idle - "
               "servo 0.001 task 0.01 joints 4"},
        Sample{"[TRAJ]\nLINEAR_UNITS = mm\n[JOINT_0]\nSCALE = 80\n[JOINT_2]\nSCALE = 400\n",
               "LinuxCNC mm X 80/-/-/-..- Y -/-/-/-..- Z 400/-/-/-..- jd - idle - servo - task -"},
        // A G1 without extrusion ramps at M204 T, at most the axis's M201.
        Sample{"echo:; Linear Units:\necho:  G21 ; (mm)\necho:  M149 C ; Units in Celsius\n"
               "echo:; Steps per unit:\necho:  M92 X80.00 Y100.00 Z400.00 E93.00\n"
               "echo:  M203 X300.00 Y300.00 Z5.00 E25.00\n"
               "echo:  M201 X3000.00 Y2000.00 Z100.00 E5000.00\n"
               "echo:; Acceleration (units/s2) (P<print-accel> R<retract-accel> T<travel-accel>):\n"
               "echo:  M204 P1000.00 R1000.00 T2500.00\n"
               "echo:  M205 B20000.00 S0.00 T0.00 J0.08\nok\n",
               "Marlin mm X 80/300/2500/-..- Y 100/300/2000/-..- Z 400/5/100/-..- jd 0.08 idle - "
               "servo - task -"},
        // Marlin 1.0: M204 S was the one acceleration (its T the retraction's).
        Sample{"echo:Steps per unit:\necho:  M92 X80.00 Y80.00 Z4000.00 E500.00\n"
               "echo:Acceleration: S=acceleration, T=retract acceleration\n"
               "echo:  M204 S3000.00 T1000.00\nM201 X9000 Y2000 Z100 E10000\nM203 X500 Y500 Z5\n",
               "Marlin mm X 80/500/3000/-..- Y 80/500/2000/-..- Z 4000/5/100/-..- jd - idle - "
               "servo - task -"},
        // Steps from rotation distance, microsteps, full steps and gears; comments, `=`,
        // continuation lines, and the SAVE_CONFIG block overriding the file's values.
        Sample{"# printer.cfg\n[stepper_x]\nstep_pin: PB13\nrotation_distance: 40\n"
               "microsteps: 16\nposition_max: 235   ; bed\n\n[stepper_y]\n"
               "rotation_distance = 32\nmicrosteps = 16\nfull_steps_per_rotation: 400\n"
               "position_min: -5\nposition_max: 230\n[stepper_z]\nrotation_distance: 8\n"
               "MicroSteps: 16\ngear_ratio: 3:1,\n  2:1\nposition_max: 250\n[printer]\n"
               "kinematics: cartesian\nmax_velocity: 300\nmax_accel: 3000 # fast\n"
               "max_accel_to_decel: 1500\nmax_z_velocity: 5\nmax_z_accel: 100\n"
               "[gcode_macro START]\ngcode:\n    G28\n    G1 Z5 F3000 ; lift\n\n"
               "#*# <---------------------- SAVE_CONFIG ---------------------->\n"
               "#*# DO NOT EDIT THIS BLOCK OR BELOW. The contents are auto-generated.\n#*#\n"
               "#*# [stepper_z]\n#*# position_max = 240\n#*#\n#*# [printer]\n"
               "#*# max_accel = 2000\n\n",
               "Klipper mm X 80/300/2000/0..235 Y 200/300/2000/-5..230 Z 2400/5/100/0..240 jd - "
               "corner 5 0.25 idle - servo - task -"},
        Sample{klipperPrinter + "[printer]\nminimum_cruise_ratio: 0\nsquare_corner_velocity: 8\n",
               "Klipper mm X 80/300/3000/0..235 Y 80/300/3000/0..235 Z 400/300/3000/0..250 jd - "
               "corner 8 0 idle - servo - task -"}));

struct Refusal {
    std::string text;
    std::string message; ///< a part of the message
};

class MachineRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(MachineRefusals, NameTheFileTheLineAndTheCause) {
    try {
        read(GetParam().text);
        FAIL() << "read " << GetParam().text;
    } catch (const InputFailure& failure) {
        EXPECT_NE(std::string(failure.what()).find(GetParam().message), std::string::npos)
            << failure.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, MachineRefusals,
    ::testing::Values(
        Refusal{"hello\n", "machine.txt: line 1: this line is none of a GRBL $$ report, a "
                           "LinuxCNC INI file, a Marlin M503 report or a Klipper printer.cfg"},
        Refusal{"\n; nothing\n", "machine.txt: the file holds no settings"},
        Refusal{std::string("$100=80\n$1\0=2\n", 13), "machine.txt: line 2: a NUL byte"},
        Refusal{"$100=1\n" + std::string(LineReader::maxLength + 1, '1'),
                "machine.txt: line 2: the line is longer than 4096 characters"},
        Refusal{"$1=25\n$11=0.01\n", "the GRBL settings give none of the axes' steps"},
        Refusal{"$100=80\n$101=-40\n", "line 2: $101 must be a number above 0, not \"-40\""},
        Refusal{"$110=inf\n", "line 1: $110 must be a number above 0, not \"inf\""},
        Refusal{"$100=80\nG0 X1\n", "line 2: this is not a setting of a GRBL $$ report"},
        Refusal{"$100=80\n$1=300\n", "line 2: $1 must be a whole number from 0 to 255"},
        Refusal{"[EMC]\n#INCLUDE joints.inc\n",
                "line 2: \"#INCLUDE joints.inc\": values in included files are not read"},
        Refusal{"[AXIS_X]\nMAX_VELOCITY = [JOINT_0]MAX_VELOCITY\n",
                "line 2: [AXIS_X] MAX_VELOCITY is given as \"[JOINT_0]MAX_VELOCITY\""},
        Refusal{"[AXIS_X]\nMIN_LIMIT = 10\nMAX_LIMIT = 5\n",
                "line 3: [AXIS_X] MAX_LIMIT must be above the travel's minimum 10, not \"5\""},
        Refusal{"[TRAJ]\nLINEAR_UNITS = cm\n", "line 2: [TRAJ] LINEAR_UNITS must be mm or inch"},
        Refusal{"[KINS]\nKINEMATICS = corexykins\n[JOINT_0]\nSCALE = 80\n",
                "line 2: [KINS] KINEMATICS is \"corexykins\": joint steps are read only for "
                "trivkins"},
        Refusal{"[KINS]\nKINEMATICS = trivkins coordinates=XYYZ\n[JOINT_1]\nSCALE = 80\n"
                "[JOINT_2]\nSCALE = -81\n",
                "line 6: [JOINT_2] SCALE differs from [JOINT_1] SCALE, though both joints "
                "drive Y"},
        Refusal{"[KINS]\nJOINTS = 10\n",
                "line 2: [KINS] JOINTS must be a whole number from 1 to 9, not \"10\""},
        Refusal{"[JOINT_0]\nSCALE = 0\n", "[JOINT_0] SCALE must be a number other than 0"},
        Refusal{"echo:  M92 X80 Y80 Z400\necho:  M205 B20000 S0 T0 X10.00 Y10.00 Z0.3\n",
                "line 2: M205 X: Marlin is set for classic jerk"},
        Refusal{"echo:  G20 ; (in)\n", "line 1: G20: the report gives its values in inches"},
        Refusal{"M201 X500 Y500 Z100\n", "line 1: M201 X is given without M204"},
        Refusal{"M204 P500 R500\nM201 X1 Y1 Z1\n", "line 1: M204 has no T"},
        Refusal{"echo:  M92 X80\nhello\n", "line 2: this is not a line of a Marlin M503 report"},
        Refusal{"[include mainsail.cfg]\n" + klipperPrinter,
                "line 1: \"[include mainsail.cfg]\": included files are not read"},
        Refusal{"[printer]\nkinematics: corexy\n",
                "line 2: [printer] kinematics is \"corexy\": only cartesian printers are read"},
        Refusal{"[printer]\nkinematics cartesian\n",
                "line 2: this is not a line of a Klipper printer.cfg"},
        Refusal{"[printer]\nkinematics: cartesian\nmax_velocity: 300\nmax_accel: 3000\n",
                "there is no [stepper_x] section"},
        Refusal{"[stepper_x]\nmicrosteps: 16\n[printer]\nkinematics: cartesian\n"
                "max_velocity: 300\nmax_accel: 3000\n",
                "line 1: [stepper_x] rotation_distance is missing"},
        Refusal{klipperPrinter + "[stepper_y]\nmicrosteps: 16.5\n",
                "[stepper_y] microsteps must be a whole number from 1 to"},
        Refusal{klipperPrinter + "[stepper_z]\nfull_steps_per_rotation: 201\n",
                "must be a multiple of 4"},
        Refusal{klipperPrinter + "[stepper_z]\ngear_ratio: 3\n",
                "[stepper_z] gear_ratio must be pairs such as 3:1, 2:1"},
        Refusal{klipperPrinter + "[stepper_x]\nposition_min: 235\n",
                "line 8: [stepper_x] position_max must be above the travel's minimum 235"},
        Refusal{klipperPrinter + "[printer]\nmax_z_velocity: 400\n",
                "line 18: [printer] max_z_velocity must be at most max_velocity (300)"},
        Refusal{klipperPrinter + "[printer]\nminimum_cruise_ratio: 1\n",
                "minimum_cruise_ratio must be below 1"},
        Refusal{klipperPrinter +
                    "#*# <---------------------- SAVE_CONFIG ---------------------->\n"
                    "#*# DO NOT EDIT THIS BLOCK OR BELOW. The contents are auto-generated.\n"
                    "#*#\n#*# [printer]\nmax_accel: 100\n",
                "line 21: a line in the SAVE_CONFIG block without its #*# prefix"}));

TEST(MachineFile, NamesAFileThatIsNotThere) {
    EXPECT_THROW(
        {
            try {
                readMachineFile("/nonexistent/grbl.txt");
            } catch (const InputFailure& failure) {
                EXPECT_STREQ(failure.what(),
                             "/nonexistent/grbl.txt: the machine file does not exist");
                throw;
            }
        },
        InputFailure);
}

} // namespace
} // namespace chimex
