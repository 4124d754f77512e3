#pragma once
// The main window: input field, "Parse", "Clear", status line, progress wheel,
// attribution badge and the HTTP socket. The menu bar sits above the content
// area; designed positions and sizes are those of the content area (the central
// widget). Its request, reply and walk methods are
// defined in client/; everything else in ui/.

#include "platform/http_socket.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class sequencerClass;
namespace morphemeResource {
class EscapeRecord;
}
namespace client {
struct ReplyFailure;
}
class QPlainTextEdit;
class QPushButton;
class QLabel;

class Window1 : public QMainWindow {
    Q_OBJECT
public:
    // The open main window, or a new one that is built and shown.
    static Window1* instance();
    // The open main window, or nullptr (never creates one).
    static Window1* openInstance();

    ~Window1() override;

    // Fields.
    std::shared_ptr<sequencerClass> mySequence; // sequencer of the last reply walked completely
    bool hasChanged = false;                    // input changed since the last parse, not empty
    std::int32_t myErrorCode = 0;               // HTTP status of the last header block

    // Construction steps.
    void Layout();
    void CreateControls();
    void AddMenuHandlers();

    // Handlers of the window's own controls and menu (ui/).
    void EditField1_TextChange();
    void PushButton2_Action();
    void Canvas1_Open();
    bool Canvas1_MouseDown(int x, int y);
    void Canvas1_MouseUp(int x, int y);
    void Canvas1_MouseEnter();
    void Canvas1_MouseExit();
    void Event_EnableMenuItems();
    void Event_Close();
    bool _EditSelectAll_Action();
    void showTextLength();
    // The status line's text colour (TextColor); the client shows failures in red.
    void setStatusColor(const QColor& color);

    // Request, reply and walk (client/).
    void PushButton1_Action();
    void setProxy();
    void processNow();
    void TCPSocket1_HeadersReceived(const platform::HeaderList& headers, int httpStatus);
    void TCPSocket1_PageReceived(const QString& url, int httpStatus,
                                 const platform::HeaderList& headers, const QByteArray& content);
    void TCPSocket1_Error(int code);
    // Walks the reply into a new sequencer and shows a new arrangement. Takes
    // the body over and lets it go once it is escaped (a reply may be large).
    // A reply that cannot be walked is described in `failure`.
    void parseNow(QByteArray content, const QString& sentText, client::ReplyFailure* failure);
    // Walks the escaped reply into a new sequencer and returns it; null, with
    // the failure described, when the reply cannot be walked completely. The
    // caller makes it mySequence. The text is loaded in place and changed;
    // `escapes` tells the place of a fault in the bytes as they arrived.
    std::shared_ptr<sequencerClass> parseXML(std::string text,
                                             const morphemeResource::EscapeRecord& escapes,
                                             client::ReplyFailure* failure);
    void shuffleIt(const std::vector<std::int32_t>& list);
    void ShuffleNow(const std::vector<std::int32_t>& list);

    // The text the input field holds, exactly: only the editor's paragraph
    // breaks become "\n" (a no-break space or a line separator stays as typed).
    QString inputText() const;

    // Controls by name, for the handlers and for tests.
    QPlainTextEdit* editField1() const;
    QLabel* staticText1() const;
    QWidget* progressWheel1() const;
    platform::HttpSocket* tcpSocket1() const;

    // Width and height in the program's sense: those of the content area below the menu bar.
    QSize contentSize() const;
    void setContentSize(int width, int height);

    // The address "Parse" posts to (a build setting; tests may point it elsewhere).
    static QString serviceAddress();
    static void setServiceAddressForTesting(const QString& address);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Window1();
    // The menu bar's height above a content area of that width.
    int menuBarHeight(int width) const;
    QString mySentText;     // the input text of the request now on the wire (client/)
    QString mySequenceText; // the input text mySequence was walked from (client/)
    // Reorders the pools of one sequencer, replays it and opens a result window (client/).
    // Takes its own reference: a reply walked while the replay yields replaces mySequence.
    void rearrange(std::shared_ptr<sequencerClass> sequence, const std::vector<std::int32_t>& list);
};
