// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's modal boxes, behind an interface so that tests can answer them without a screen.

#include "core/bytestring.h"
#include "core/settings.h"

#include <QString>

#include <functional>
#include <optional>

class Dialogs {
public:
    // Opens an address the operator clicked in a box.
    using LinkOpener = std::function<void(const corvane::ByteString& address)>;

    virtual ~Dialogs() = default;
    // The error box: stop icon, OK, caption "Corvane", modal to the application.
    virtual void ShowError(const corvane::ByteString& text) = 0;
    // The information box: no icon, one OK button that is both default and cancel. A line that is
    // a web or file address is a link; a click on it runs openLink with the address, once.
    virtual void ShowInformation(const corvane::ByteString& text, const LinkOpener& openLink) = 0;
    // The confirmation box with "&Yes" (default) and "&No" (cancel); true only for Yes.
    virtual bool Confirm(const corvane::ByteString& text) = 0;

    // The file dialog that asks where to write: caption, the folder it opens in (empty: the home
    // folder), its name filter, whether it offers "Include times" and whether that is ticked when
    // it opens, and whether a file that exists may be added to: then it asks whether to append to
    // it (the default) or replace it, else whether to replace it. Nothing when the operator
    // cancels.
    struct FileQuestion {
        QString caption;
        QString folder;
        QString filter;
        bool offerTimes = false;
        bool includeTimes = false;
        bool offerAppend = false;
    };
    struct FileChoice {
        QString path;
        bool includeTimes = false;
        bool append = true; // to a file that exists, when offered
    };
    virtual std::optional<FileChoice> AskFileToWrite(const FileQuestion& question) = 0;
    // A line of text to type: caption, the words before the edit, the text it starts with.
    // Nothing when the operator cancels.
    virtual std::optional<QString> AskText(const QString& caption, const QString& label,
                                           const QString& initial) = 0;

    // "Join Multicast Group…": a group address (224.0.0.0 to 239.255.255.255) and, optionally, the
    // local address of the interface to join on, both dotted; OK is offered only for such text.
    // Nothing when the operator cancels.
    struct MulticastChoice {
        QString group;
        QString local; // empty: the system's choice
    };
    // Boxes that ask nothing (a benchmark's) answer this one, and the next, as cancelled.
    virtual std::optional<MulticastChoice> AskMulticastGroup() { return std::nullopt; }

    // "Send File…": the file, the bytes per chunk (1 to maxChunkSize) and the milliseconds between
    // chunks, offered with the values last chosen. Nothing when the operator cancels.
    struct FileSendQuestion {
        QString caption;
        QString folder; // empty: the home folder
        int chunkSize = 1;
        int maxChunkSize = 1;
        int delayMs = 0;
    };
    struct FileSendChoice {
        QString path;
        int chunkSize = 1;
        int delayMs = 0;
    };
    virtual std::optional<FileSendChoice> AskFileToSend(const FileSendQuestion&) {
        return std::nullopt;
    }
};

// Asks question in the folder the operator last wrote a file to, and remembers the folder of the
// file chosen.
std::optional<Dialogs::FileChoice>
AskFileInLastFolder(Dialogs& dialogs, corvane::Settings& settings, Dialogs::FileQuestion question);

// The real boxes, on the screen.
class ScreenDialogs : public Dialogs {
public:
    void ShowError(const corvane::ByteString& text) override;
    void ShowInformation(const corvane::ByteString& text, const LinkOpener& openLink) override;
    bool Confirm(const corvane::ByteString& text) override;
    std::optional<FileChoice> AskFileToWrite(const FileQuestion& question) override;
    std::optional<QString> AskText(const QString& caption, const QString& label,
                                   const QString& initial) override;
    // in linkdialogs.cpp
    std::optional<MulticastChoice> AskMulticastGroup() override;
    std::optional<FileSendChoice> AskFileToSend(const FileSendQuestion& question) override;
};

// The box that reports a failure before the main window exists: stop icon, "OK", caption
// "Application Error", modal to the application.
void ShowApplicationErrorBox(const corvane::ByteString& text);
