// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline/commandline.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using corvane::ReadCommandLine;

QStringList Arguments(const std::vector<const char*>& after) {
    QStringList arguments{QStringLiteral("corvane")};
    for (const char* argument : after)
        arguments << QString::fromUtf8(argument);
    return arguments;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string Usage() {
    return "Usage: " + QCoreApplication::arguments().constFirst().toStdString() + " [options]";
}

TEST(CommandLine, NoArgumentsAndQtsOwnOptionsOpenTheWindow) {
    for (const auto& arguments : std::vector<std::vector<const char*>>{
             {},
             {"-platform", "offscreen"},
             {"-style=fusion", "-reverse"},
             {"-qwindowgeometry", "800x600+0+0", "-display", ":0"},
         }) {
        const auto line = ReadCommandLine(Arguments(arguments));
        EXPECT_TRUE(line.run) << line.standardError;
        EXPECT_EQ(line.standardOutput, "");
        EXPECT_EQ(line.standardError, "");
    }
}

TEST(CommandLine, HelpPrintsTheUsageAndTheOptionsAndEndsWell) {
    for (const char* option : {"--help", "-h", "-help"}) {
        SCOPED_TRACE(option);
        const auto line = ReadCommandLine(Arguments({option}));
        EXPECT_FALSE(line.run);
        EXPECT_EQ(line.exitCode, 0);
        EXPECT_EQ(FirstLine(line.standardOutput), Usage());
        EXPECT_NE(line.standardOutput.find("--version"), std::string::npos);
        // Qt's own options are accepted but not offered.
        EXPECT_EQ(line.standardOutput.find("platform"), std::string::npos);
        EXPECT_EQ(line.standardError, "");
    }
}

TEST(CommandLine, VersionNamesTheProgramItsVersionAndItsLicence) {
    for (const char* option : {"--version", "-v"}) {
        SCOPED_TRACE(option);
        const auto line = ReadCommandLine(Arguments({option}));
        EXPECT_FALSE(line.run);
        EXPECT_EQ(line.exitCode, 0);
        EXPECT_EQ(line.standardOutput, corvane::VersionText());
        EXPECT_EQ(line.standardError, "");
    }
    const std::string text = corvane::VersionText();
    EXPECT_EQ(FirstLine(text), std::string("corvane ") + corvane::ProgramVersion());
    EXPECT_NE(text.find("GPL-3.0-or-later"), std::string::npos);
    // A version is numbers and dots, as the package and the software centre read it.
    const std::string version = corvane::ProgramVersion();
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << version;
}

TEST(CommandLine, AWrongCommandLineIsOneErrorLineAndTheUsageOnStandardError) {
    struct Case {
        std::vector<const char*> arguments;
        std::string error;
    };
    for (const Case& c : std::vector<Case>{
             {{"--bogus"}, "corvane: Unknown option 'bogus'."},
             {{"-x"}, "corvane: Unknown option 'x'."},
             {{"--help", "--bogus"}, "corvane: Unknown option 'bogus'."},
             {{"-platform"}, "corvane: Missing value after '-platform'."},
             {{"--version=2"}, "corvane: Unexpected value after '--version'."},
             {{"COM1"}, "corvane: unexpected argument 'COM1'; the program takes none."},
             {{"-platform", "offscreen", "/dev/ttyUSB0"},
              "corvane: unexpected argument '/dev/ttyUSB0'; the program takes none."},
         }) {
        SCOPED_TRACE(c.error);
        const auto line = ReadCommandLine(Arguments(c.arguments));
        EXPECT_FALSE(line.run);
        EXPECT_EQ(line.exitCode, corvane::kExitUsage);
        EXPECT_EQ(line.standardOutput, "");
        const auto secondLine = line.standardError.find('\n') + 1;
        EXPECT_EQ(FirstLine(line.standardError), c.error);
        EXPECT_EQ(FirstLine(line.standardError.substr(secondLine)), Usage());
    }
}

} // namespace
