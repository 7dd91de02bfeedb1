#include "console/userguide.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

// The build passes the source folder and the installed documentation folder relative to the
// installed executable's folder (both from GNUInstallDirs), so that the guide is found wherever
// the prefix is.
#ifndef CORVANE_SOURCE_DIR
#error "CORVANE_SOURCE_DIR must name the source tree"
#endif
#ifndef CORVANE_DOCDIR_FROM_BINDIR
#error "CORVANE_DOCDIR_FROM_BINDIR must name the documentation folder from the executable's"
#endif

QString InstalledGuidePath(const QString& executableFolder) {
    return QDir::cleanPath(executableFolder + QStringLiteral("/" CORVANE_DOCDIR_FROM_BINDIR) +
                           QStringLiteral("/guide.html"));
}

QString SourceGuidePath() {
    return QStringLiteral(CORVANE_SOURCE_DIR "/doc/guide.html");
}

corvane::ByteString UserGuideAddress(const QString& executableFolder) {
    const QString installed = InstalledGuidePath(executableFolder);
    const QString path = QFileInfo::exists(installed) ? installed : SourceGuidePath();
    return QUrl::fromLocalFile(path).toEncoded().toStdString();
}
