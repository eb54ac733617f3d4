// SPDX-License-Identifier: MIT
#include "link/grbl_replies.h"
#include "link/link_address.h"

#include <gtest/gtest.h>

namespace chimex {
namespace {

TEST(LinkAddress, ReadsControllerPlaceAndRateOrRefusesNamingWhatIsWrong) {
    const struct {
        const char* text;
        GcodeDialect controller;
        const char* place; ///< device path or host
        int number;        ///< baud or port
        const char* refusal;
    } rows[] = {
        {"grbl:/dev/ttyUSB0", GcodeDialect::Grbl, "/dev/ttyUSB0", 115200, ""},
        {"grbl:/dev/ttyUSB0:57600", GcodeDialect::Grbl, "/dev/ttyUSB0", 57600, ""},
        {"marlin:/dev/ttyACM0", GcodeDialect::Marlin, "/dev/ttyACM0", 250000, ""},
        {"marlin:/dev/serial/by-path/pci-0:14.0-usb-0:1:1.0-port0", GcodeDialect::Marlin,
         "/dev/serial/by-path/pci-0:14.0-usb-0:1:1.0-port0", 250000, ""},
        {"linuxcnc:localhost", GcodeDialect::LinuxCnc, "localhost", 5007, ""},
        {"linuxcnc:mill.local:6000", GcodeDialect::LinuxCnc, "mill.local", 6000, ""},
        {"linuxcnc:[::1]:5008", GcodeDialect::LinuxCnc, "::1", 5008, ""},
        {"linuxcnc:fe80::1", GcodeDialect::LinuxCnc, "fe80::1", 5007, ""},
        {"klipper:/dev/ttyUSB0", {}, "", 0, "names Klipper, which has no link here yet"},
        {"/dev/ttyUSB0", {}, "", 0, "is not a link"},
        {"grbl:", {}, "", 0, "names no serial port: write it as grbl:/dev/ttyUSB0"},
        {"grbl:ttyUSB0", {}, "", 0, "relative path: give its full path, such as grbl:/dev/ttyUSB0"},
        {"grbl:/dev/ttyUSB0:0", {}, "", 0, "baud rate out of range"},
        {"marlin:/dev/ttyACM0:99999999999", {}, "", 0, "baud rate out of range"},
        {"linuxcnc:", {}, "", 0, "names no host"},
        {"linuxcnc:mill:70000", {}, "", 0, "port that is not a whole number from 1 to 65535"},
        {"linuxcnc:/dev/ttyS0", {}, "", 0, "LinuxCNC is reached over the network"},
        {"linuxcnc:[::1:5007", {}, "", 0, "without its closing bracket"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        if (*row.refusal) {
            try {
                parseLinkAddress(row.text);
                ADD_FAILURE() << "taken";
            } catch (const Failure& refusal) {
                const std::string message = refusal.what();
                EXPECT_TRUE(message.starts_with("\"" + std::string(row.text) + "\" ")) << message;
                EXPECT_NE(message.find(row.refusal), std::string::npos) << message;
            }
            continue;
        }
        const LinkAddress address = parseLinkAddress(row.text);
        EXPECT_EQ(address.controller, row.controller);
        if (const auto* serial = std::get_if<SerialPortAddress>(&address.endpoint)) {
            EXPECT_EQ(serial->path, row.place);
            EXPECT_EQ(serial->baud, row.number);
        } else {
            EXPECT_EQ(std::get<TcpAddress>(address.endpoint).host, row.place);
            EXPECT_EQ(std::get<TcpAddress>(address.endpoint).port, row.number);
        }
    }
    EXPECT_EQ(endpointName(TcpAddress{"::1", 5007}), "[::1]:5007");
}

TEST(GrblStatus, ReadsGrbl11ReportsAndRefusesOthers) {
    const AxisValues zero{};
    const struct {
        const char* line;
        GrblState state;
        int subState;
        AxisValues position;
        bool workPosition;
        std::optional<AxisValues> offset;
        std::optional<int> blocksFree;
        double feed;
    } rows[] = {
        {"<Idle|MPos:0.000,-10.000,5.000|FS:0,0>",
         GrblState::Idle,
         -1,
         {0, -10, 5},
         false,
         {},
         {},
         0},
        {"<Hold:0|WPos:-2.500,0.000,11.000|Bf:14,100|FS:500,8000|WCO:0.000,1.551,5.664>",
         GrblState::Hold,
         0,
         {-2.5, 0, 11},
         true,
         AxisValues{0, 1.551, 5.664},
         14,
         500},
        {"<Jog|MPos:1,2,3,4|F:250|Pn:XZ|Ov:100,100,100|A:SF>",
         GrblState::Jog,
         -1,
         {1, 2, 3},
         false,
         {},
         {},
         250},
        {"<Alarm|MPos:0,0,0|Ln:99>", GrblState::Alarm, -1, zero, false, {}, {}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const auto status = parseGrblStatus(row.line);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(status->state, row.state);
        EXPECT_EQ(status->subState, row.subState);
        EXPECT_EQ(status->position, row.position);
        EXPECT_EQ(status->workPosition, row.workPosition);
        EXPECT_EQ(status->offset, row.offset);
        EXPECT_EQ(status->plannerBlocksFree, row.blocksFree);
        EXPECT_EQ(status->feedPerMinute, row.feed);
    }
    for (const char* refused :
         {"<Idle|FS:0,0>", "<Walking|MPos:0,0,0>", "<Idle|MPos:0,x,0>", "<Idle|MPos:0,0>",
          "<Hold:x|MPos:0,0,0>", "<Idle|MPos:0,0,0|Bf:15>", "Idle|MPos:0,0,0"}) {
        EXPECT_FALSE(parseGrblStatus(refused)) << refused;
    }
    EXPECT_EQ(parseGrblStatus("<Jog|MPos:0,0,0|Pn:XZ>")->pins, "XZ");
    EXPECT_EQ(parseGrblStatus("<Run|MPos:0,0,0|Ln:99>")->lineNumber, 99);
}

TEST(GrblReplies, KindsCodesAndWords) {
    const struct {
        const char* line;
        GrblReplyKind kind;
        int code;
        const char* text;
    } rows[] = {
        {"ok", GrblReplyKind::Ok, 0, "ok"},
        {"error:15", GrblReplyKind::Error, 15, "error:15"},
        {"ALARM:3", GrblReplyKind::Alarm, 3, "ALARM:3"},
        {"error:x", GrblReplyKind::Unknown, 0, "error:x"},
        {"[MSG:Pgm End]", GrblReplyKind::Message, 0, "Pgm End"},
        {"[GC:G0 G54 G17]", GrblReplyKind::Feedback, 0, "[GC:G0 G54 G17]"},
        {"$130=200.000", GrblReplyKind::Setting, 0, "$130=200.000"},
        {">G54:ok", GrblReplyKind::StartupLine, 0, ">G54:ok"},
        {"Grbl 1.1h ['$' for help]", GrblReplyKind::Welcome, 0, "1.1h"},
        {"GrblHAL 1.1f ['$' or '$HELP' for help]", GrblReplyKind::Welcome, 0, "1.1f"},
        {"", GrblReplyKind::Blank, 0, ""},
        {"echo:busy", GrblReplyKind::Unknown, 0, "echo:busy"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const GrblReply reply = classifyGrblReply(row.line);
        EXPECT_EQ(reply.kind, row.kind);
        EXPECT_EQ(reply.code, row.code);
        EXPECT_EQ(reply.text, row.text);
    }
    EXPECT_EQ(grblErrorWords(15), "the move would leave the travel (error:15)");
    EXPECT_EQ(grblErrorWords(9), "G-code is locked out while the machine is in alarm or jogging "
                                 "(error:9)");
    EXPECT_EQ(grblErrorWords(99), "GRBL gave error:99, which GRBL 1.1 does not document");
    EXPECT_EQ(grblAlarmWords(2),
              "a move would have left the travel (soft limit); the position is kept (ALARM:2)");
}

TEST(GrblReplies, BuildInfoVersionsAndWireLines) {
    const auto info = parseGrblBuildInfo({"[VER:1.1h.20190825:my mill]", "[OPT:VZ,31,256]"});
    EXPECT_EQ(info.version, "1.1h.20190825");
    EXPECT_EQ(info.options, "VZ");
    EXPECT_EQ(info.plannerBlocks, 31);
    EXPECT_EQ(info.receiveBytes, 256);
    const auto early = parseGrblBuildInfo({"[VER:1.1d.20161014:]", "[OPT:VL]"});
    EXPECT_EQ(early.receiveBytes, 128);
    EXPECT_EQ(early.plannerBlocks, 15);

    EXPECT_TRUE(isGrbl11OrLater("1.1h.20190825"));
    EXPECT_TRUE(isGrbl11OrLater("v1.1f"));
    EXPECT_TRUE(isGrbl11OrLater("2.0"));
    EXPECT_FALSE(isGrbl11OrLater("0.9j.20160316"));
    EXPECT_FALSE(isGrbl11OrLater("1.0c"));
    EXPECT_FALSE(isGrbl11OrLater(""));

    EXPECT_EQ(grblWireLine("  G1 X10 (note 3!) F600 ; end?"), "G1X10F600");
    EXPECT_EQ(grblWireLine("$J=G91 X-1 F600"), "$J=G91X-1F600");
    EXPECT_EQ(grblWireLine("$I=my mill \r"), "$I=my mill");
    EXPECT_EQ(grblWireLine("(only a comment)"), "");
    EXPECT_EQ(grblRealTimeMeaning('!'), "a feed hold");
    EXPECT_EQ(grblRealTimeMeaning('G'), "");
}

} // namespace
} // namespace chimex
