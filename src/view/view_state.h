// What the window keeps between pictures and the view reads: the requested view
// window and its zoom, the quantity scales and their levels, the display toggles.
// Shared by the mechanism view and the main window.
#pragma once

#include "input/model.h"
#include "view/drawing_surface.h"

namespace movra::view {

inline constexpr int kZoomLimit = 20;  // levels -20..20

struct DisplayToggles {
  bool graph = false;
  bool nodeNumbers = true;
  bool forces = true;
  bool elements = true;
  bool afterimage = false;
};

// DisplayFlags: 1 always; 0x10 node numbers, 4 forces, 2 elements, 0x20 graph.
inline int displayFlags(const DisplayToggles& toggles) {
  int flags = 1;
  if (toggles.nodeNumbers) flags |= 0x11;
  if (toggles.forces) flags |= 4;
  if (toggles.elements) flags |= 2;
  if (toggles.graph) flags |= 0x20;
  return flags;
}

// One label of a picture, kept so that the next picture can dim it (afterimage).
struct RememberedLabel {
  int x = 0;  // window pixels, top-left of the text
  int y = 0;
  int height = 0;
  char text[48] = {};
};

inline constexpr int kRememberedLabelCount = 96;

// What the mechanism view carries from one picture to the next.
struct ViewMemory {
  RememberedLabel labels[kRememberedLabelCount];
  int labelCount = 0;
  bool panelDrawn = false;  // a first output panel has been drawn
  int furthestMarker = -1;  // furthest time-marker position reached (view u), -1 none
  int lastFrame = -1;       // frame index of the last picture
  double shownScale[kQuantityScaleCount + 1] = {};
  double gaugeFactor[kQuantityScaleCount + 1] = {};  // 300 / scale, 0 for no scale
};

struct ViewState {
  ViewWindow requested;            // what zoom and commands change
  ViewWindow drawn;                // what the last picture used (pointer conversions)
  double baseHalf = 1.0;           // half-size set by ".vc" or "元尺"
  int zoomLevel = 0;               // requested half = 1.3^level x base half
  double scale[kQuantityScaleCount + 1] = {};  // current quantity scales 1..10
  double baseScale[kQuantityScaleCount + 1] = {};
  int scaleLevel[kQuantityScaleCount + 1] = {};
  DisplayToggles toggles;
  bool redrawRequest = false;
  // Read by the mechanism view.
  int grabbedNode = -1;           // node under the pointer in the interactive modes
  bool controlKeyReplay = false;  // a control-key record is being replayed: panel only
  ViewMemory memory;
};

// The state a new window starts with, from the model's ".vc" settings.
inline ViewState initialViewState(const Model& model) {
  ViewState state;
  state.baseHalf = model.view.halfSize > 0 ? model.view.halfSize : 1.0;
  state.requested.left = model.view.left;
  state.requested.bottom = model.view.bottom;
  state.requested.half = state.baseHalf;
  state.drawn = state.requested;
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    state.baseScale[k] = model.view.quantityInitial[k];
    state.scale[k] = model.view.quantityInitial[k];
  }
  return state;
}

}  // namespace movra::view
