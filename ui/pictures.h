#pragma once
// The application's two pictures, loaded from the resources on first use and
// kept for the run. A load that yields no picture is not kept: the next call
// tries again.

#include <QPixmap>

// The analysis service's attribution badge, 88 x 35 (picture 168).
QPixmap attribution_badge_88_35();

// The About picture (picture 169).
QPixmap plome();

// Drops both cached pictures (the badge first); called once at exit, before the
// QApplication goes.
void releasePictures();
