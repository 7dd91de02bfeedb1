// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Dialogs for tests: records every box instead of showing it, answers the confirmation with a
// scripted answer, every file dialog with fileAnswer, and the link dialogs with theirs. onError,
// when set, runs once, inside the next error box, as the event loop would while a real box is open.

#include "console/dialogs.h"

#include <functional>
#include <utility>
#include <vector>

class RecordingDialogs : public Dialogs {
public:
    std::vector<corvane::ByteString> errors;
    std::vector<corvane::ByteString> informations;
    LinkOpener informationLinks; // what the last information box's links would open
    std::vector<corvane::ByteString> confirmations;
    bool answer = false;
    std::function<void()> onError;
    std::vector<FileQuestion> fileQuestions;
    std::optional<FileChoice> fileAnswer; // what every file dialog answers
    std::vector<QString> textQuestions;   // the labels of the text questions
    std::optional<QString> textAnswer;    // what every text question answers
    int multicastQuestions = 0;
    std::optional<MulticastChoice> multicastAnswer;
    std::vector<FileSendQuestion> fileSendQuestions;
    std::optional<FileSendChoice> fileSendAnswer;

    void ShowError(const corvane::ByteString& text) override {
        errors.push_back(text);
        if (auto hook = std::exchange(onError, nullptr))
            hook();
    }
    void ShowInformation(const corvane::ByteString& text, const LinkOpener& openLink) override {
        informations.push_back(text);
        informationLinks = openLink;
    }
    bool Confirm(const corvane::ByteString& text) override {
        confirmations.push_back(text);
        return answer;
    }
    std::optional<FileChoice> AskFileToWrite(const FileQuestion& question) override {
        fileQuestions.push_back(question);
        return fileAnswer;
    }
    std::optional<QString> AskText(const QString&, const QString& label, const QString&) override {
        textQuestions.push_back(label);
        return textAnswer;
    }
    std::optional<MulticastChoice> AskMulticastGroup() override {
        ++multicastQuestions;
        return multicastAnswer;
    }
    std::optional<FileSendChoice> AskFileToSend(const FileSendQuestion& question) override {
        fileSendQuestions.push_back(question);
        return fileSendAnswer;
    }
};
