// SPDX-License-Identifier: GPL-3.0-or-later
#include "filesend/udpchunks.h"

#include "core/exception.h"
#include "core/handover.h"
#include "core/logarrows.h"

namespace corvane {

bool UdpChunkLink::WriteChunk(const ByteString& chunk) {
    try {
        server_.SendDatagram(address_, port_, chunk);
    } catch (const Exception& e) {
        failure_ = e.Message();
        return false;
    }
    const ByteString line = kSentArrow + chunk;
    const std::int64_t time = WallClockNow();
    Synchronize([&] { panes_.AddToLog(line, time); });
    return true;
}

} // namespace corvane
