#include "console/userguide.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

TEST(UserGuide, AnInstalledProgramOpensTheInstalledCopy) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.path() + "/bin";
    const QString installed = InstalledGuidePath(bin);
    EXPECT_EQ(installed, prefix.path() + "/share/doc/corvane/guide.html");
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(installed).path()));
    QFile guide(installed);
    ASSERT_TRUE(guide.open(QIODevice::WriteOnly));
    guide.close();
    EXPECT_EQ(UserGuideAddress(bin), QUrl::fromLocalFile(installed).toEncoded().toStdString());
}

TEST(UserGuide, AProgramRunFromItsBuildFolderOpensTheSourceTreesCopy) {
    QTemporaryDir build;
    ASSERT_TRUE(build.isValid());
    // The source tree is the one this test was built from.
    EXPECT_TRUE(QFileInfo::exists(
        QDir::cleanPath(QFileInfo(SourceGuidePath()).path() + "/../src/main.cpp")));
    EXPECT_EQ(UserGuideAddress(build.path()),
              QUrl::fromLocalFile(SourceGuidePath()).toEncoded().toStdString());
}

TEST(UserGuide, TheAddressIsPlainAsciiWhateverThePath) {
    QTemporaryDir prefix(QDir::tempPath() + "/Тест guide XXXXXX");
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.path() + "/bin";
    const QString installed = InstalledGuidePath(bin);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(installed).path()));
    QFile guide(installed);
    ASSERT_TRUE(guide.open(QIODevice::WriteOnly));
    guide.close();
    const auto address = UserGuideAddress(bin);
    EXPECT_EQ(address.rfind("file:///", 0), 0u) << address;
    for (unsigned char byte : address)
        EXPECT_LT(byte, 0x80) << address;
    EXPECT_EQ(QUrl::fromEncoded(QByteArray::fromStdString(address)).toLocalFile(), installed);
}

} // namespace
