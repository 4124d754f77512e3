#include "platform/preferences_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

QString preferencesFolder(QString* failure) {
    // GenericConfigLocation honours XDG_CONFIG_HOME, so tests can point it elsewhere.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) {
        if (failure)
            *failure = QStringLiteral("The configuration folder is unknown.");
        return {};
    }
    // A first run on a fresh account may find no ~/.config yet.
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        if (failure)
            *failure = QStringLiteral("The configuration folder %1 cannot be created.")
                           .arg(QDir::toNativeSeparators(folder));
        return {};
    }
    return folder;
}

} // namespace platform
