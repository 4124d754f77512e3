#include "client/parse_thread.h"

#include "ui/window1.h"

#include <QLabel>

parseThread::parseThread(const QByteArray& content, const QString& sentText)
    : mySentText(sentText) {
    if (Window1* w = Window1::openInstance()) {
        w->progressWheel1()->setVisible(true);
        w->staticText1()->setText(QStringLiteral("受け取ったデータを解析しています..."));
    }
    myContent = content;
}

parseThread::~parseThread() {
    Window1* w = Window1::openInstance();
    if (!w)
        return;
    w->progressWheel1()->setVisible(false);
    w->showTextLength();
    // A reply that could not be walked is reported here, after the count, so
    // the count does not wipe the message out.
    if (!myFailure.isEmpty()) {
        QPalette palette = w->staticText1()->palette();
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
        w->staticText1()->setPalette(palette);
        w->staticText1()->setText(myFailure);
    }
}

void parseThread::Event_Run() {
    if (Window1* w = Window1::openInstance())
        myFailure = w->parseNow(myContent, mySentText);
}
