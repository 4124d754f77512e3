#pragma once
// The name the program shows its user: in window titles, the About window
// and its menu item, and every message box. The application name ("Orizume")
// names the preferences file and goes in the User-Agent, never in a window.

#include <QString>

namespace platform {

inline QString programName() {
    return QStringLiteral("オリズメ");
}

} // namespace platform
