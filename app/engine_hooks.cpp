#include "app/engine_hooks.h"

#include "engine/hooks.h"
#include "platform/cooperative_thread.h"

#include <QFileDialog>
#include <QString>
#include <QStringList>

std::optional<std::string> chooseSaveFileWithDialog(const std::string& fileType,
                                                    const std::string& defaultName) {
    QFileDialog dialog(nullptr, QStringLiteral("Save"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!fileType.empty())
        dialog.setNameFilter(QString::fromStdString(fileType));
    dialog.selectFile(QString::fromStdString(defaultName));

    // On a worker this waits for the answer without a nested event loop.
    if (platform::runDialog(dialog) != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.first().toStdString(); // UTF-8, as the engine's paths are
}

void installEngineHooks() {
    engine::Hooks& hooks = engine::hooks();
    hooks.yieldPoint = [] { platform::yieldPoint(); };
    hooks.messageBox = [](const std::string& text) {
        platform::showMessageBox(QString::fromStdString(text));
    };
    hooks.chooseSaveFile = chooseSaveFileWithDialog;
}
