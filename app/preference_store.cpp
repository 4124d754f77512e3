#include "app/preference_store.h"

#include "platform/cooperative_thread.h"
#include "platform/preferences_folder.h"
#include "platform/program_name.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const QString fileName = QStringLiteral("Orizume.prefs");
const QString separator = QStringLiteral(": ");

PreferenceStore* currentStore = nullptr;

PreferenceStore::Reporter& reporter() {
    static PreferenceStore::Reporter theReporter;
    return theReporter;
}

void showNonBlocking(const QString& text) {
    qWarning().noquote() << text;
    // Without widgets (a console-only run) the log line is all we can do.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    // Shown without a nested event loop: this may run at start-up, inside a
    // dialog's handler or while a worker waits; none of them must stall here.
    auto* box =
        new QMessageBox(QMessageBox::Warning, platform::programName(), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

QString displayPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

PreferenceStore::PreferenceStore() : myPrevious(currentStore) {
    currentStore = this;
}

PreferenceStore::~PreferenceStore() {
    // Stores are made and destroyed in nested order; anything else only unlinks this one.
    if (currentStore == this)
        currentStore = myPrevious;
}

PreferenceStore* PreferenceStore::current() {
    return currentStore;
}

void PreferenceStore::setReporter(Reporter newReporter) {
    reporter() = std::move(newReporter);
}

void PreferenceStore::report(const QString& text) {
    if (reporter())
        reporter()(text);
    else
        showNonBlocking(text);
}

QString PreferenceStore::pref(const QString& key) const {
    const auto found = prefDictionary.find(key);
    return found == prefDictionary.end() ? QString() : found->second;
}

bool PreferenceStore::getPrefFile() {
    QString failure;
    const QString folder = platform::preferencesFolder(&failure);
    if (folder.isEmpty()) {
        prefFile.clear();
        // The write that follows reports the consequence; say why here.
        report(failure);
        return false;
    }
    prefFile = QDir(folder).filePath(fileName);
    return QFileInfo::exists(prefFile);
}

bool PreferenceStore::createDefaultPrefFile() {
    prefDictionary[QStringLiteral("needProxy")] = QStringLiteral("0");
    prefDictionary[QStringLiteral("proxyAddress")] = QString();
    prefDictionary[QStringLiteral("proxyPort")] = QStringLiteral("0");
    // Without a folder there is nowhere to write; getPrefFile has already
    // said why, and one cause gets one message.
    if (prefFile.isEmpty())
        return false;
    return writePrefFile();
}

std::pair<QString, QString> PreferenceStore::splitLine(const QString& line) {
    const qsizetype first = line.indexOf(separator);
    if (first < 0)
        return {line, QString()};
    const qsizetype valueStart = first + separator.size();
    const qsizetype second = line.indexOf(separator, valueStart);
    const qsizetype valueLength = second < 0 ? -1 : second - valueStart;
    return {line.left(first), line.mid(valueStart, valueLength)};
}

bool PreferenceStore::readPrefFile() {
    QFile file(prefFile);
    const bool read = !prefFile.isEmpty() && file.open(QIODevice::ReadOnly);
    const QByteArray bytes = read ? file.readAll() : QByteArray();
    if (!read || file.error() != QFileDevice::NoError) {
        report(QStringLiteral("環境設定ファイルを読めません: %1 (%2)")
                   .arg(displayPath(prefFile), file.errorString()));
        return false;
    }

    // Stateless: a character cut off at the very end of the file is an error
    // like one cut off before a line end, not bytes held back for more input.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        report(QStringLiteral("環境設定ファイルに読めない文字があります: %1")
                   .arg(displayPath(prefFile)));

    // Lines end with "\n" or "\r\n"; a last line without a line end still counts,
    // while the line end of the last line opens no further empty line.
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        auto [key, value] = splitLine(text.mid(start, end - start));
        // Carriage returns that end a line or a value go: the file is written
        // with "\n" line ends, and a value kept with a trailing return would
        // be written back and lose it on the next read.
        while (key.endsWith(QLatin1Char('\r')))
            key.chop(1);
        while (value.endsWith(QLatin1Char('\r')))
            value.chop(1);
        prefDictionary[key] = value; // a later line with the same key wins
        start = next;
        platform::yieldPoint();
    }
    return true;
}

bool PreferenceStore::writePrefFile() {
    if (prefFile.isEmpty()) {
        report(QStringLiteral("環境設定を保存できません: 設定フォルダがありません"));
        return false;
    }
    const QString text = QStringLiteral("needProxy: ") + pref(QStringLiteral("needProxy")) +
                         QStringLiteral("\nproxyAddress: ") + pref(QStringLiteral("proxyAddress")) +
                         QStringLiteral("\nproxyPort: ") + pref(QStringLiteral("proxyPort")) +
                         QStringLiteral("\n");
    const QByteArray bytes = text.toUtf8();
    // QSaveFile writes a temporary file and renames it over the old one on
    // commit, so a crash leaves either the old file or the new one.
    QSaveFile file(prefFile);
    bool noTemporary = !file.open(QIODevice::WriteOnly);
    if (!noTemporary) {
        if (file.write(bytes) == bytes.size() && file.flush() && file.commit())
            return true;
        // Written, but the temporary file could not be put in the file's place.
        noTemporary = file.error() != QFileDevice::WriteError;
    }
    // No temporary file beside it (a folder that takes no new files, say): a
    // file that may be written is then rewritten whole, in place. A failed
    // write is reported as it is.
    QFile inPlace(prefFile);
    if (noTemporary && inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        inPlace.write(bytes) == bytes.size() && inPlace.flush())
        return true;
    report(
        QStringLiteral("環境設定ファイルを保存できません: %1 (%2)")
            .arg(displayPath(prefFile), noTemporary ? inPlace.errorString() : file.errorString()));
    return false;
}

void PreferenceStore::loadPreferences() {
    prefDictionary.clear();
    if (getPrefFile())
        readPrefFile();
    else
        createDefaultPrefFile();
}
