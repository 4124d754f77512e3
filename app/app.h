#pragma once
// The application object: owns the preference store and the preferences file.

#include <QApplication>
#include <QString>
#include <map>

class App : public QApplication {
    Q_OBJECT
public:
    App(int& argc, char** argv);

    // The registered application object (nullptr before one exists).
    static App* instance();
    // The application's short version, fixed at build time.
    static QString shortVersion();

    QString prefFile;                          // path of "Orizume.prefs"
    std::map<QString, QString> prefDictionary; // the preference store

    // Looks a key up; a missing key reads as the empty text.
    QString pref(const QString& key) const;

    void Event_Open();
    void Event_EnableMenuItems();
    bool _aboutIem_Action();
    bool _prefItem_Action();

    bool getPrefFile();
    bool createDefaultPrefFile();
    bool readPrefFile();
    // Rewrites the file from the store; false (and the user told) when it fails.
    bool writePrefFile();
};
