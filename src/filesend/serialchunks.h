// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file's chunks on the serial link: each one written by SendData, in its turn beside the
// operator's sends, so at the pace of the port's writes; its "<- " line, and the failure line of a
// write that failed, handed over once the write is done.

#include "filesend/filesender.h"

namespace corvane {

class SerialChunkLink : public FileChunkLink {
public:
    explicit SerialChunkLink(LogPanes& panes) : panes_(panes) {}
    bool WriteChunk(const ByteString& chunk) override;

private:
    LogPanes& panes_;
};

} // namespace corvane
