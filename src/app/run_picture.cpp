#include "app/run_picture.h"

#include <QImage>
#include <QPainter>

#include "view/primitives.h"

namespace movra::app {

namespace {

constexpr int kWindowWidth = 960;
constexpr int kWindowHeight = 685;

// The drawn window: the display statement's, centred on the followed node when
// the view follows one.
view::ViewWindow drawnWindow(const Model& model, const Run& run) {
  view::ViewWindow window;
  window.half = model.view.halfSize > 0 ? model.view.halfSize : 1.0;
  window.left = model.view.left;
  window.bottom = model.view.bottom;
  const auto followed = [&](int node, int component) -> double {
    const int key = node * 10 + component;
    if (node < 0 || key >= kUnknownKeyCapacity) return 0.0;
    return run.X[run.unknownOfKey[key]];
  };
  if (model.view.followedNodeX >= 0) window.left = followed(model.view.followedNodeX, 1) - window.half;
  if (model.view.followedNodeY >= 0) window.bottom = followed(model.view.followedNodeY, 2) - window.half;
  return window;
}

}  // namespace

bool saveRunPicture(const Model& model, Run& run, view::GraphSurface& graphs, const std::string& path) {
  QImage picture = graphs.image().copy(0, 0, kWindowWidth, kWindowHeight);
  QPainter painter(&picture);
  view::DrawingContext context;
  context.target = &painter;
  context.setWindow(drawnWindow(model, run));
  const DisplayList& list = run.display;
  for (int item = 1; item <= list.count; ++item) {
    const int kind = list.kind[item];
    const int count = view::shapeNumberCount(kind);
    if (count == 0 || list.start[item] + count > kPoolCapacity) continue;
    view::replayShape(context, kind, &list.pool[list.start[item] + 1]);
  }
  painter.end();
  return picture.save(QString::fromStdString(path), "PNG");
}

}  // namespace movra::app
