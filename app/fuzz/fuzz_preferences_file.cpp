// Fuzzes the preferences file through the store's public calls: whatever bytes
// the file holds, the first read must give the store that the file's rules,
// written out again here, give; and what the store then writes must read back
// with the same three values and nothing else.

#include "app/preference_store.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>

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

// The store a file of these bytes gives, by the rules: lines end at LF (the
// last one may lack it; a file's last LF opens no further line); the key is
// the text before the first ": " (the whole line when there is none), the
// value the text between the first and the second one; carriage returns at
// the end of a key or a value are line-end debris; a later key wins.
std::map<QString, QString> expectedStore(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    QStringList lines = text.split(u'\n');
    if (text.isEmpty() || text.endsWith(u'\n'))
        lines.removeLast();
    std::map<QString, QString> store;
    for (const QString& line : lines) {
        const QStringList fields = line.split(QStringLiteral(": "));
        QString key = fields[0];
        QString value = fields.size() > 1 ? fields[1] : QString();
        while (key.endsWith(u'\r'))
            key.chop(1);
        while (value.endsWith(u'\r'))
            value.chop(1);
        store[key] = value;
    }
    return store;
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
    if (read.prefDictionary != expectedStore(QByteArray::fromRawData(
                                   reinterpret_cast<const char*>(data), qsizetype(size))))
        std::abort();
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
