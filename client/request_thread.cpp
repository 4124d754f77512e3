#include "client/request_thread.h"

#include "ui/window1.h"

#include <QLabel>

requestThread::requestThread() {
    if (Window1* w = Window1::openInstance()) {
        w->progressWheel1()->setVisible(true);
        w->staticText1()->setText(QStringLiteral("リクエストを送信しています..."));
    }
}

requestThread::~requestThread() {
    if (Window1* w = Window1::openInstance())
        w->progressWheel1()->setVisible(false);
}

void requestThread::Event_Run() {
    if (Window1* w = Window1::openInstance())
        w->processNow();
}
