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
            *failure = QStringLiteral("設定フォルダがわかりません");
        return {};
    }
    // A first run on a fresh account may find no ~/.config yet.
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        if (failure)
            *failure = QStringLiteral("設定フォルダを作れません: %1")
                           .arg(QDir::toNativeSeparators(folder));
        return {};
    }
    return folder;
}

} // namespace platform
