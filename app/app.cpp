#include "app/app.h"

#include "app/engine_hooks.h"
#include "platform/cooperative_thread.h"
#include "platform/program_name.h"
#include "ui/menu_bar1.h"
#include "ui/pictures.h"
#include "ui/window1.h"
#include "ui/window3.h"
#include "ui/window4.h"

#include <QAction>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <boost/context/fiber.hpp>
#include <exception>

namespace {

std::optional<QString>& shortVersionOverride() {
    static std::optional<QString> theOverride;
    return theOverride;
}

} // namespace

App::App(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Orizume"));
    setApplicationVersion(shortVersion());
}

App::~App() = default;

App* App::instance() {
    return qobject_cast<App*>(QCoreApplication::instance());
}

QString App::shortVersion() {
    if (shortVersionOverride())
        return *shortVersionOverride();
    return QStringLiteral(ORIZUME_SHORT_VERSION);
}

void App::setShortVersionForTesting(std::optional<QString> version) {
    shortVersionOverride() = std::move(version);
}

void App::startUp() {
    MenuBar1::instance();
    installEngineHooks();
    bindMenuItem(QStringLiteral("aboutIem"), &App::_aboutIem_Action);
    bindMenuItem(QStringLiteral("prefItem"), &App::_prefItem_Action);
    MenuBar1::addEnableMenuItemsHandler(this, [this] { Event_EnableMenuItems(); });
    // The store must be filled before the user can press "Parse" or open the
    // dialog, so the Open event runs before the main window appears.
    Event_Open();
    Window1::instance();
}

void App::bindMenuItem(const QString& name, bool (App::*handler)()) {
    MenuBar1::addMenuHandler(this, name, [this, handler] { return (this->*handler)(); });
}

void App::shutDown() {
    // Workers hold widgets through QPointer and may still be suspended: unwind
    // them while the widgets and the application exist.
    platform::shutdownCooperativeThreads();
    releasePictures();
    // Windows nobody owns (the About window, the preferences dialog, result
    // windows) go before the application object does.
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : topLevelWidgets())
        if (!window->parentWidget())
            windows.append(window);
    for (const QPointer<QWidget>& window : windows)
        delete window.data();
    MenuBar1::release();
}

bool App::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const boost::context::detail::forced_unwind&) {
        throw; // a worker's stack being unwound at shutdown: not a failure
    } catch (const std::exception& e) {
        myUnhandledFailure = QString::fromUtf8(e.what());
    } catch (...) {
        myUnhandledFailure = QStringLiteral("unknown exception");
    }
    // Letting an exception cross Qt's event dispatch is undefined; end the loop instead.
    exit(1);
    return false;
}

void App::reportUnhandledException(const QString& what) {
    qCritical().noquote() << "Orizume stopped after an unexpected error:" << what;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMessageBox::critical(nullptr, platform::programName(),
                              QStringLiteral("予期しないエラーで終了します:\n") + what);
}

void App::Event_Open() {
    loadPreferences();
}

void App::Event_EnableMenuItems() {
    for (const QString& name : {QStringLiteral("aboutIem"), QStringLiteral("prefItem")})
        if (QAction* item = MenuBar1::instance()->lookup(name))
            item->setEnabled(true);
}

bool App::_aboutIem_Action() {
    Window3* window = Window3::instance();
    window->show();
    window->raise();
    window->activateWindow();
    return false;
}

bool App::_prefItem_Action() {
    Window4* window = Window4::instance();
    window->show();
    window->raise();
    window->activateWindow();
    return false;
}
