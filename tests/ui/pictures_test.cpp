#include "platform/picture_resource.h"
#include "ui/pictures.h"

#include <QImage>
#include <gtest/gtest.h>
#include <map>

namespace {

class Pictures : public ::testing::Test {
protected:
    void SetUp() override { releasePictures(); }
    void TearDown() override {
        platform::setPictureLoaderForTesting({});
        releasePictures();
    }

    // Counts loads per id; the first `failures` loads yield no picture.
    void countLoads(int failures = 0) {
        platform::setPictureLoaderForTesting([this, failures](int id) {
            ++loads[id];
            if (loads[id] <= failures)
                return QPixmap();
            return QPixmap(platform::pictureResourcePath(id));
        });
    }
    std::map<int, int> loads;
};

TEST_F(Pictures, ResourcesHoldBothPictures) {
    const QPixmap badge = attribution_badge_88_35();
    EXPECT_EQ(badge.size(), QSize(88, 35));
    const QPixmap about = plome();
    ASSERT_FALSE(about.isNull());
    EXPECT_GT(about.height(), 0);
}

TEST_F(Pictures, EachPictureIsLoadedOnceAndTheSameTwice) {
    countLoads();
    const QPixmap first = attribution_badge_88_35();
    const QPixmap second = attribution_badge_88_35();
    EXPECT_EQ(first.cacheKey(), second.cacheKey());
    plome();
    plome();
    EXPECT_EQ(loads[168], 1);
    EXPECT_EQ(loads[169], 1);

    releasePictures();
    EXPECT_FALSE(attribution_badge_88_35().isNull());
    EXPECT_EQ(loads[168], 2) << "a released picture is loaded again";
}

TEST_F(Pictures, AFailedLoadIsNotKept) {
    countLoads(1);
    EXPECT_TRUE(plome().isNull());
    EXPECT_FALSE(plome().isNull()) << "the second call loads again";
    EXPECT_FALSE(plome().isNull());
    EXPECT_EQ(loads[169], 2);
}

} // namespace
