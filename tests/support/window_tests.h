// What the window tests share: one QApplication on the offscreen platform, and the
// pendulum they all drive.
#pragma once

#include <QApplication>
#include <string>

namespace movra::testing {

inline void ensureApplication() {
  if (QApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "movra_window_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down among the other static objects at exit crashes.
  new QApplication(argc, argv);
}

// A pendulum: node 1 pinned at the origin, node 2 a 1 kg body at (0.5, 0) on a
// 0.5 m link, with its outputs and a view of [-1, 1]^2, so node 2 starts at pixel
// (550, 330). Its time conditions follow.
inline constexpr const char* kPendulumMechanism = R"(.in 1  0    0
.in 2  0.5  0
pc 0n 1n
lr 2n 1p
b  0n 2n, 1, 1m, 9.81 * p2 {f 1}
.o x2.1, x2.2
.vc 0, 0, 1
)";

// The pendulum over 400 steps of 1 ms, one frame per step: the time bar holds 400
// frames in 600 pixels.
inline const std::string kPendulum = std::string(kPendulumMechanism) + R"(.t 2
   0
   0.4
   1m
   1
)";

}  // namespace movra::testing
