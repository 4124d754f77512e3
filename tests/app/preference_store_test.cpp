// The preferences file: defaults on a first run, the reading rules, the exact
// bytes written, and failures that are reported while the program goes on.

#include "app/preference_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <vector>

// Readable failures: QString prints as its text.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using Store = std::map<QString, QString>;

class PreferenceStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        PreferenceStore::setReporter([this](const QString& text) { reports.push_back(text); });
    }
    void TearDown() override { PreferenceStore::setReporter({}); }

    QString path() const { return config.filePath(QStringLiteral("Orizume.prefs")); }
    void writeFile(const QByteArray& bytes) const {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray fileBytes() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir config;
    std::vector<QString> reports;
};

TEST_F(PreferenceStoreTest, FirstRunStoresAndWritesTheDefaults) {
    PreferenceStore store;
    store.loadPreferences();
    EXPECT_EQ(store.prefDictionary,
              (Store{{"needProxy", "0"}, {"proxyAddress", ""}, {"proxyPort", "0"}}));
    EXPECT_EQ(fileBytes(), QByteArray("needProxy: 0\nproxyAddress: \nproxyPort: 0\n"));
    EXPECT_TRUE(reports.empty());

    // Keys of its own stay in the store but not in the next file.
    store.prefDictionary["color"] = "red";
    store.prefDictionary["proxyAddress"] = " spaced ";
    ASSERT_TRUE(store.writePrefFile());
    EXPECT_EQ(fileBytes(), QByteArray("needProxy: 0\nproxyAddress:  spaced \nproxyPort: 0\n"));
}

TEST_F(PreferenceStoreTest, ReadingRules) {
    struct Case {
        const char* name;
        QByteArray bytes;
        Store expected;
    };
    const std::vector<Case> cases = {
        {"empty file", "", {}},
        {"colon without blank: whole line is the key", "needProxy:1\n", {{"needProxy:1", ""}}},
        {"two blanks keep the second", "needProxy:  1\n", {{"needProxy", " 1"}}},
        {"value ends at a second separator", "proxyAddress: a: b\n", {{"proxyAddress", "a"}}},
        {"no trimming", " needProxy : 1 \n", {{" needProxy ", "1 "}}},
        {"extra key kept", "color: red\n", {{"color", "red"}}},
        {"later duplicate wins", "proxyPort: 1\nproxyPort: 2\n", {{"proxyPort", "2"}}},
        {"empty lines under the empty key", "\n\nneedProxy: 1\n", {{"", ""}, {"needProxy", "1"}}},
        {"CR LF, last line unended",
         "needProxy: 1\r\nproxyPort: 80",
         {{"needProxy", "1"}, {"proxyPort", "80"}}},
        {"UTF-8 text", "proxyAddress: プロキシ\n", {{"proxyAddress", "プロキシ"}}},
    };
    for (const Case& c : cases) {
        writeFile(c.bytes);
        PreferenceStore store;
        store.loadPreferences();
        EXPECT_EQ(store.prefDictionary, c.expected) << c.name;
        EXPECT_EQ(fileBytes(), c.bytes) << c.name << ": reading must not rewrite the file";
    }
    EXPECT_TRUE(reports.empty());

    writeFile("needProxy: \xff\n");
    PreferenceStore store;
    store.loadPreferences();
    EXPECT_EQ(store.pref("needProxy"), QString(QChar::ReplacementCharacter));
    EXPECT_EQ(reports.size(), 1u) << "invalid UTF-8 is reported";
}

TEST_F(PreferenceStoreTest, UnusableFolderOrFileIsReportedAndTheStoreKeepsItsValues) {
    // A folder in the file's place can be neither read as text nor replaced.
    ASSERT_TRUE(QDir(config.path()).mkdir(QStringLiteral("Orizume.prefs")));
    PreferenceStore store;
    store.loadPreferences();
    EXPECT_TRUE(store.prefDictionary.empty());
    store.prefDictionary["needProxy"] = "1";
    EXPECT_FALSE(store.writePrefFile());
    EXPECT_EQ(store.pref("needProxy"), "1");
    EXPECT_EQ(reports.size(), 2u) << "one for the read, one for the write";

    // A regular file where the configuration folder should be.
    reports.clear();
    QFile blocker(config.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_CONFIG_HOME", blocker.fileName().toUtf8() + "/sub");
    PreferenceStore orphan;
    orphan.loadPreferences();
    EXPECT_EQ(orphan.prefDictionary,
              (Store{{"needProxy", "0"}, {"proxyAddress", ""}, {"proxyPort", "0"}}));
    EXPECT_FALSE(reports.empty());
}

} // namespace
