// Drawing text needs a GUI application for its fonts; the tests run it on the
// offscreen platform so that no display is needed. Also small helpers that read
// pictures by structure: which pixels have which colour in a region.
#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QRect>

namespace movra::view::testing {

inline void ensureGuiApplication() {
  if (QGuiApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "view_test";
  static char* argv[] = {name, nullptr};
  static QGuiApplication application(argc, argv);
}

// Pixels of exactly this colour inside the region (clipped to the picture).
inline int countColour(const QImage& image, const QColor& colour, QRect region) {
  region = region.intersected(image.rect());
  const QRgb wanted = colour.rgb();
  int count = 0;
  for (int y = region.top(); y <= region.bottom(); ++y) {
    for (int x = region.left(); x <= region.right(); ++x)
      count += image.pixel(x, y) == wanted ? 1 : 0;
  }
  return count;
}

inline int countColour(const QImage& image, const QColor& colour) {
  return countColour(image, colour, image.rect());
}

// True when a pixel of the colour lies within `slack` pixels of (x, y).
inline bool hitNear(const QImage& image, const QColor& colour, int x, int y, int slack = 1) {
  return countColour(image, colour, QRect(x - slack, y - slack, 2 * slack + 1, 2 * slack + 1)) > 0;
}

// Pixels that differ from the fill colour in the region.
inline int countChanged(const QImage& image, QRgb fill, QRect region) {
  region = region.intersected(image.rect());
  int count = 0;
  for (int y = region.top(); y <= region.bottom(); ++y) {
    for (int x = region.left(); x <= region.right(); ++x)
      count += image.pixel(x, y) != fill ? 1 : 0;
  }
  return count;
}

}  // namespace movra::view::testing
