// The About window, and the two pictures kept once loaded.

#include "app/app.h"
#include "platform/picture_resource.h"
#include "ui/picture_canvas.h"
#include "ui/pictures.h"
#include "ui/window3.h"

#include <QLabel>
#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

class Window3Test : public ::testing::Test {
protected:
    void TearDown() override {
        closeWindow();
        releasePictures();
        platform::setPictureLoaderForTesting({});
        App::setShortVersionForTesting(std::nullopt);
    }
    // From now on (the cache emptied) every load yields `picture`, but the
    // first `failures` loads of each picture yield none; loads are counted.
    void usePicture(const QPixmap& picture, int failures = 0) {
        releasePictures();
        loads.clear();
        platform::setPictureLoaderForTesting([this, picture, failures](int id) {
            return ++loads[id] <= failures ? QPixmap() : picture;
        });
    }
    static void closeWindow() {
        if (Window3* window = Window3::openInstance())
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::map<int, int> loads;
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

TEST_F(Window3Test, OneWindowWhileOpenAndPicturesKeptOnceLoaded) {
    usePicture(QPixmap(200, 300), 1);
    App::setShortVersionForTesting(QStringLiteral("1.0"));
    EXPECT_EQ(Window3::instance(), Window3::instance());
    EXPECT_EQ(Window3::instance()->staticText1()->text(), "オリズメ1.0");
    EXPECT_TRUE(Window3::instance()->canvas1()->backdrop().isNull()) << "the first load fails";
    closeWindow();
    EXPECT_EQ(Window3::openInstance(), nullptr);
    App::setShortVersionForTesting(QString());
    EXPECT_EQ(Window3::instance()->staticText1()->text(), "オリズメ");
    EXPECT_EQ(Window3::instance()->canvas1()->backdrop().size(), QSize(100, 150));
    closeWindow();
    Window3::instance();
    for (int i = 0; i < 3; ++i)
        attribution_badge_88_35();
    EXPECT_EQ(loads, (std::map<int, int>{{168, 2}, {169, 2}})) << "loaded again, then kept";

    platform::setPictureLoaderForTesting({}); // the pictures that come with the program
    releasePictures();
    EXPECT_EQ(attribution_badge_88_35().size(), QSize(88, 35));
    EXPECT_GT(plome().height(), 0);
}

} // namespace
