// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a pane's text back against the bytes that were sent: how many of them it shows, in
// order and unchanged, and where it first differs. The text is what the operator would copy out
// of the pane, so the figures count what is seen, not what was handed to the pane.

#include <cstddef>
#include <string>
#include <string_view>

struct Readback {
    std::size_t bytes = 0; // leading bytes of the sent data shown exactly
    std::size_t lines = 0; // lines read before the end or the first fault
    std::string fault;     // empty when the whole text was read and matched
};

// Corvane's lower pane: one line per read, "-> " and then " XX" per byte (upper-case hex), lines
// ending in a line feed.
Readback ReadBackCorvanePane(std::string_view text, std::string_view sent);

// The same pane in the Text view (UTF-8): per line "-> ", the view's space, then the bytes as
// text with the escapes of the view; the line end the view leaves out is taken from what was sent.
Readback ReadBackCorvaneTextPane(std::string_view text, std::string_view sent);

// cutecom's output with "Hex output" on: per line the decimal offset of its first byte in eight
// digits, a space, up to 16 bytes as lower-case hex pairs separated by spaces (three of them
// after the eighth), a tab, and the bytes as characters.
Readback ReadBackCutecomHex(std::string_view text, std::string_view sent);
