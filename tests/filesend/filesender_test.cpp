// SPDX-License-Identifier: GPL-3.0-or-later
// Sending a file through a link that records what it is given: chunks, pauses, the end lines,
// cancelling and failing writes, and what is left behind.
#include "core/handover.h"
#include "sendfixture.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace corvane::testing {
namespace {

// Records each chunk and logs it as "<- " and its size; refuses the chunk numbered failAt.
class RecordingLink : public FileChunkLink {
public:
    explicit RecordingLink(RecordingPanes& panes) : panes_(panes) {}

    bool WriteChunk(const ByteString& chunk) override {
        EXPECT_FALSE(IsUiThread());
        if (static_cast<int>(chunks.size()) == failAt) {
            Synchronize([&] { panes_.AddToLog("failed"); });
            return false;
        }
        chunks.push_back(chunk);
        Synchronize([&] { panes_.AddToLog("<- " + std::to_string(chunk.size())); });
        std::lock_guard lock(mutex_);
        ++written_;
        return true;
    }

    // Serves hand-overs until count chunks have been written.
    bool ServeUntilWritten(int count) {
        return ServeUntil([&] {
            std::lock_guard lock(mutex_);
            return written_ >= count;
        });
    }

    std::vector<ByteString> chunks;
    int failAt = -1;

private:
    RecordingPanes& panes_;
    std::mutex mutex_;
    int written_ = 0;
};

class SendingAFile : public ::testing::Test {
protected:
    // A sender of file's bytes at pace, its end noted.
    std::unique_ptr<FileSender> Sender(const FileToSend& file, std::uint64_t size,
                                       FileSender::Pace pace) {
        auto sender = std::make_unique<FileSender>(panes, link, file.Open(), size, "fw.bin", pace);
        sender->SetOnEnded([this] {
            EXPECT_TRUE(IsUiThread());
            ended = true;
        });
        return sender;
    }

    RecordingPanes panes;
    RecordingLink link{panes};
    bool ended = false;
};

TEST_F(SendingAFile, TheBytesGoInChunksOfTheChosenSizeAndOneLineSaysItWasSent) {
    const ByteString bytes = AllByteValues();
    const FileToSend file(bytes);
    for (const std::size_t chunkSize : {std::size_t{256}, std::size_t{7}, std::size_t{1000}}) {
        link.chunks.clear();
        panes.Clear();
        ended = false;
        auto sender = Sender(file, bytes.size(), {chunkSize, 0});
        sender->Start();
        ASSERT_TRUE(ServeUntilEnded(*sender, ended));
        ByteString joined;
        for (std::size_t i = 0; i < link.chunks.size(); ++i) {
            const bool last = i + 1 == link.chunks.size();
            EXPECT_EQ(link.chunks[i].size(), last ? 256 - chunkSize * i : chunkSize) << i;
            joined += link.chunks[i];
        }
        EXPECT_EQ(joined, bytes);
        EXPECT_EQ(link.chunks.size(), (256 + chunkSize - 1) / chunkSize);
        EXPECT_EQ(sender->Sent(), 256u);
        const std::vector<ByteString> log = panes.Log();
        ASSERT_EQ(log.size(), link.chunks.size() + 1);
        // "Файл отправлен: fw.bin, 256 байт"
        EXPECT_EQ(log.back(), "\xD4\xE0\xE9\xEB \xEE\xF2\xEF\xF0\xE0\xE2\xEB\xE5\xED: fw.bin, 256 "
                              "\xE1\xE0\xE9\xF2");
    }
}

TEST_F(SendingAFile, AnEmptyFileIsSentAtOnce) {
    const FileToSend file("");
    auto sender = Sender(file, 0, {256, 0});
    sender->Start();
    ASSERT_TRUE(ServeUntilEnded(*sender, ended));
    EXPECT_TRUE(link.chunks.empty());
    EXPECT_EQ(panes.Log(), std::vector<ByteString>{FileSentLine("fw.bin", 0)});
}

TEST_F(SendingAFile, CancelEndsThePauseAtOnceAndTheLineGivesTheTrueCountWithNothingLeftBehind) {
    const FileToSend file(AllByteValues());
    const int descriptors = OpenDescriptors();
    const int threads = Threads();
    {
        // A pause far longer than any wait here: only the cancel can end it.
        auto sender = Sender(file, 256, {100, 600'000});
        sender->Start();
        ASSERT_TRUE(link.ServeUntilWritten(1));
        sender->Cancel();
        ASSERT_TRUE(ServeUntilEnded(*sender, ended));
        EXPECT_EQ(sender->Sent(), 100u);
    }
    EXPECT_EQ(link.chunks.size(), 1u);
    // "Отправка файла прервана: fw.bin, 100 из 256 байт"
    EXPECT_EQ(panes.Log().back(), "\xCE\xF2\xEF\xF0\xE0\xE2\xEA\xE0 \xF4\xE0\xE9\xEB\xE0 "
                                  "\xEF\xF0\xE5\xF0\xE2\xE0\xED\xE0: fw.bin, 100 \xE8\xE7 256 "
                                  "\xE1\xE0\xE9\xF2");
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(Threads(), threads);
}

TEST_F(SendingAFile, AFailedWriteEndsTheSendingAfterTheLinksOwnLine) {
    const FileToSend file(AllByteValues());
    link.failAt = 2;
    auto sender = Sender(file, 256, {50, 0});
    sender->Start();
    ASSERT_TRUE(ServeUntilEnded(*sender, ended));
    EXPECT_EQ(panes.Log(), (std::vector<ByteString>{"<- 50", "<- 50", "failed",
                                                    FileSendInterruptedLine("fw.bin", 100, 256)}));
}

TEST_F(SendingAFile, AFileThatShrankEndsShortWithWhatWasThere) {
    const FileToSend file(AllByteValues());
    auto sender = Sender(file, 1000, {128, 0}); // the size taken before it shrank
    sender->Start();
    ASSERT_TRUE(ServeUntilEnded(*sender, ended));
    EXPECT_EQ(panes.Log().back(), FileSendInterruptedLine("fw.bin", 256, 1000));
}

TEST_F(SendingAFile, DestroyingTheSenderMidwayCancelsAndWaitsForIt) {
    const FileToSend file(AllByteValues());
    const int descriptors = OpenDescriptors();
    const int threads = Threads();
    {
        auto sender = Sender(file, 256, {1, 600'000});
        sender->Start();
        ASSERT_TRUE(link.ServeUntilWritten(1));
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(panes.Log().back(), FileSendInterruptedLine("fw.bin", 1, 256));
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(Threads(), threads);
}

} // namespace
} // namespace corvane::testing
