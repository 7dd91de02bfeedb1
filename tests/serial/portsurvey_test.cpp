// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portsurvey.h"

#include "fakesysfs.h"
#include "ptydevice.h"
#include "recordingpanes.h"

#include <gtest/gtest.h>

#include <optional>

using namespace corvane;
using namespace corvane::testing;

namespace {

class PortSurveyTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Link(7, adapter.SlavePath());
        folder.Link(8, "/dev/nonexistent-corvane-device");
        folder.Link(9, bare.SlavePath());
        tree.AddUsbAdapter(adapter.SlavePath(), "1-2", kFtdi);
    }

    PortsFolder folder;
    FakeSysfs tree;
    PtyDevice adapter;
    PtyDevice bare;
};

TEST_F(PortSurveyTest, NamesWhatIsThereAndWhatTheSystemKnowsOfIt) {
    const auto reports = SurveyPorts(10, DefaultFactSources());
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_TRUE(reports[6].present);
    EXPECT_EQ(reports[6].description, adapter.SlavePath() + " (link " + folder.Path() + "/COM7)");
    EXPECT_EQ(reports[6].facts, "by-id: " + tree.ByIdFolder() + "/" + kFtdi.byId +
                                    "\nUSB VID:PID 0403:6001\nManufacturer: FTDI\n"
                                    "Product: FT232R USB UART\nSerial number: A50285BI\n"
                                    "Driver: ftdi_sio");
    EXPECT_FALSE(reports[7].present);
    EXPECT_EQ(reports[7].facts, "");
    // A device the system knows nothing about is there all the same.
    EXPECT_TRUE(reports[8].present);
    EXPECT_EQ(reports[8].facts, "");
}

TEST_F(PortSurveyTest, ReportsOnTheUiThreadAtTheStartAndWhenAsked) {
    std::vector<std::vector<PortReport>> received;
    std::size_t beforeTheEnd = 0;
    {
        PortSurvey survey(10, [&](const std::vector<PortReport>& reports) {
            EXPECT_TRUE(IsUiThread());
            received.push_back(reports);
        });
        survey.Start();
        ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
        EXPECT_TRUE(received[0][6].present);
        EXPECT_FALSE(received[0][7].present);

        folder.Link(8, bare.SlavePath());
        survey.Request();
        ASSERT_TRUE(ServeUntil([&] { return received.size() == 2; }));
        EXPECT_TRUE(received[1][7].present);
        // Asked again and ended at once: a report on its way is not run, though the end serves
        // hand-overs while it waits for the thread.
        survey.Request();
        beforeTheEnd = received.size();
    }
    EXPECT_EQ(received.size(), beforeTheEnd);
}

} // namespace
