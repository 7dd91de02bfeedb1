// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/tspinedit.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(SpinEdit, ValueReadsIntegerTextOrTheMinimum) {
    TSpinEdit spin(nullptr, 700, 0, 0);
    const std::pair<const char*, std::int32_t> cases[] = {
        {"700", 700}, {"$10", 16}, {"  12", 12}, {"12 ", 0}, {"abc", 0}, {"", 0}, {"-5", -5},
    };
    for (const auto& [text, value] : cases) {
        spin.SetText(text);
        EXPECT_EQ(spin.Value(), value) << text;
    }
    TSpinEdit limited(nullptr, 50, 10, 20);
    EXPECT_EQ(limited.Text(), "20");
    limited.SetText("x");
    EXPECT_EQ(limited.Value(), 10);
}

TEST(SpinEdit, StepsWrapAroundThe32BitRange) {
    TSpinEdit spin(nullptr, 0, 0, 0);
    spin.SetText("letters");
    spin.Step(1);
    EXPECT_EQ(spin.Text(), "1");
    spin.SetValue(0);
    spin.Step(-1);
    EXPECT_EQ(spin.Text(), "-1");
    spin.SetValue(2147483647);
    spin.Step(1);
    EXPECT_EQ(spin.Text(), "-2147483648");
    spin.Step(-1);
    EXPECT_EQ(spin.Text(), "2147483647");
    QTest::keyClick(spin.Edit(), Qt::Key_Down);
    EXPECT_EQ(spin.Text(), "2147483646");
    QTest::keyClick(spin.Edit(), Qt::Key_Up);
    EXPECT_EQ(spin.Text(), "2147483647");
}

TEST(SpinEdit, TypingIsFilteredButPasteIsNot) {
    TSpinEdit spin(nullptr, 0, 0, 0);
    int beeps = 0;
    QObject::connect(&spin, &TSpinEdit::Refused, [&] { ++beeps; });
    spin.SetText("");
    QTest::keyClicks(spin.Edit(), "1a 2+-x3");
    QTest::keyClick(spin.Edit(), Qt::Key_Return);
    EXPECT_EQ(spin.Text(), "12+-3");
    EXPECT_EQ(beeps, 4); // a, the space, x and Enter
    QTest::keyClick(spin.Edit(), Qt::Key_Backspace);
    EXPECT_EQ(spin.Text(), "12+-");

    QApplication::clipboard()->setText("letters");
    spin.SetText("");
    QTest::keyClick(spin.Edit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(spin.Text(), "letters");
    EXPECT_EQ(spin.Value(), 0);
}

// Dead keys, compose sequences and input methods such as ibus hand over text as a commit string
// rather than as key presses.
TEST(SpinEdit, TextFromAnInputMethodIsFilteredLikeTypedKeys) {
    TSpinEdit spin(nullptr, 0, 0, 0);
    int beeps = 0;
    QObject::connect(&spin, &TSpinEdit::Refused, [&] { ++beeps; });
    spin.SetText("");
    auto commit = [&](const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(spin.Edit(), &event);
    };
    commit("ab c");
    EXPECT_EQ(spin.Text(), "");
    EXPECT_EQ(beeps, 1);
    commit("1a2");
    EXPECT_EQ(spin.Text(), "12");
    EXPECT_EQ(beeps, 2);
    commit("-3");
    EXPECT_EQ(spin.Text(), "12-3");
    EXPECT_EQ(beeps, 2);
}

TEST(SpinEdit, AButtonStepsOnceAtItsReleaseOverIt) {
    TSpinEdit spin(nullptr, 5, 0, 0);
    spin.resize(65, 22);
    spin.show();
    QTest::mousePress(spin.UpButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 5);
    QTest::mouseRelease(spin.UpButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 6);
    QTest::mouseClick(spin.DownButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 5);
}

TEST(SpinEdit, HoldingAButtonRepeatsItsStep) {
    TSpinEdit spin(nullptr, 0, 0, 0);
    spin.resize(65, 22);
    spin.show();
    EXPECT_EQ(spin.UpButton()->autoRepeatDelay(), 400);
    EXPECT_EQ(spin.UpButton()->autoRepeatInterval(), 100);
    QTest::mousePress(spin.UpButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return spin.Value() >= 3; }, 10000));
    QTest::mouseRelease(spin.UpButton(), Qt::LeftButton);
}

TEST(SpinEdit, LeavingChangesNothing) {
    QWidget window;
    TSpinEdit spin(&window, 0, 0, 0);
    QLineEdit other(&window);
    window.show();
    spin.SetText("  not a number");
    spin.Edit()->setFocus();
    other.setFocus();
    EXPECT_EQ(spin.Text(), "  not a number");
}

} // namespace
