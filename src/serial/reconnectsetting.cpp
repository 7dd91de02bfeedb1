#include "serial/reconnectsetting.h"

#include <QSettings>
#include <QStandardPaths>

namespace corvane {

bool ReconnectAfterReplug() {
    // The file named in full: QSettings settles its own folders once per process, while the
    // config folder's variable is read here at every call. Qt's native format on Linux is this
    // INI format, in <config>/<organisation>/<program>.conf.
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         "/corvane/corvane.conf";
    const QSettings settings(file, QSettings::IniFormat);
    return settings.value("reconnect", true).toBool();
}

} // namespace corvane
