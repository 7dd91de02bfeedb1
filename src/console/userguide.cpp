// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/userguide.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

// The build passes the installed documentation folder relative to the installed executable's
// folder (both from GNUInstallDirs), so that the guide is found wherever the prefix is, and no
// path of the machine that built the program is kept in it.
#ifndef CORVANE_DOCDIR_FROM_BINDIR
#error "CORVANE_DOCDIR_FROM_BINDIR must name the documentation folder from the executable's"
#endif

namespace {

// The carried copy: the guide and its pictures, as resources under this folder.
const QString kCarried = QStringLiteral(":/corvane/guide");

QString GuideFileIn(const QString& folder) {
    return folder + QStringLiteral("/guide.html");
}

corvane::ByteString AddressOf(const QString& path) {
    return QUrl::fromLocalFile(path).toEncoded().toStdString();
}

// Writes data to path unless the file there holds it already; the file is replaced whole, so an
// open browser never reads half of it.
bool WriteUnlessSame(const QString& path, const QByteArray& data) {
    QFile present(path);
    if (present.size() == data.size() && present.open(QIODevice::ReadOnly) &&
        present.readAll() == data)
        return true;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

} // namespace

QString InstalledGuidePath(const QString& executableFolder) {
    return QDir::cleanPath(executableFolder + QStringLiteral("/" CORVANE_DOCDIR_FROM_BINDIR) +
                           QStringLiteral("/guide.html"));
}

QString CarriedGuideFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/corvane");
}

corvane::ByteString UserGuideAddress(const QString& executableFolder) {
    const QString installed = InstalledGuidePath(executableFolder);
    return AddressOf(QFileInfo::exists(installed) ? installed : GuideFileIn(CarriedGuideFolder()));
}

bool WriteCarriedGuideFor(const corvane::ByteString& address) {
    if (address != AddressOf(GuideFileIn(CarriedGuideFolder())))
        return true;
    return WriteCarriedGuide(CarriedGuideFolder());
}

bool WriteCarriedGuide(const QString& folder) {
    if (!QDir().mkpath(folder))
        return false;
    bool written = true;
    for (QDirIterator it(kCarried, QDir::Files); it.hasNext();) {
        QFile carried(it.next());
        written = carried.open(QIODevice::ReadOnly) &&
                  WriteUnlessSame(folder + '/' + it.fileName(), carried.readAll()) && written;
    }
    return written;
}
