#pragma once
// The preference store and its file "Orizume.prefs" in the user's
// configuration folder. The application object is the store of a running
// program; tests make stores of their own.

#include <QString>
#include <functional>
#include <map>

class PreferenceStore {
public:
    PreferenceStore();
    virtual ~PreferenceStore();
    PreferenceStore(const PreferenceStore&) = delete;
    PreferenceStore& operator=(const PreferenceStore&) = delete;

    // The store in use: the most recently made one that still exists.
    static PreferenceStore* current();

    // How failures of the folder or the file reach the user. The default shows a
    // message box that does not block (and logs the text); tests install their own.
    using Reporter = std::function<void(const QString& text)>;
    static void setReporter(Reporter reporter); // an empty function restores the default
    static void report(const QString& text);

    QString prefFile;                          // path of "Orizume.prefs"; empty when unknown
    std::map<QString, QString> prefDictionary; // the preference store

    // Looks a key up; a missing key reads as the empty text.
    QString pref(const QString& key) const;

    // Sets prefFile; true when the file exists.
    bool getPrefFile();
    // Stores the three defaults, then writes the file; false when the write failed.
    bool createDefaultPrefFile();
    // Reads every line of the file into the store; false (and the user told) when
    // the file cannot be read.
    bool readPrefFile();
    // Rewrites the file from the store; false (and the user told) when it fails.
    bool writePrefFile();

    // The empty store filled from the file, or with the defaults when there is none.
    void loadPreferences();

    // One line of the file split into key and value: the key ends at the first
    // ": ", the value at the second one (or at the end of the line).
    static std::pair<QString, QString> splitLine(const QString& line);

private:
    PreferenceStore* myPrevious = nullptr;
};
