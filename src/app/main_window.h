// The simulator's one window (class "simulator_TS"): the two screen-sized
// surfaces every picture is composed in, the titles other instances count, the
// command table, the three context menus, the wheel zoom of the view and of the
// quantity scales, and node grabbing in the interactive launch modes. The run
// itself talks to the window only through the run-control flags of Run and the
// pointer entries of the ParameterStore.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QTimer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/hand_over.h"
#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"
#include "view/graph_plot.h"
#include "view/view_state.h"

class QMenu;
class QAction;

namespace movra::app {

class WindowHost;

// Fixed client geometry: it does not follow the window size, so that drawing and
// pointer conversions always agree.
inline constexpr int kToolbarBand = 25;  // pictures start at this row
inline constexpr int kViewCentreX = 400;
inline constexpr int kViewCentreY = 330;
inline constexpr double kViewHalfPixels = 300.0;
inline constexpr int kScaleZoneTop = 670;  // rows from here down address the scales
inline constexpr int kScaleColumnWidth = 88;
inline constexpr int kAllColumnsX = 880;  // from here on a pointer addresses all ten
inline constexpr int kAllColumnsSelection = 100;
inline constexpr int kPickRadius = 10;
inline constexpr double kZoomStep = 1.3;
inline constexpr double kScaleStep = 2.0;
inline constexpr double kFineScaleStep = 1.189207115;  // 2^(1/4), with Shift

// ParameterStore entries the window shares with the pointer-driven elements.
inline constexpr int kGrabbedNodeEntry = -10095;
inline constexpr int kPreviousGrabEntry = -10089;
inline constexpr int kHoldFlagEntry = -10091;
inline constexpr int kNewGrabEntry = -10096;
inline constexpr int kPointerXEntry = -10081;
inline constexpr int kPointerYEntry = -10082;
inline constexpr int kPointerNodeA = 198;
inline constexpr int kPointerNodeB = 199;

// Command ids of the menus and of the other parts of the program.
enum Command : int {
  kHoldCommand = 40002,
  kStopCommand = 40003,
  kOriginalViewCommand = 40004,
  kOriginalScaleCommand = 40005,
  kExportCommand = 40007,
  kReportCommand = 40008,
  kSendScalesCommand = 40009,
  kAutomaticViewCommand = 40014,
  kPauseCommand = 40016,
  kResumeCommand = 40017,
  kSendViewCommand = 40018,
};

enum class MenuKind { View, Column, AllColumns };

// What the toolbar and the playback plug into the window. Every hook may stay
// empty: the window then works without a toolbar.
struct ToolbarHooks {
  std::function<void()> beforePaint;    // reacts to a change of Running
  std::function<void()> afterPaint;     // button states, timer start
  std::function<void()> stopPlayback;   // timer off, PlaybackState 0 (deactivation)
  std::function<void()> showToggles;    // the toggles changed outside the toolbar
  std::function<void(int x)> barPress;  // time bar, playback mode only
  std::function<void(int x)> barMove;
  std::function<void()> barRelease;
  std::function<void()> destroy;           // image list and timer
  std::function<void(int width)> resized;  // the toolbar follows the window width
};

struct WindowOptions {
  QSize screen;                 // surface size; empty: chosen by screenSizeForSurfaces()
  std::string outputDirectory;  // where "out.txt" goes, with its trailing '/'
  std::string csvPath;          // the full-precision export beside it; empty: none
  // Nobody watches the run: the picture is drawn once, at the end, for view.png.
  bool batch = false;
};

// The size of both surfaces: the primary screen, but on the offscreen platform
// (whose invented screen is 800 x 600) the size the headless host uses, so that a
// picture never depends on the platform plugin.
QSize screenSizeForSurfaces();

class MainWindow : public QWidget {
 public:
  MainWindow(Model& model, Run& run, Reporter& reporter, const LaunchArguments& launch,
             const WindowOptions& options = {});
  ~MainWindow() override;

  // --- titles ---
  QString runningTitle() const;
  QString pausedTitle() const;
  QString endedTitle() const;
  void setEndedTitle() { setWindowTitle(endedTitle()); }
  void appendTitleNotice(const char* notice);

  // --- commands and menus ---
  void command(int id);
  // The context menu for a right release at a client point with its enable rules
  // applied (what the user would see), or nullptr where no menu opens.
  QMenu* prepareContextMenu(QPoint client, MenuKind* kind = nullptr);
  QMenu* menu(MenuKind kind) const;
  static QAction* findAction(const QMenu* menu, int id);
  int selectedColumn() const { return selectedColumn_; }
  // Screen position at which the last context menu was opened.
  QPoint lastMenuPosition() const { return lastMenuPosition_; }

  // --- pictures ---
  // Composes the picture into the WorkSurface (the paint handler then copies it
  // from row 25 down); returns what the mechanism view returned.
  int composePicture();
  // Invalidates the client area below the toolbar band, without erasing.
  void requestRepaint();
  // The driver's repaint after a step: none in a batch run; on a display at most one
  // per display frame, always of the newest step (a later request within the frame
  // is served by the same, deferred paint).
  void requestRunRepaint();
  QImage& workSurface() { return work_; }
  view::GraphSurface& graphSurface() { return *graphs_; }
  view::ViewState& viewState() { return state_; }
  const view::ViewState& viewState() const { return state_; }

  // --- conversions through the drawn window ---
  QPointF pixelToModel(QPointF pixel) const;
  QPoint nodePixel(int node) const;
  // The mechanical node with an x unknown within the pick radius, searched from 99
  // down to 1; -1 when none.
  int findNodeAt(QPointF pixel) const;

  WindowHost& host() { return *host_; }
  ToolbarHooks& toolbarHooks() { return hooks_; }
  Model& model() { return model_; }
  Run& run() { return run_; }
  Reporter& reporter() { return reporter_; }
  const LaunchArguments& launch() const { return launch_; }

  // The destroy sequence: surfaces, frame ring, the hand-over file, the quit.
  void destroySequence();
  // Stops a calculation as "中止" does (its frames are written), then closes the
  // window once the run has ended: Ctrl-C, and closing an interactive run.
  void stopThenClose();
  bool destroyed() const { return destroyed_; }
  bool batch() const { return batch_; }
  bool quitRequested() const { return quitRequested_; }
  // The files the window has written so far (full paths), for the closing line.
  const std::string& writtenOutputs() const { return writtenOutputs_; }
  void noteWritten(const std::string& path);
  // A result file could not be written whole: its message has been shown, or sent
  // to the editor, and the program ends with a failure.
  void noteNotWritten();
  bool outputFailed() const { return outputFailed_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void showContextMenu(QPoint client);
  void applyHoldCheck();
  void resetScales(int selection);
  void mirrorScale(int column);
  void sendViewToEditor();
  void sendScalesToEditor();
  void resumeRun();
  void postDestroy();
  void closeWhenStopped();

  void leftPress(QMouseEvent* event);
  void grabNode(QPoint client);
  void releaseNode();
  void storePointer(QPoint client);
  void zoomView(int d, QPoint client);
  void zoomScales(int d, QPoint client, bool fine);
  void movePointerTo(QPoint client);
  double& entry(int id) { return model_.parameters[id]; }
  int unknownOf(int node, int axis) const;

  Model& model_;
  Run& run_;
  Reporter& reporter_;
  LaunchArguments launch_;
  std::string outputDirectory_;
  std::string csvPath_;
  bool batch_ = false;
  QTimer runRepaintTimer_;
  long long lastRunRepaintMs_ = -1000000;
  std::string modelName_;

  QImage work_;
  std::unique_ptr<view::GraphSurface> graphs_;
  view::ViewState state_;
  ToolbarHooks hooks_;
  std::unique_ptr<WindowHost> host_;

  QMenu* viewMenu_ = nullptr;
  QMenu* columnMenu_ = nullptr;
  QMenu* allColumnsMenu_ = nullptr;
  int selectedColumn_ = 0;
  QPoint lastMenuPosition_;
  int wheelRemainder_ = 0;
  bool leftDown_ = false;
  bool destroyed_ = false;
  bool quitRequested_ = false;
  std::string writtenOutputs_;
  bool outputFailed_ = false;
};

}  // namespace movra::app
