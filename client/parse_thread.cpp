#include "client/parse_thread.h"

#include "platform/freed_memory.h"
#include "ui/window1.h"

#include <QLabel>
#include <utility>

parseThread::parseThread(const QByteArray& content, const QString& sentText)
    : mySentText(sentText) {
    if (Window1* w = Window1::openInstance()) {
        w->progressWheel1()->setVisible(true);
        w->staticText1()->setText(QStringLiteral("受け取ったデータを解析しています..."));
    }
    myContent = content;
}

parseThread::~parseThread() {
    platform::releaseFreedMemoryLater();
    Window1* w = Window1::openInstance();
    if (!w)
        return;
    w->progressWheel1()->setVisible(false);
    w->showTextLength();
    // A reply that could not be walked is reported here, after the count, so
    // the count does not wipe the message out.
    // The status line is narrow: the short report goes there, the parser's
    // detail into its tooltip.
    if (!myFailure.text.isEmpty()) {
        w->setStatusColor(QColor(255, 0, 0));
        w->staticText1()->setText(myFailure.text);
        w->staticText1()->setToolTip(myFailure.detail);
    }
}

void parseThread::Event_Run() {
    if (Window1* w = Window1::openInstance())
        w->parseNow(std::move(myContent), mySentText, &myFailure);
}
