// SPDX-License-Identifier: GPL-3.0-or-later
// The host edit's "host:port" text.
#include "core/exception.h"
#include "udp/hostport.h"
#include "udp/idexceptions.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(HostPort, AHostWithoutAPortIsKeptAsTyped) {
    for (const char* text : {"", "LOCALHOST", "192.168.1.20", " name with spaces "}) {
        const TIdHostPort split = SplitHostPort(text);
        EXPECT_EQ(split.host, text);
        EXPECT_FALSE(split.port.has_value()) << text;
    }
}

TEST(HostPort, ThePortAfterTheLastColonIsTaken) {
    const struct {
        const char* text;
        const char* host;
        int port;
    } cases[] = {
        {"192.168.1.20:502", "192.168.1.20", 502},
        {"LOCALHOST:5000", "LOCALHOST", 5000},
        {":1", "", 1},
        {"a:b:65535", "a:b", 65535},
        {"10.0.0.7:$1F", "10.0.0.7", 31},
        {"h: 7", "h", 7},
    };
    for (const auto& c : cases) {
        const TIdHostPort split = SplitHostPort(c.text);
        EXPECT_EQ(split.host, c.host) << c.text;
        EXPECT_EQ(split.port, c.port) << c.text;
    }
}

TEST(HostPort, APortPartThatIsNotIntegerTextRaisesTheConversionMessageWithThatPart) {
    for (const auto& [text, part] : {std::pair{"host:12a", "12a"}, {"host:", ""}, {"h:5 ", "5 "}}) {
        try {
            SplitHostPort(text);
            ADD_FAILURE() << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + ByteString(part) + "' is not a valid integer value");
        }
    }
}

TEST(HostPort, APortOutsideOneTo65535RaisesInvalidPortNumberWithTheNumber) {
    for (const auto& [text, number] : {std::pair{"host:0", "0"},
                                       {"host:65536", "65536"},
                                       {"host:-1", "-1"},
                                       {"h:$10000", "65536"}}) {
        try {
            SplitHostPort(text);
            ADD_FAILURE() << text;
        } catch (const EIdInvalidPortNumber& e) {
            EXPECT_EQ(e.Message(), "Invalid port number: " + ByteString(number));
        }
    }
}

} // namespace
} // namespace corvane
