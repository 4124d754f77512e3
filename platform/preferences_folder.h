#pragma once
// The user's configuration folder, where the preferences file lives.

#include <QString>

namespace platform {

// The user's configuration folder ($XDG_CONFIG_HOME, else ~/.config), created
// when it does not exist yet. Empty when there is none or it cannot be made;
// `failure` (when given) then says why.
QString preferencesFolder(QString* failure = nullptr);

} // namespace platform
