// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/dataview.h"

#include "core/codepage.h"
#include "core/hexformat.h"
#include "core/logarrows.h"
#include "logstore/hexview.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace corvane {

namespace {

// How the Text view writes each byte when it stands alone.
enum ByteClass : unsigned char { kAsIs, kEscaped, kBackslash, kUpperHalf };
constexpr std::array<unsigned char, 256> kClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (int byte = 0; byte < 256; ++byte)
        classes[byte] = byte >= 0x80                    ? kUpperHalf
                        : byte == '\\'                  ? kBackslash
                        : byte == '\t'                  ? kAsIs
                        : (byte < 0x20 || byte == 0x7F) ? kEscaped
                                                        : kAsIs;
    return classes;
}();

constexpr unsigned char kUndefined1251 = 0x98;

// Every byte's escape, copied whole: binary data is mostly escapes.
constexpr std::array<std::array<char, kEscapeSize>, 256> kEscapes = [] {
    std::array<std::array<char, kEscapeSize>, 256> escapes{};
    for (int byte = 0; byte < 256; ++byte)
        escapes[byte] = {'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 15]};
    return escapes;
}();

char* Escape(unsigned char byte, char* to) {
    std::memcpy(to, kEscapes[byte].data(), kEscapeSize);
    return to + kEscapeSize;
}

// How the Text view writes a byte that stands alone: its characters, and how many. None for a
// byte that may lead a UTF-8 sequence, written as the character it starts if it starts one.
// Looked up rather than worked out: binary data mixes the kinds of bytes at random.
struct Writing {
    std::array<char, kEscapeSize> characters{};
    unsigned char length = 0;
};

constexpr std::array<Writing, 256> Writings(TextEncoding encoding) {
    std::array<Writing, 256> writings{};
    for (int byte = 0; byte < 256; ++byte) {
        const Writing self{{static_cast<char>(byte)}, 1};
        const Writing escape{kEscapes[byte], kEscapeSize};
        switch (kClasses[byte]) {
        case kAsIs:
            writings[byte] = self;
            break;
        case kBackslash:
            writings[byte] = {{'\\', '\\'}, 2};
            break;
        case kEscaped:
            writings[byte] = escape;
            break;
        default:
            if (encoding == TextEncoding::Windows1251) {
                // Every byte of the upper half is a character of the code page but 0x98.
                writings[byte] = byte == kUndefined1251 ? escape : self;
            } else if (byte < 0xC2 || byte > 0xF4) {
                writings[byte] = escape; // leads no sequence
            }
        }
    }
    return writings;
}

constexpr std::array<Writing, 256> kUtf8Writings = Writings(TextEncoding::Utf8);
constexpr std::array<Writing, 256> kWindows1251Writings = Writings(TextEncoding::Windows1251);

// The character of a well-formed UTF-8 sequence of two to four bytes at the start of bytes
// (no overlong form, no surrogate, nothing beyond U+10FFFF) and its length; length 0 when the
// bytes do not start one.
struct Decoded {
    char32_t character = 0;
    std::size_t length = 0;
};

Decoded DecodeUtf8(const unsigned char* bytes, std::size_t left) {
    const unsigned char lead = bytes[0];
    std::size_t length = 0;
    char32_t character = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        character = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        character = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        character = lead & 0x07;
        least = 0x10000;
    } else {
        return {};
    }
    if (left < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80)
            return {};
        character = character << 6 | (bytes[i] & 0x3F);
    }
    if (character < least || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return {};
    return {character, length};
}

// The pane's byte for a decoded character of the upper half, or -1: the C1 controls
// (U+0080..U+009F) are escaped like the controls below 0x20.
int ShownByte(char32_t character) {
    return character < 0xA0 ? -1 : CodePageByte(character);
}

std::size_t AppendTextTo(std::string_view bytes, std::size_t stop, TextEncoding encoding,
                         ByteString& out) {
    const std::size_t start = out.size();
    // Room for every byte's escape: a byte's characters are copied as four at once.
    out.resize(start + kEscapeSize * (std::min(stop, bytes.size()) + kEscapeSize));
    char* to = out.data() + start;
    const auto& writings = encoding == TextEncoding::Utf8 ? kUtf8Writings : kWindows1251Writings;
    const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    stop = std::min(stop, size);
    std::size_t at = 0;
    while (at < stop) {
        const Writing& writing = writings[from[at]];
        if (writing.length != 0) {
            std::memcpy(to, writing.characters.data(), kEscapeSize);
            to += writing.length;
            ++at;
            continue;
        }
        // A lead byte followed by no continuation byte starts nothing: the commonest case in
        // binary data, told at once.
        const bool continued = at + 1 < size && (from[at + 1] & 0xC0) == 0x80;
        const Decoded decoded = continued ? DecodeUtf8(from + at, size - at) : Decoded{};
        const int shown = decoded.length ? ShownByte(decoded.character) : -1;
        if (shown >= 0) {
            *to++ = static_cast<char>(shown);
            at += decoded.length;
        } else {
            for (const std::size_t end = at + std::max<std::size_t>(decoded.length, 1); at < end;
                 ++at)
                to = Escape(from[at], to);
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
    return at;
}

void AppendHex(std::string_view bytes, ByteString& out) {
    UnpackHexView(bytes.data(), 0, static_cast<std::int64_t>(kHexGroupSize * bytes.size()), out);
}

void AppendHexAndText(std::string_view bytes, ByteString& out) {
    AppendHex(bytes, out);
    out += "  ";
    AppendAsciiColumn(bytes, out);
}

void AppendUtf8Character(char32_t character, ByteString& out) {
    if (character < 0x80) {
        out.push_back(static_cast<char>(character));
    } else if (character < 0x800) {
        out.push_back(static_cast<char>(0xC0 | character >> 6));
        out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | character >> 12));
        out.push_back(static_cast<char>(0x80 | (character >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    }
}

} // namespace

std::string_view WithoutLineEnd(std::string_view bytes) {
    if (bytes.ends_with("\r\n"))
        return bytes.substr(0, bytes.size() - 2);
    if (bytes.ends_with('\n') || bytes.ends_with('\r'))
        return bytes.substr(0, bytes.size() - 1);
    return bytes;
}

bool IsDataPrefix(std::string_view prefix) {
    // The arrow of a datagram stands alone when one host is listened to; a sent datagram's line
    // ("<-" and the text as typed) is the operator's text, not a view of bytes.
    // Asked of every line read in a view: no string is built.
    return prefix == kReceivedArrow || prefix == kSentArrow || prefix == kDatagramArrow ||
           (prefix.starts_with(kDatagramArrow) &&
            prefix.substr(kDatagramArrow.size()).starts_with(" (") && prefix.ends_with(") :"));
}

void AppendDataView(std::string_view bytes, PaneView view, ByteString& out) {
    switch (view.view) {
    case DataView::Hex:
        AppendHex(bytes, out);
        break;
    case DataView::Text:
        out.push_back(kHexGroupSeparator);
        AppendTextTo(WithoutLineEnd(bytes), bytes.size(), view.encoding, out);
        break;
    case DataView::HexAndText:
        AppendHexAndText(bytes, out);
        break;
    }
}

std::optional<std::size_t> DataLineBytes(std::string_view line, ByteString& bytes) {
    const HexView hex = PackHexViewAtEnd(line, bytes);
    if (hex.groups == 0 || !IsDataPrefix(line.substr(0, hex.prefix)))
        return std::nullopt;
    return hex.prefix;
}

bool AppendLineInView(std::string_view line, PaneView view, ByteString& out) {
    ByteString bytes;
    const std::optional<std::size_t> prefix =
        view.view == DataView::Hex ? std::nullopt : DataLineBytes(line, bytes);
    if (!prefix) {
        out.append(line);
        return false;
    }
    out.append(line.substr(0, *prefix));
    AppendDataView(bytes, view, out);
    return true;
}

bool ShownAsIs(std::string_view bytes, TextEncoding encoding) {
    const auto& writings = encoding == TextEncoding::Utf8 ? kUtf8Writings : kWindows1251Writings;
    return std::all_of(bytes.begin(), bytes.end(), [&](char byte) {
        const Writing& writing = writings[static_cast<unsigned char>(byte)];
        return writing.length == 1 && writing.characters[0] == byte;
    });
}

ByteString TextViewBytes(std::string_view text, TextEncoding encoding) {
    ByteString bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte == '\\' && at + 1 < text.size() && text[at + 1] == '\\') {
            bytes.push_back('\\');
            ++at;
        } else if (byte == '\\' && at + 3 < text.size() && text[at + 1] == 'x' &&
                   HexDigitValue(text[at + 2]) >= 0 && HexDigitValue(text[at + 3]) >= 0) {
            bytes.push_back(
                static_cast<char>(HexDigitValue(text[at + 2]) << 4 | HexDigitValue(text[at + 3])));
            at += 3;
        } else if (byte >= 0x80 && encoding == TextEncoding::Utf8) {
            AppendUtf8Character(CodePageCharacter(byte), bytes);
        } else {
            bytes.push_back(static_cast<char>(byte));
        }
    }
    return bytes;
}

std::size_t LineEndLength(std::string_view bytes) {
    return bytes.size() - WithoutLineEnd(bytes).size();
}

std::size_t AppendTextPiece(std::string_view bytes, std::size_t stop, TextEncoding encoding,
                            ByteString& out) {
    return AppendTextTo(bytes, stop, encoding, out);
}

void AppendAsciiColumn(std::string_view bytes, ByteString& out) {
    const std::size_t start = out.size();
    out.append(bytes);
    for (std::size_t at = start; at < out.size(); ++at) {
        const auto byte = static_cast<unsigned char>(out[at]);
        if (byte < 0x20 || byte > 0x7E)
            out[at] = '.';
    }
}

TextColumns::TextColumns(TextEncoding encoding, std::int64_t shown, std::int64_t byte,
                         std::int64_t column)
    : encoding_(encoding), shown_(shown), byte_(byte), column_(column) {}

void TextColumns::Read(std::string_view bytes, std::int64_t first) {
    bytes_ = bytes;
    first_ = first;
}

std::pair<std::size_t, std::int64_t> TextColumns::Character() const {
    const auto at = static_cast<std::size_t>(byte_ - first_);
    const auto left =
        std::min<std::size_t>(bytes_.size() - at, static_cast<std::size_t>(shown_ - byte_));
    const auto* from = reinterpret_cast<const unsigned char*>(bytes_.data()) + at;
    const unsigned char byte = *from;
    switch (kClasses[byte]) {
    case kAsIs:
        return {1, 1};
    case kBackslash:
        return {1, 2};
    case kEscaped:
        return {1, kEscapeSize};
    default:
        if (encoding_ == TextEncoding::Windows1251)
            return {1, byte == kUndefined1251 ? kEscapeSize : 1};
        const Decoded decoded = DecodeUtf8(from, left);
        if (decoded.length && ShownByte(decoded.character) >= 0)
            return {decoded.length, 1};
        return {1, kEscapeSize};
    }
}

void TextColumns::MoveOn(std::int64_t end, std::int64_t column) {
    end = std::min(end, shown_);
    while (byte_ < end) {
        const auto [length, width] = Character();
        if (column_ + width > column)
            return;
        byte_ += static_cast<std::int64_t>(length);
        column_ += width;
    }
}

std::pair<std::int64_t, std::int64_t> TextColumns::Of(std::int64_t at) {
    if (at >= shown_) {
        MoveOn(shown_, std::numeric_limits<std::int64_t>::max());
        return {column_, column_};
    }
    // Past the characters that end at or before byte at.
    for (;;) {
        const auto [length, width] = Character();
        if (byte_ + static_cast<std::int64_t>(length) > at)
            return {column_, column_ + width};
        byte_ += static_cast<std::int64_t>(length);
        column_ += width;
    }
}

std::vector<std::pair<std::int64_t, std::int64_t>> EscapesIn(std::string_view line) {
    std::vector<std::pair<std::int64_t, std::int64_t>> escapes;
    for (std::size_t at = 0; at + 1 < line.size(); ++at) {
        if (line[at] != '\\')
            continue;
        if (line[at + 1] == 'x' && at + kEscapeSize <= line.size()) {
            const auto from = static_cast<std::int64_t>(at);
            escapes.emplace_back(from, from + static_cast<std::int64_t>(kEscapeSize));
            at += kEscapeSize - 1;
        } else {
            ++at; // "\\": a backslash of the bytes
        }
    }
    return escapes;
}

} // namespace corvane
