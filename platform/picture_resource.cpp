#include "platform/picture_resource.h"

namespace platform {

namespace {

std::function<QPixmap(int)>& loaderOverride() {
    static std::function<QPixmap(int)> loader;
    return loader;
}

} // namespace

QString pictureResourcePath(int id) {
    return QStringLiteral(":/pictures/%1.png").arg(id);
}

QPixmap loadPictureResource(int id) {
    if (const auto& loader = loaderOverride())
        return loader(id);
    QPixmap picture;
    // A missing or unreadable resource leaves the pixmap null; the caller decides what that means.
    picture.load(pictureResourcePath(id));
    return picture;
}

void setPictureLoaderForTesting(std::function<QPixmap(int)> loader) {
    loaderOverride() = std::move(loader);
}

} // namespace platform
