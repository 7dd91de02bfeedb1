// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plotfeed.h"

#include "core/handover.h"

#include <utility>

namespace corvane {

PlotFeed::PlotFeed(std::function<void(PlotNumbers&)> numbers, std::size_t mostQueued)
    : numbersTaker_(std::move(numbers)), mostQueued_(mostQueued) {
    for (Queue* queue : {&queued_, &reading_}) {
        queue->text.reserve(kReserved);
        queue->lines.reserve(kReserved / 128);
    }
    Start();
}

PlotFeed::~PlotFeed() {
    {
        // Under the lock: the thread sees the request between its test and its wait.
        std::lock_guard lock(mutex_);
        Terminate();
    }
    wake_.notify_one();
    WaitFor();
}

void PlotFeed::Take(PlotLink link, std::string_view sender, std::span<const ByteString> lines,
                    std::span<const std::int64_t> times, std::span<const std::string_view> bytes,
                    TextEncoding encoding) {
    if (follow_ != PlotFollow::Both &&
        (follow_ == PlotFollow::Serial) != (link == PlotLink::Serial))
        return;
    std::unique_lock lock(mutex_);
    if (queued_.text.size() > mostQueued_) {
        lock.unlock();
        ServeHandOversUntil([this] {
            std::lock_guard room(mutex_);
            return queued_.text.size() <= mostQueued_;
        });
        lock.lock();
    }
    ByteString& text = queued_.text;
    const std::size_t prefixAt = text.size();
    if (link == PlotLink::Udp)
        text.append(sender).append(" ");
    const std::size_t prefixLength = text.size() - prefixAt;
    const bool given = !bytes.empty();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = given ? bytes[i] : std::string_view(lines[i]);
        queued_.lines.push_back(
            {text.size(), line.size(), prefixAt, prefixLength, times[i], encoding, given});
        text.append(line);
    }
    lock.unlock();
    taken_ += lines.size();
    wake_.notify_one();
}

void PlotFeed::Settle() {
    ServeHandOversUntil([this] { return Settled(); });
}

void PlotFeed::Execute() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return Terminated() || !queued_.lines.empty(); });
            if (Terminated())
                return;
            std::swap(queued_, reading_);
        }
        WakeUiThread(); // a Take may be waiting for room
        Read();
        const std::size_t read = reading_.lines.size();
        reading_.text.clear();
        reading_.lines.clear();
        if (!numbers_.Empty()) {
            // Dropped once the end was asked for: the taker may be on its way out.
            Synchronize([this] {
                if (!Terminated())
                    numbersTaker_(numbers_);
            });
            numbers_.Clear();
        }
        read_ += read;
        WakeUiThread(); // Settle may be waiting
        // The lines of the pause are read and handed over together, and meanwhile a Take finds
        // no thread to wake: a wake-up costs the UI thread more than the copy of a line.
        if (!SleepUnlessTerminated(kHandOverMs))
            return;
    }
}

void PlotFeed::Read() {
    const std::string_view text = reading_.text;
    for (const Queue::Line& line : reading_.lines) {
        const std::string_view characters = text.substr(line.at, line.length);
        numbers_.Add(line.time, text.substr(line.prefixAt, line.prefixLength),
                     line.bytes ? reader_.ReadBytes(characters, line.encoding)
                                : reader_.Read(characters, line.encoding));
    }
}

} // namespace corvane
