#include "platform/picture_resource.h"
#include "ui/pictures.h"

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
    // Counts loads per id; the first `failures` loads of an id yield no picture.
    void countLoads(int failures = 0) {
        platform::setPictureLoaderForTesting([this, failures](int id) {
            return ++loads[id] <= failures ? QPixmap() : QPixmap(platform::pictureResourcePath(id));
        });
    }
    std::map<int, int> loads;
};

TEST_F(Pictures, BothResourcesAreLoadedOnceUntilReleased) {
    countLoads();
    const QPixmap badge = attribution_badge_88_35();
    EXPECT_EQ(badge.size(), QSize(88, 35));
    EXPECT_EQ(attribution_badge_88_35().cacheKey(), badge.cacheKey());
    EXPECT_GT(plome().height(), 0);
    plome();
    EXPECT_EQ(loads, (std::map<int, int>{{168, 1}, {169, 1}}));
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
