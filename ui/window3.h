#pragma once
// The About window: the About picture scaled to the height of its canvas and,
// beneath it, the display name followed by the short version.

#include <QWidget>

class QLabel;
class PictureCanvas;

class Window3 : public QWidget {
    Q_OBJECT
public:
    // The open About window, or a new one that is built and shown.
    static Window3* instance();
    // The open About window, or nullptr (never creates one).
    static Window3* openInstance();

    ~Window3() override;

    // Construction steps.
    void Layout();
    void CreateControls();
    void AddMenuHandlers();

    // Open handlers of the two controls, run once per window.
    void Canvas1_Open();
    void StaticText1_Open();

    // Controls by name, for tests.
    PictureCanvas* canvas1() const;
    QLabel* staticText1() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Window3();
};
