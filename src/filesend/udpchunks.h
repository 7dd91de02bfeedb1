// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file's chunks on the UDP link: each one a datagram to the destination chosen when the sending
// began, logged as a raw send ("<- " and its bytes). A send that fails is not logged: the UDP link
// shows its failure in the error box, with the message kept here.

#include "filesend/filesender.h"
#include "udp/idudpserver.h"

namespace corvane {

class UdpChunkLink : public FileChunkLink {
public:
    // address: dotted. The endpoint must stay active while the sending lasts.
    UdpChunkLink(LogPanes& panes, TIdUDPServer& server, ByteString address, int port)
        : panes_(panes), server_(server), address_(std::move(address)), port_(port) {}
    bool WriteChunk(const ByteString& chunk) override;

    // The message of the send that failed; empty when none did. Read once the sending has ended.
    const ByteString& Failure() const { return failure_; }

private:
    LogPanes& panes_;
    TIdUDPServer& server_;
    const ByteString address_;
    const int port_;
    ByteString failure_;
};

} // namespace corvane
