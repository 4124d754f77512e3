#pragma once
// A test fixture with a configuration folder of its own, not made yet (the
// preference store makes it), and the store's reports collected, not shown.

#include "app/preference_store.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace testing_support {

class TemporaryConfig : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        qputenv("XDG_CONFIG_HOME", folder().toUtf8());
        PreferenceStore::setReporter([this](const QString& text) { reports.push_back(text); });
    }
    void TearDown() override { PreferenceStore::setReporter({}); }

    QString folder() const { return root.filePath(QStringLiteral("config")); }
    QString path() const { return folder() + QStringLiteral("/Orizume.prefs"); }
    QByteArray fileBytes() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir root;
    std::vector<QString> reports;
};

} // namespace testing_support
