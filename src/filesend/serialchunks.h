// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file's chunks on the serial link. Each one is written by SendData on the UI thread, as the
// operator's sends are, once no other write is pending there, so the chunks go at the pace of the
// port's writes and never cut into a write held back; its "<- " line and the failure line of a
// write that failed are the link's own. The worker waits for each write's end, which the close of
// the port also brings.

#include "filesend/filesender.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace corvane {

class SerialChunkLink : public FileChunkLink {
public:
    explicit SerialChunkLink(LogPanes& panes) : panes_(panes) {}
    bool WriteChunk(const ByteString& chunk) override;
    void Cancel() override;

private:
    // Shared with the end of a write, which may come after the link is gone when the sending was
    // cancelled while the write was held back.
    struct State {
        std::mutex mutex;
        std::condition_variable changed; // a cancel, or the end of a write
        std::optional<bool> sent;        // the last write's end: whether every byte went out
        bool cancelled = false;
    };

    LogPanes& panes_;
    const std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace corvane
