#include "udp/idudplistenerthread.h"

#include "core/handover.h"
#include "udp/idudpserver.h"

namespace corvane {

void TIdUDPListenerThread::Run() {
    TIdSocketHandles& bindings = server_.Bindings();
    sockets_.clear();
    for (int i = 0; i < bindings.Count(); ++i)
        sockets_.push_back(bindings.Items(i).OsSocket());
    StackInstance()->WaitReadable(sockets_, kReadyWait);
    for (winsock::SOCKET s : sockets_) {
        try {
            // A stop leaves the datagram unread; the socket is being closed.
            if (Stopped())
                continue;
            incomingBinding_ = bindings.BindingByHandle(s);
            Receive(s);
        } catch (...) {
            // Receive errors, oversized datagrams and failing handlers are dropped by design:
            // nobody on this thread could show them.
        }
    }
}

void TIdUDPListenerThread::Receive(winsock::SOCKET s) {
    TIdStack& stack = *StackInstance();
    datagramBuffer_.SetSize(static_cast<std::size_t>(bufferSize_));
    int port = 0;
    const int count =
        stack.ReceiveFrom(s, datagramBuffer_.Memory(), bufferSize_, 0, senderIP_, port);
    stack.CheckSocketResult(count);
    datagramBuffer_.SetSize(static_cast<std::size_t>(count));
    datagramBuffer_.SetPosition(0);
    incomingBinding_->RecordSender(senderIP_, port);
    const auto deliver = [this] { server_.DeliverDatagram(datagramBuffer_, *incomingBinding_); };
    if (server_.ThreadedEvent())
        deliver();
    else
        Synchronize(deliver);
}

} // namespace corvane
