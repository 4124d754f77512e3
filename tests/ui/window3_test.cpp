// The About window: the canvas scaled to the picture's height, the label, the
// single instance and the cached picture reused by a new window.

#include "app/app.h"
#include "platform/picture_resource.h"
#include "ui/picture_canvas.h"
#include "ui/pictures.h"
#include "ui/window3.h"

#include <QLabel>
#include <gtest/gtest.h>

#include <vector>

namespace {

class Window3Test : public ::testing::Test {
protected:
    void SetUp() override { usePicture(QPixmap(200, 300)); }
    void TearDown() override {
        closeWindow();
        releasePictures();
        platform::setPictureLoaderForTesting({});
        App::setShortVersionForTesting(std::nullopt);
    }

    // The About picture every load yields from now on (the cache starts empty).
    void usePicture(const QPixmap& picture) {
        releasePictures();
        platform::setPictureLoaderForTesting([this, picture](int id) {
            aboutLoads += id == 169;
            return picture;
        });
    }
    static void closeWindow() {
        if (Window3* window = Window3::openInstance())
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    int aboutLoads = 0;
};

TEST_F(Window3Test, CanvasWidthFollowsThePictureAtTheCanvasHeight) {
    struct Case {
        QPixmap picture;
        int width; // 0: no backdrop, the canvas as designed
    };
    const std::vector<Case> cases = {
        {QPixmap(200, 300), 100}, // ratio 0.5: the designed width, centred
        {QPixmap(300, 300), 150}, // grows to the right of its left edge
        {QPixmap(40, 60), 100},   // scaled up, ratio 2.5
        {QPixmap(3, 4), 112},     // 112.5 is truncated, not rounded
        {QPixmap(), 0},           // no picture
        {QPixmap(10, 0), 0},      // no height to divide by
    };
    for (const Case& c : cases) {
        usePicture(c.picture);
        Window3* window = Window3::instance();
        const QSize size = c.picture.size();
        EXPECT_EQ(window->size(), QSize(246, 216));
        EXPECT_EQ(window->canvas1()->geometry(), QRect(73, 14, c.width ? c.width : 100, 150))
            << size.width() << "x" << size.height();
        EXPECT_EQ(window->canvas1()->backdrop().size(), c.width ? QSize(c.width, 150) : QSize(0, 0))
            << size.width() << "x" << size.height();
        closeWindow();
    }
}

TEST_F(Window3Test, LabelIsTheNameDirectlyFollowedByTheShortVersion) {
    for (const char* version : {"1.0", ""}) {
        App::setShortVersionForTesting(QString::fromUtf8(version));
        EXPECT_EQ(Window3::instance()->staticText1()->text(),
                  QStringLiteral("オリズメ") + QString::fromUtf8(version))
            << "version '" << version << "'";
        closeWindow();
    }
}

TEST_F(Window3Test, OneWindowWhileOpenAndANewOneFromTheCachedPicture) {
    Window3* first = Window3::instance();
    EXPECT_EQ(Window3::instance(), first);
    closeWindow();
    EXPECT_EQ(Window3::openInstance(), nullptr);
    EXPECT_EQ(Window3::instance()->canvas1()->backdrop().size(), QSize(100, 150));
    EXPECT_EQ(aboutLoads, 1) << "the second window must reuse the cached picture";
}

} // namespace
