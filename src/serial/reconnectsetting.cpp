#include "serial/reconnectsetting.h"

#include "core/settings.h"

namespace corvane {

bool ReconnectAfterReplug() {
    // A fresh object: the file as it is now, where the environment says it is now.
    return Settings().Reconnect();
}

} // namespace corvane
