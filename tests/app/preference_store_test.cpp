#include "app/preference_store.h"
#include "tests/support/event_loop.h"
#include "tests/support/temporary_config.h"

#include <QDir>

#include <csignal>
#include <map>
#include <ostream>
#include <sys/resource.h>
#include <tuple>
#include <utility>
#include <vector>

// Readable failures: QString prints as its text.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using Store = std::map<QString, QString>;
const Store defaults = {{"needProxy", "0"}, {"proxyAddress", ""}, {"proxyPort", "0"}};

class PreferenceStoreTest : public testing_support::TemporaryConfig {
protected:
    // A store loaded from a file holding `bytes`.
    Store load(const QByteArray& bytes) {
        QFile file(path());
        EXPECT_TRUE(QDir().mkpath(folder()) && file.open(QIODevice::WriteOnly) &&
                    file.write(bytes) == bytes.size());
        file.close();
        PreferenceStore store;
        store.loadPreferences();
        return store.prefDictionary;
    }
};

TEST_F(PreferenceStoreTest, FirstRunWritesTheDefaultsAndOnlyTheThreeKeys) {
    PreferenceStore store;
    store.loadPreferences(); // the configuration folder does not exist yet
    EXPECT_EQ(store.prefDictionary, defaults);
    EXPECT_EQ(fileBytes(), "needProxy: 0\nproxyAddress: \nproxyPort: 0\n");
    store.prefDictionary["color"] = "red"; // kept in the store, not in the file
    store.prefDictionary["proxyAddress"] = " spaced ";
    ASSERT_TRUE(store.writePrefFile());
    const QByteArray written = "needProxy: 0\nproxyAddress:  spaced \nproxyPort: 0\n";
    EXPECT_EQ(fileBytes(), written);

    // A full disk: the new text cannot be written anywhere, and the old file stays whole.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit unlimited = limit;
    limit.rlim_cur = 8;
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    store.prefDictionary["needProxy"] = "1";
    EXPECT_FALSE(store.writePrefFile());
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(fileBytes(), written);
    EXPECT_EQ(reports.size(), 1u);

    // A name with no room for a temporary file's longer one beside it: the
    // file is rewritten whole, in place.
    store.prefFile = root.filePath(QString(250, u'p'));
    QFile old(store.prefFile);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(QByteArray(200, 'x')) == 200);
    old.close();
    ASSERT_TRUE(store.writePrefFile());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "needProxy: 1\nproxyAddress:  spaced \nproxyPort: 0\n");
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(PreferenceStoreTest, ReadingRules) {
    const std::vector<std::tuple<const char*, QByteArray, Store>> cases = {
        {"empty file", "", {}},
        {"colon without blank: whole line is the key", "needProxy:1\n", {{"needProxy:1", ""}}},
        {"two blanks keep the second", "needProxy:  1\n", {{"needProxy", " 1"}}},
        {"value ends at a second separator", "proxyAddress: a: b\n", {{"proxyAddress", "a"}}},
        {"no trimming", " needProxy : 1 \n", {{" needProxy ", "1 "}}},
        {"later duplicate wins", "proxyPort: 1\nproxyPort: 2\n", {{"proxyPort", "2"}}},
        {"empty lines under the empty key", "\n\nneedProxy: 1\n", {{"", ""}, {"needProxy", "1"}}},
        {"CR LF, stray CRs, last line unended",
         "needProxy: 1\r\nproxyPort: 8\r: x\r\ncolor: \r\r\nkey\r\r",
         {{"needProxy", "1"}, {"proxyPort", "8"}, {"color", ""}, {"key", ""}}},
        {"UTF-8 text", "proxyAddress: プロキシ\n", {{"proxyAddress", "プロキシ"}}},
    };
    for (const auto& [name, bytes, expected] : cases) {
        EXPECT_EQ(load(bytes), expected) << name;
        EXPECT_EQ(fileBytes(), bytes) << name << ": reading must not rewrite the file";
    }
    EXPECT_TRUE(reports.empty());
    // A character cut off at the end of the file is one cut off before a line end.
    for (const QByteArray bad : {"\xff", "\xe3\x81"}) {
        const Store beforeLineEnd = load("needProxy: " + bad + "\n");
        EXPECT_TRUE(beforeLineEnd.at("needProxy").contains(QChar::ReplacementCharacter));
        EXPECT_EQ(load("needProxy: " + bad), beforeLineEnd) << bad.toHex().data();
        EXPECT_EQ(std::exchange(reports, {}).size(), 2u) << bad.toHex().data() << " is reported";
    }
}

TEST_F(PreferenceStoreTest, UnusableFolderOrFileIsReportedAndTheStoreKeepsItsValues) {
    // A folder in the file's place can be neither read as text nor replaced.
    ASSERT_TRUE(QDir().mkpath(path()));
    PreferenceStore store;
    store.loadPreferences();
    EXPECT_TRUE(store.prefDictionary.empty());
    store.prefDictionary["needProxy"] = "1";
    EXPECT_FALSE(store.writePrefFile());
    EXPECT_EQ(store.pref("needProxy"), "1");
    EXPECT_EQ(reports.size(), 2u) << "one for the read, one for the write";

    // A regular file where the configuration folder should be.
    QFile blocker(root.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_CONFIG_HOME", blocker.fileName().toUtf8() + "/sub");
    PreferenceStore orphan;
    orphan.loadPreferences();
    EXPECT_EQ(orphan.prefDictionary, defaults);
    EXPECT_EQ(reports.size(), 3u) << "one message for the missing folder";

    // Without a reporter of its own the user gets a box, titled like every other one.
    PreferenceStore::setReporter({});
    EXPECT_FALSE(orphan.writePrefFile());
    QMessageBox* box = testing_support::shownMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("環境設定を保存できません: 設定フォルダがありません"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("オリズメ"));
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
