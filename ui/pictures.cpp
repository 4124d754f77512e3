#include "ui/pictures.h"

#include "platform/picture_resource.h"

#include <QtGlobal>

// The pictures are compiled into this static library; registering the resource
// file explicitly keeps the linker from dropping it. (Q_INIT_RESOURCE must not be
// used inside a namespace.)
static void registerPictureResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(pictures);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

constexpr int kBadgeId = 168;
constexpr int kAboutPictureId = 169;

QPixmap& badgeCache() {
    static QPixmap picture;
    return picture;
}

QPixmap& aboutPictureCache() {
    static QPixmap picture;
    return picture;
}

QPixmap cachedPicture(QPixmap& cache, int id) {
    if (cache.isNull()) {
        registerPictureResources();
        cache = platform::loadPictureResource(id);
    }
    return cache;
}

} // namespace

QPixmap attribution_badge_88_35() {
    return cachedPicture(badgeCache(), kBadgeId);
}

QPixmap plome() {
    return cachedPicture(aboutPictureCache(), kAboutPictureId);
}

void releasePictures() {
    badgeCache() = QPixmap();
    aboutPictureCache() = QPixmap();
}
