// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/framesplitter.h"

#include <algorithm>
#include <cstring>

namespace corvane {

void FrameSplitter::SetRule(const SplitRule& rule, std::vector<Frame>& out) {
    Flush(out);
    rule_ = rule;
}

void FrameSplitter::Add(std::string_view bytes, std::int64_t time, std::vector<Frame>& out) {
    if (bytes.empty())
        return;
    Tick(time, out);
    Append(bytes, time, out);
    lastByte_ = time;
    if (rule_.end == SplitRule::End::EachRead)
        Flush(out);
}

void FrameSplitter::Append(std::string_view bytes, std::int64_t time, std::vector<Frame>& out) {
    const std::size_t longest = std::max(1u, rule_.n);
    for (std::size_t at = 0; at < bytes.size();) {
        if (!isOpen_) {
            open_.bytes.clear();
            open_.time = time;
            isOpen_ = true;
        }
        std::size_t take = bytes.size() - at;
        bool ends = false;
        if (rule_.end == SplitRule::End::AfterByte) {
            const void* found = std::memchr(bytes.data() + at, rule_.endByte, take);
            if (found) {
                take = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data()) -
                       at + 1;
                ends = true;
            }
        }
        if (rule_.everyN && open_.bytes.size() + take >= longest) {
            take = longest - open_.bytes.size();
            ends = true;
        }
        open_.bytes.append(bytes.substr(at, take));
        at += take;
        if (ends)
            EndLine(out);
    }
}

std::optional<std::int64_t> FrameSplitter::Deadline() const {
    if (!isOpen_)
        return std::nullopt;
    return lastByte_ + (rule_.end == SplitRule::End::IdleGap
                            ? static_cast<std::int64_t>(rule_.gapMs) * 1000
                            : kHoldAfterLastByte);
}

void FrameSplitter::Tick(std::int64_t now, std::vector<Frame>& out) {
    const std::optional<std::int64_t> deadline = Deadline();
    if (deadline && now >= *deadline)
        EndLine(out);
}

void FrameSplitter::Flush(std::vector<Frame>& out) {
    if (isOpen_)
        EndLine(out);
}

void FrameSplitter::EndLine(std::vector<Frame>& out) {
    out.push_back(std::move(open_));
    open_ = {};
    isOpen_ = false;
}

} // namespace corvane
