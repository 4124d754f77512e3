#include "app/preference_store.h"

#include "platform/cooperative_thread.h"
#include "platform/preferences_folder.h"

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
        new QMessageBox(QMessageBox::Warning, QStringLiteral("オリズメ"), text, QMessageBox::Ok);
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
    if (prefFile.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("The preferences file %1 cannot be read: %2")
                   .arg(displayPath(prefFile), file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        report(QStringLiteral("The preferences file %1 cannot be read: %2")
                   .arg(displayPath(prefFile), file.errorString()));
        return false;
    }

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        report(QStringLiteral("The preferences file %1 is not valid UTF-8; the invalid bytes "
                              "were read as replacement characters.")
                   .arg(displayPath(prefFile)));

    // Lines end with "\n" or "\r\n"; a last line without a line end still counts,
    // while the line end of the last line opens no further empty line.
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        QString line = text.mid(start, end - start);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        auto [key, value] = splitLine(line);
        prefDictionary[key] = value; // a later line with the same key wins
        start = next;
        platform::yieldPoint();
    }
    return true;
}

bool PreferenceStore::writePrefFile() {
    if (prefFile.isEmpty()) {
        report(QStringLiteral("The preferences cannot be saved: there is no configuration "
                              "folder."));
        return false;
    }
    const QString text = QStringLiteral("needProxy: ") + pref(QStringLiteral("needProxy")) +
                         QStringLiteral("\nproxyAddress: ") + pref(QStringLiteral("proxyAddress")) +
                         QStringLiteral("\nproxyPort: ") + pref(QStringLiteral("proxyPort")) +
                         QStringLiteral("\n");
    // QSaveFile writes a temporary file and renames it over the old one on
    // commit, so a crash leaves either the old file or the new one.
    QSaveFile file(prefFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        report(QStringLiteral("The preferences file %1 cannot be written: %2")
                   .arg(displayPath(prefFile), file.errorString()));
        return false;
    }
    return true;
}

void PreferenceStore::loadPreferences() {
    prefDictionary.clear();
    if (getPrefFile())
        readPrefFile();
    else
        createDefaultPrefFile();
}
