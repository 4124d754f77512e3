#pragma once
// Connects the engine's ways out to the GUI: yield points switch workers,
// message boxes and the save-file chooser are real windows.

#include <optional>
#include <string>

// Installs the hooks into engine::hooks(); called once at start-up.
void installEngineHooks();

// The save-file chooser the engine gets: a save dialog that proposes
// `defaultName`; the chosen path as UTF-8, or nullopt when cancelled.
// `fileType` names a filter; empty means any file.
std::optional<std::string> chooseSaveFileWithDialog(const std::string& fileType,
                                                    const std::string& defaultName);
