// The reply walk into a new sequencer, and the rearranged text in a result window.

#include "client/reply_walk.h"
#include "client/sequencer_guard.h"
#include "engine/hooks.h"
#include "engine/line_end.h"
#include "engine/morpheme_resource.h"
#include "engine/sequencer.h"
#include "ui/window1.h"
#include "ui/window2.h"

#include <QPlainTextEdit>
#include <QPointer>

std::shared_ptr<sequencerClass> Window1::parseXML(const std::string& text, QString* failure) {
    pugi::xml_document doc;
    if (!client::loadReply(doc, text, failure))
        return nullptr; // a text that fails to load leaves mySequence as it was

    auto sequence = std::make_shared<sequencerClass>();
    sequence->Constructor();
    mySequence = sequence;
    // Hold the new sequencer through the walk: a replay of unchanged input
    // started meanwhile waits instead of reading a half-filled sequencer. The
    // walk fills only the sequencer it created, even if a second reply
    // replaces mySequence while this one yields.
    client::SequencerGuard guard(sequence);

    const pugi::xml_node list = client::findWordList(doc, failure);
    if (!list)
        return nullptr;
    const int n = client::elementChildCount(list);
    int i = 0;
    for (pugi::xml_node word = client::elementChild(list, 0); word && i < n; ++i) {
        const pugi::xml_node surfaceNode = client::elementChild(word, 0).first_child();
        if (surfaceNode) {
            const pugi::xml_node posNode = client::lastElementChild(word).first_child();
            std::string pos = posNode.value();
            std::string surface = surfaceNode.value();
            if (pos == "特殊")
                surface = client::mapSpecialSurface(surface);
            sequence->appendSequence(pos, surface);
        } else {
            // A word with an empty surface element stands for a line end.
            sequence->appendSequence("特殊", std::string(engine::kLineEnd));
        }
        engine::yieldPoint();
        do
            word = word.next_sibling();
        while (word && word.type() != pugi::node_element);
    }
    return sequence;
}

void Window1::shuffleIt(const std::vector<std::int32_t>& list) {
    if (mySequence)
        mySequence->shuffleIt(list);
}

void Window1::ShuffleNow(const std::vector<std::int32_t>& list) { rearrange(mySequence, list); }

void Window1::rearrange(const std::shared_ptr<sequencerClass>& sequence,
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
