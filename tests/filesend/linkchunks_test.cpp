// SPDX-License-Identifier: GPL-3.0-or-later
// Files sent on the real links: through a pseudo-terminal as the serial port's device, and as
// datagrams over loopback to an endpoint; every byte arrives, in order, whatever the chunks.
#include "filesend/serialchunks.h"
#include "filesend/udpchunks.h"
#include "portfixture.h"
#include "sendfixture.h"
#include "serial/messages.h"
#include "udp/idudpserver.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace corvane::testing {
namespace {

class SerialFileSend : public PortFixture {
protected:
    // Sends bytes through COM7 in chunks of chunkSize and returns what the device read.
    ByteString SendThroughPort(const ByteString& bytes, std::size_t chunkSize) {
        Open(7, 115200);
        const FileToSend file(bytes);
        SerialChunkLink link(panes);
        FileSender sender(panes, link, file.Open(), bytes.size(), "image.bin", {chunkSize, 0});
        bool ended = false;
        sender.SetOnEnded([&] { ended = true; });
        ByteString got;
        std::thread device_reader([&] { got = device.Read(bytes.size()); });
        sender.Start();
        EXPECT_TRUE(ServeUntilEnded(sender, ended));
        device_reader.join();
        return got;
    }
};

TEST_F(SerialFileSend, AllByteValuesArriveInOrderEachChunkLoggedAsASerialSend) {
    const ByteString bytes = AllByteValues();
    EXPECT_EQ(SendThroughPort(bytes, 100), bytes);
    const std::vector<ByteString> log = panes.Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].substr(0, 16), "<-  00 01 02 03 ");
    EXPECT_EQ(log[0].size(), 3 + 3 * 100u);
    EXPECT_EQ(log[2].substr(log[2].size() - 6), " FE FF");
    EXPECT_EQ(log[3], FileSentLine("image.bin", 256));
}

TEST_F(SerialFileSend, TenMegabytesArriveByteExact) {
    const ByteString bytes = RandomBytes(10 << 20);
    EXPECT_TRUE(SendThroughPort(bytes, 4096) == bytes);
    EXPECT_EQ(panes.Log().size(), (10u << 20) / 4096 + 1);
    EXPECT_EQ(panes.Log().back(), FileSentLine("image.bin", 10 << 20));
}

TEST_F(SerialFileSend, AWriteThatFailsEndsTheSendingAfterTheSerialFailureLine) {
    Open(7, 115200);
    const FileToSend file(AllByteValues());
    SerialChunkLink link(panes);
    FileSender sender(panes, link, file.Open(), 256, "image.bin", {64, 0});
    bool ended = false;
    sender.SetOnEnded([&] { ended = true; });
    device.CloseMaster(); // the device hangs up: every write fails
    sender.Start();
    ASSERT_TRUE(ServeUntilEnded(sender, ended));
    const std::vector<ByteString> log = panes.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].substr(0, 3), "<- ");
    EXPECT_EQ(log[1], serial::kSendDataError);
    EXPECT_EQ(log[2], FileSendInterruptedLine("image.bin", 0, 256));
}

// The receiving endpoint keeps what arrives on its listener thread, so nothing waits for the UI.
class UdpFileSend : public ::testing::Test {
protected:
    void SetUp() override {
        receiver.SetThreadedEvent(true);
        receiver.SetBufferSize(65536);
        receiver.SetOnUDPRead([this](TIdUDPServer&, Stream& data, TIdSocketHandle&) {
            ByteString bytes(data.Size(), '\0');
            data.Read(bytes.data(), bytes.size());
            std::lock_guard lock(mutex);
            received += bytes;
            ++datagrams;
        });
        receiver.SetDefaultPort(0);
        receiver.SetActive(true);
        sender.SetDefaultPort(0);
        sender.SetActive(true);
    }

    void Send(const ByteString& bytes, FileSender::Pace pace) {
        const FileToSend file(bytes);
        UdpChunkLink link(panes, sender, "127.0.0.1", receiver.Bindings().Items(0).Port());
        FileSender fileSender(panes, link, file.Open(), bytes.size(), "capture.pcap", pace);
        bool ended = false;
        fileSender.SetOnEnded([&] { ended = true; });
        fileSender.Start();
        ASSERT_TRUE(ServeUntilEnded(fileSender, ended));
        EXPECT_TRUE(link.Failure().empty()) << link.Failure();
        ASSERT_TRUE(ServeUntil([&] {
            std::lock_guard lock(mutex);
            return received.size() >= bytes.size();
        }));
    }

    RecordingPanes panes;
    std::mutex mutex;
    ByteString received;
    int datagrams = 0;
    // Last: the receiver delivers until it is destroyed.
    TIdUDPServer sender;
    TIdUDPServer receiver;
};

TEST_F(UdpFileSend, AllByteValuesArriveAsOneDatagramPerChunkLoggedRaw) {
    const ByteString bytes = AllByteValues();
    Send(bytes, {100, 1});
    EXPECT_EQ(received, bytes);
    EXPECT_EQ(datagrams, 3);
    const std::vector<ByteString> log = panes.Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "<- " + bytes.substr(0, 100));
    EXPECT_EQ(log[2], "<- " + bytes.substr(200));
    EXPECT_EQ(log[3], FileSentLine("capture.pcap", 256));
}

TEST_F(UdpFileSend, TenMegabytesArriveByteExact) {
    const ByteString bytes = RandomBytes(10 << 20);
    Send(bytes, {8192, 1});
    EXPECT_TRUE(received == bytes);
    EXPECT_EQ(datagrams, (10 << 20) / 8192);
}

TEST_F(UdpFileSend, ASendThatFailsEndsTheSendingWithItsMessageKept) {
    const FileToSend file(AllByteValues());
    UdpChunkLink link(panes, sender, "127.0.0.1", 0); // port 0 is no destination
    FileSender fileSender(panes, link, file.Open(), 256, "capture.pcap", {100, 0});
    bool ended = false;
    fileSender.SetOnEnded([&] { ended = true; });
    fileSender.Start();
    ASSERT_TRUE(ServeUntilEnded(fileSender, ended));
    EXPECT_EQ(link.Failure(), "Socket Error # 10049\r\nCannot assign requested address.");
    EXPECT_EQ(panes.Log(),
              std::vector<ByteString>{FileSendInterruptedLine("capture.pcap", 0, 256)});
}

} // namespace
} // namespace corvane::testing
