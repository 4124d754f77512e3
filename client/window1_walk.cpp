// The reply walk into a new sequencer, and the rearranged text in a result window.

#include "client/reply_walk.h"
#include "client/sequencer_guard.h"
#include "engine/hooks.h"
#include "engine/sequencer.h"
#include "ui/window1.h"
#include "ui/window2.h"

#include <QPlainTextEdit>
#include <QPointer>

std::shared_ptr<sequencerClass> Window1::parseXML(std::string text,
                                                  const morphemeResource::EscapeRecord& escapes,
                                                  client::ReplyFailure* failure) {
    pugi::xml_document doc; // points into text, which outlives it
    if (!client::loadReply(doc, text, escapes, failure))
        return nullptr;

    // The new sequencer is the walk's alone until the walk has completed;
    // only then does parseNow make it the one "Parse" replays. A reply that
    // stops half-way thus never leaves an empty or half-filled sequencer
    // behind, and no replay can reach one while it is being filled.
    auto sequence = std::make_shared<sequencerClass>();
    sequence->Constructor();
    const pugi::xml_node list = client::findWordList(doc, failure);
    if (!list)
        return nullptr;
    if (!client::walkWordList(list, *sequence, failure))
        return nullptr;
    return sequence;
}

void Window1::shuffleIt(const std::vector<std::int32_t>& list) {
    if (mySequence)
        mySequence->shuffleIt(list);
}

void Window1::ShuffleNow(const std::vector<std::int32_t>& list) {
    rearrange(mySequence, list);
}

void Window1::rearrange(std::shared_ptr<sequencerClass> sequence,
                        const std::vector<std::int32_t>& list) {
    if (!sequence)
        return;
    // The main window may go while the replay yields.
    QPointer<Window1> self(this);
    std::string result;
    {
        client::SequencerGuard guard(sequence);
        if (!guard.held())
            return;
        sequence->shuffleIt(list);
        std::string piece;
        while (sequence->getNextMorpheme(piece)) {
            result += piece;
            engine::yieldPoint();
        }
    }
    if (!self)
        return;
    QPointer<Window2> window = Window2::open();
    if (!window)
        return;
    const QSize size = centralWidget() ? centralWidget()->size() : this->size();
    window->setContentSize(size.width(), size.height());
    window->editField1()->setPlainText(QString::fromUtf8(result));
}
