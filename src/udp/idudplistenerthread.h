#pragma once
// The listener of a UDP endpoint: one thread that waits on every binding's socket at once, at most
// ReadyWait milliseconds per pass, takes each datagram into one reused buffer and hands it to the
// endpoint's delivery. Every failure here is dropped: the datagram is lost and the next one comes.

#include "core/stream.h"
#include "udp/idsockethandle.h"
#include "udp/idthread.h"

namespace corvane {

class TIdUDPServer;

class TIdUDPListenerThread : public TIdThread {
public:
    static constexpr int kReadyWait = 1000;

    TIdUDPListenerThread(TIdUDPServer& server, int bufferSize)
        : server_(server), bufferSize_(bufferSize < 0 ? 0 : bufferSize) {}
    // Waits for a started thread to end first, so that no pass outlives the buffer.
    ~TIdUDPListenerThread() override {
        if (!Suspended())
            WaitFor();
    }

    int ReadyWait() const { return kReadyWait; }
    int BufferSize() const { return bufferSize_; }

protected:
    void Run() override;

private:
    // Takes one datagram from s and has it delivered.
    void Receive(winsock::SOCKET s);

    TIdUDPServer& server_;
    const int bufferSize_;
    MemoryStream datagramBuffer_;
    TIdSocketHandle* incomingBinding_ = nullptr;
    // Kept from pass to pass, so that a datagram costs no allocation.
    std::vector<winsock::SOCKET> sockets_;
    ByteString senderIP_;
};

} // namespace corvane
