// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#ifndef CORVANE_VERSION
#error "CORVANE_VERSION must be the project's version"
#endif

namespace corvane {

namespace {

// Qt's own options, which QApplication takes from the command line after this one has been read
// (see QGuiApplication and QApplication): accepted here, and left out of --help.
void AddQtOptions(QCommandLineParser& parser) {
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
          "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

const char* ProgramVersion() {
    return CORVANE_VERSION;
}

std::string VersionText() {
    return std::string("corvane ") + ProgramVersion() +
           "\n"
           "Copyright (C) 2026 The Corvane developers\n"
           "License " +
           kLicence +
           ": GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

CommandLine ReadCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // Qt's own options are single-dash words (-platform, -style): so are these, as in every Qt
    // program.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Exchange raw bytes with a serial device and with other hosts over UDP.\n"
                       "Everything is chosen in the window; the program takes no arguments."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and the licence and exit."));
    parser.addOption(help);
    parser.addOption(version);
    AddQtOptions(parser);

    CommandLine result;
    const auto refuse = [&](const QString& error) {
        result.run = false;
        result.exitCode = kExitUsage;
        result.standardError =
            "corvane: " + error.toStdString() + '\n' + parser.helpText().toStdString();
    };
    if (!parser.parse(arguments)) {
        refuse(parser.errorText());
    } else if (parser.isSet(version)) {
        result.run = false;
        result.standardOutput = VersionText();
    } else if (parser.isSet(help)) {
        result.run = false;
        result.standardOutput = parser.helpText().toStdString();
    } else if (!parser.positionalArguments().isEmpty()) {
        refuse(QStringLiteral("unexpected argument '%1'; the program takes none.")
                   .arg(parser.positionalArguments().constFirst()));
    }
    return result;
}

} // namespace corvane
