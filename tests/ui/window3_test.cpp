#include "app/app.h"
#include "platform/picture_resource.h"
#include "ui/picture_canvas.h"
#include "ui/pictures.h"
#include "ui/window3.h"

#include <QLabel>
#include <gtest/gtest.h>
#include <string>

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
    // Width 0: no backdrop, the canvas as designed (100 x 150 at 73, 14).
    const std::pair<QSize, int> cases[] = {
        {{200, 300}, 100}, {{300, 300}, 150},
        {{40, 60}, 100},   {{3, 4}, 112}, // 112.5 is truncated, not rounded
        {{0, 0}, 0},                      // no picture
    };
    for (const auto& [size, width] : cases) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        usePicture(size.isEmpty() ? QPixmap() : QPixmap(size));
        Window3* window = Window3::instance();
        EXPECT_EQ(window->size(), QSize(246, 216));
        EXPECT_EQ(window->canvas1()->geometry(), QRect(73, 14, width ? width : 100, 150));
        EXPECT_EQ(window->canvas1()->backdrop().size(), width ? QSize(width, 150) : QSize(0, 0));
        closeWindow();
    }
}

TEST_F(Window3Test, OneWindowWhileOpenANewOneFromTheCachedPictureAndTheVersionLabel) {
    App::setShortVersionForTesting(QStringLiteral("1.0"));
    EXPECT_EQ(Window3::instance(), Window3::instance());
    EXPECT_EQ(Window3::instance()->staticText1()->text(), "オリズメ1.0");
    closeWindow();
    EXPECT_EQ(Window3::openInstance(), nullptr);
    App::setShortVersionForTesting(QString());
    EXPECT_EQ(Window3::instance()->staticText1()->text(), "オリズメ");
    EXPECT_EQ(Window3::instance()->canvas1()->backdrop().size(), QSize(100, 150));
    EXPECT_EQ(aboutLoads, 1) << "the second window must reuse the cached picture";
}

} // namespace
