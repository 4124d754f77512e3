// Start-up: the application object, then everything it brings up, then the
// event loop; the workers and the windows are taken down before it goes.

#include "app/app.h"

#include <exception>

int main(int argc, char** argv) {
    int status = 0;
    {
        App app(argc, argv);
        try {
            app.startUp();
            status = App::exec();
            if (!app.unhandledFailure().isEmpty())
                App::reportUnhandledException(app.unhandledFailure());
        } catch (const std::exception& e) {
            App::reportUnhandledException(QString::fromUtf8(e.what()));
            status = 1;
        } catch (...) {
            App::reportUnhandledException(QStringLiteral("unknown exception"));
            status = 1;
        }
        app.shutDown();
    }
    return status;
}
