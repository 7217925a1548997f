// The three-terminal semiconductors in the statement schematic: the symbol lies
// on the path from the first to the third node (drain to source, collector to
// emitter) and the control terminal is wired to the symbol's stub, whatever
// order the editor placed the nodes in.
#include <gtest/gtest.h>

#include <string>

#include "support/in_process_run.h"
#include "support/window_tests.h"
#include "view/gui_environment.h"
#include "view/mechanism_view.h"

namespace movra::view {
namespace {

using testing::countColour;

constexpr int kAllFlags = 0x37 & ~0x20;  // no graphs over the schematic

class SemiconductorSchematicTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureGuiApplication(); }

  // Node 1 at window (250, 330), node 2 at (550, 330), node 3 at (400, 180).
  void load(const std::string& text) {
    outcome_ = movra::testing::runModelText(text);
    ASSERT_EQ(outcome_->status, 0);
    Model& model = *outcome_->model;
    state_ = initialViewState(model);
    const double place[4][2] = {{0.0, -0.5}, {-0.5, 0.0}, {0.5, 0.0}, {0.0, 0.5}};
    for (int node = 0; node < 4; ++node) {
      model.nodes.x[node] = place[node][0];
      model.nodes.y[node] = place[node][1];
    }
    state_.requested = ViewWindow{-1.0, -1.0, 1.0};
  }

  QImage draw() {
    DrawingSurface surface(960, 685);
    surface.image().fill(kStockGray);
    QPainter painter(&surface.image());
    context_ = DrawingContext();
    context_.target = &painter;
    EXPECT_EQ(drawMechanismView(context_, *outcome_->model, *outcome_->run, state_, kSourceLive,
                                kAllFlags, 0),
              0);
    context_.target = nullptr;
    painter.end();
    return surface.image();
  }

  std::unique_ptr<movra::testing::InProcessRun> outcome_;
  ViewState state_;
  DrawingContext context_;
};

TEST_F(SemiconductorSchematicTest, MosfetLiesFromDrainToSourceWithTheGateWired) {
  // Drain 1, gate 3, source 2.
  load("V 1 0, 5, 0\nM 1 3 2, 2, 0.05, 10, 5\nR 2 0, 10\nV 3 0, 10, 0\n.t 0\n   0\n   0\n   1\n");
  const QImage picture = draw();
  const QColor family = context_.colour(35);
  // The switch's body and its gate box about the midpoint of drain and source...
  EXPECT_GT(countColour(picture, family, QRect(390, 310, 21, 20)), 5);
  // ...the gate's wire coming down from node 3 to the box...
  EXPECT_GT(countColour(picture, family, QRect(395, 200, 11, 90)), 80);
  // ...and nothing where a symbol between drain and gate would have been drawn.
  EXPECT_EQ(countColour(picture, family, QRect(315, 245, 21, 21)), 0);
}

TEST_F(SemiconductorSchematicTest, TransistorLiesFromCollectorToEmitterWithTheBaseWired) {
  // Collector 1, base 3, emitter 2.
  load("V 1 0, 5, 0\nQ 1 3 2, 100\nR 2 0, 1k\nV 3 0, 1, 0\n.t 0\n   0\n   0\n   1\n");
  const QImage picture = draw();
  const QColor family = context_.colour(35);
  EXPECT_GT(countColour(picture, family, QRect(390, 310, 21, 20)), 5);
  EXPECT_GT(countColour(picture, family, QRect(395, 200, 11, 90)), 80);
  EXPECT_EQ(countColour(picture, family, QRect(315, 245, 21, 21)), 0);
}

}  // namespace
}  // namespace movra::view
