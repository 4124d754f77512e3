#pragma once
// The application object: the program's QApplication and its preference store.

#include "app/preference_store.h"

#include <QApplication>
#include <QString>
#include <map>
#include <optional>

class App : public QApplication, public PreferenceStore {
    Q_OBJECT
public:
    App(int& argc, char** argv);
    ~App() override;

    // The registered application object (nullptr before one exists, or when the
    // QApplication in force is not an App).
    static App* instance();
    // The application's short version, fixed at build time.
    static QString shortVersion();
    // Replaces the short version (tests); an empty optional restores the built one.
    static void setShortVersionForTesting(std::optional<QString> version);

    // Everything between creating the object and running the event loop: the
    // menu bar, the engine's hooks, the About and Preferences bindings, the Open
    // event and the main window.
    void startUp();
    // What goes before the object at exit: workers, cached pictures, windows.
    void shutDown();

    // Event delivery that turns an exception escaping a handler into a report
    // and the end of the event loop (exit status 1).
    bool notify(QObject* receiver, QEvent* event) override;
    // The text of an exception that ended the event loop; empty when none did.
    QString unhandledFailure() const { return myUnhandledFailure; }
    // Logs the failure and, when widgets can be shown, says it in a message box.
    static void reportUnhandledException(const QString& what);

    void Event_Open();
    void Event_EnableMenuItems();
    bool _aboutIem_Action();
    bool _prefItem_Action();

private:
    void bindMenuItem(const QString& name, bool (App::*handler)());

    QString myUnhandledFailure;
};
