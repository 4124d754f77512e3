#pragma once
// Pictures of the application looked up by numeric id. Picture n is the Qt
// resource ":/pictures/<n>.png"; the resource file that holds it must be
// registered first (the ui library does that before its first load).

#include <QPixmap>
#include <QString>
#include <functional>

namespace platform {

// The resource path of picture `id`.
QString pictureResourcePath(int id);

// Loads picture `id`; a null pixmap when there is no such picture or it cannot be read.
QPixmap loadPictureResource(int id);

// Replaces the loader used by loadPictureResource (tests count or fail loads);
// an empty function restores the resource loader.
void setPictureLoaderForTesting(std::function<QPixmap(int)> loader);

} // namespace platform
