// Fuzzes the preferences file through the store's public calls: any bytes in
// the file are read without a crash, and what the store then writes reads back
// with the same three values, in a file that is valid UTF-8.

#include "app/preference_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

int reports = 0;

// One file, rewritten for every input, in a folder removed at exit. The store
// writes through QSaveFile, which syncs to disk: on a memory file system that
// costs nothing, elsewhere it limits the fuzzer to a few hundred runs a second.
const QString& scratchFile() {
    static const QString parent =
        QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static const QTemporaryDir folder(parent + QStringLiteral("/orizume-fuzz-XXXXXX"));
    static const QString path = folder.filePath(QStringLiteral("Orizume.prefs"));
    if (!folder.isValid())
        std::abort();
    return path;
}

void writeBytes(const QString& path, const std::uint8_t* data, std::size_t size) {
    QFile file(path);
    const auto length = static_cast<qint64>(size);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), length) != length)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        PreferenceStore::setReporter([](const QString&) { ++reports; });
        return true;
    }();
    (void)quiet;

    const QString& path = scratchFile();
    writeBytes(path, data, size);

    PreferenceStore read;
    read.prefFile = path;
    if (!read.readPrefFile())
        std::abort(); // the file is there and readable, whatever it holds
    if (!read.writePrefFile())
        std::abort();

    PreferenceStore back;
    back.prefFile = path;
    reports = 0;
    if (!back.readPrefFile() || reports != 0)
        std::abort(); // what the store writes reads back without a complaint
    for (const char* key : {"needProxy", "proxyAddress", "proxyPort"}) {
        const QString name = QString::fromLatin1(key);
        const QString value = read.pref(name);
        if (back.pref(name) != value)
            std::abort();
    }
    if (back.prefDictionary.size() != 3)
        std::abort(); // the file holds the three keys and nothing else
    return 0;
}
