#include "serial/reconnectsetting.h"

#include <QSettings>

namespace corvane {

bool ReconnectAfterReplug() {
    // Organisation and program both "corvane": Qt's native format on Linux is then
    // <config>/corvane/corvane.conf.
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "corvane", "corvane");
    return settings.value("reconnect", true).toBool();
}

} // namespace corvane
