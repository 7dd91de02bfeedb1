// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/userguide.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& data) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

ino_t Inode(const QString& path) {
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// The cache folder of the tests below: a temporary one, so that the user's is left alone.
class UserGuide : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cache.isValid());
        const char* old = std::getenv("XDG_CACHE_HOME");
        if (old)
            saved = old;
        hadCache = old != nullptr;
        setenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()).constData(), 1);
    }
    void TearDown() override {
        if (hadCache)
            setenv("XDG_CACHE_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_CACHE_HOME");
    }
    QString Carried() const { return cache.path() + "/corvane/guide.html"; }

    QTemporaryDir cache;
    std::string saved;
    bool hadCache = false;
};

TEST_F(UserGuide, AnInstalledProgramOpensTheInstalledCopyAndWritesNothing) {
    QTemporaryDir prefix(QDir::tempPath() + "/Тест guide XXXXXX");
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.path() + "/bin";
    const QString installed = InstalledGuidePath(bin);
    EXPECT_EQ(installed, prefix.path() + "/share/doc/corvane/guide.html");
    WriteFile(installed, "<html>");
    const auto address = UserGuideAddress(bin);
    EXPECT_EQ(address, QUrl::fromLocalFile(installed).toEncoded().toStdString());
    // Plain ASCII whatever the path.
    for (unsigned char byte : address)
        EXPECT_LT(byte, 0x80) << address;
    EXPECT_TRUE(WriteCarriedGuideFor(address));
    EXPECT_FALSE(QFileInfo::exists(cache.path() + "/corvane"));
}

TEST_F(UserGuide, WithoutAnInstalledCopyTheCarriedOneIsWrittenWithItsPictures) {
    QTemporaryDir build; // a build folder, or an install whose documentation was left out
    ASSERT_TRUE(build.isValid());
    const auto address = UserGuideAddress(build.path());
    EXPECT_EQ(address, QUrl::fromLocalFile(Carried()).toEncoded().toStdString());
    EXPECT_FALSE(QFileInfo::exists(Carried())) << "written before it was opened";

    ASSERT_TRUE(WriteCarriedGuideFor(address));
    const QByteArray guide = Contents(Carried());
    EXPECT_TRUE(guide.startsWith("<!DOCTYPE html>"));
    EXPECT_TRUE(guide.contains("Quick start"));
    int pictures = 0;
    static const QRegularExpression source(QStringLiteral("src=\"([^\"]+)\""));
    for (auto it = source.globalMatch(QString::fromUtf8(guide)); it.hasNext(); ++pictures) {
        const QString picture = cache.path() + "/corvane/" + it.next().captured(1);
        EXPECT_GT(QFileInfo(picture).size(), 0) << picture.toStdString();
    }
    EXPECT_GT(pictures, 0);
}

TEST_F(UserGuide, ACopyAlreadyInPlaceIsLeftAsItIsAndAStaleOneIsReplaced) {
    const QString folder = cache.path() + "/corvane";
    ASSERT_TRUE(WriteCarriedGuide(folder));
    const QByteArray guide = Contents(folder + "/guide.html");
    const ino_t first = Inode(folder + "/guide.html");
    ASSERT_TRUE(WriteCarriedGuide(folder));
    EXPECT_EQ(Inode(folder + "/guide.html"), first);

    WriteFile(folder + "/guide.html", "an older guide");
    ASSERT_TRUE(WriteCarriedGuide(folder));
    EXPECT_EQ(Contents(folder + "/guide.html"), guide);
}

TEST_F(UserGuide, AFolderThatCannotBeMadeIsReported) {
    WriteFile(cache.path() + "/corvane", "a file where the folder would go");
    EXPECT_FALSE(WriteCarriedGuideFor(UserGuideAddress(cache.path() + "/bin")));
}

} // namespace
