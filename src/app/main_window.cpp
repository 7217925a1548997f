#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <chrono>
#include <cstdio>

#include "app/window_host.h"
#include "view/mechanism_view.h"

namespace movra::app {

namespace {

constexpr long long kDisplayFrameMs = 16;  // about 60 pictures a second

long long steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr int kCreatedX = 30;
constexpr int kCreatedY = 20;
constexpr int kCreatedWidth = 960;
constexpr int kCreatedHeight = 685;
// The headless host plots into a surface of this size; offscreen runs match it.
constexpr int kOffscreenWidth = 1280;
constexpr int kOffscreenHeight = 1024;

const char* const kCalculatingMarker = "     _on-cal_";
const char* const kEndedMarker = "    _movra_";

}  // namespace

QSize screenSizeForSurfaces() {
  QSize size(kOffscreenWidth, kOffscreenHeight);
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
      size = screen->size();
    }
  }
  // The view and the scale zone need the whole created window, even on a tiny screen.
  return size.expandedTo(QSize(kCreatedWidth, kCreatedHeight));
}

MainWindow::MainWindow(Model& model, Run& run, Reporter& reporter, const LaunchArguments& launch,
                       const WindowOptions& options)
    : model_(model),
      run_(run),
      reporter_(reporter),
      launch_(launch),
      outputDirectory_(options.outputDirectory),
      csvPath_(options.csvPath),
      batch_(options.batch),
      host_(std::make_unique<WindowHost>(*this)) {
  setObjectName(QStringLiteral("simulator_TS"));
  runRepaintTimer_.setSingleShot(true);
  runRepaintTimer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&runRepaintTimer_, &QTimer::timeout, this, [this] {
    lastRunRepaintMs_ = steadyMs();
    requestRepaint();
  });
  setAttribute(Qt::WA_OpaquePaintEvent);  // every paint covers its area: no erase
  modelName_ = launch_.at(launch_.scaleForm ? 1 : 3);
  setWindowTitle(runningTitle());

  const QSize screen = options.screen.isEmpty() ? screenSizeForSurfaces() : options.screen;
  work_ = QImage(screen, QImage::Format_RGB32);
  work_.fill(view::kStockGray);
  graphs_ = std::make_unique<view::GraphSurface>(screen.width(), screen.height());
  graphs_->fillGray();

  buildMenus();
  state_ = view::initialViewState(model_);
  for (int k = 1; k <= kQuantityScaleCount; ++k) mirrorScale(k);

  setGeometry(kCreatedX, kCreatedY, kCreatedWidth, kCreatedHeight);
  setMouseTracking(false);
  setFocusPolicy(Qt::StrongFocus);
}

MainWindow::~MainWindow() = default;

QString MainWindow::runningTitle() const {
  const QString name = QString::fromStdString(modelName_);
  if (launch_.scaleForm) {
    return QStringLiteral("計算中") + QStringLiteral("   |   ") +
           QString::fromStdString(launch_.at(1)) + QLatin1String(kCalculatingMarker);
  }
  const QString head = model_.handOverMode == 1 ? QStringLiteral("初期ＣＫ　      ")
                                                : QStringLiteral("計算中　        ");
  return head + name + QLatin1String(kCalculatingMarker);
}

QString MainWindow::pausedTitle() const {
  return QStringLiteral(" [Ｇ] 休止中    ") + QString::fromStdString(modelName_) +
         QLatin1String(kCalculatingMarker);
}

QString MainWindow::endedTitle() const {
  char title[1024];
  std::snprintf(title, sizeof title, "%s %s    %s", modelName_.c_str(), kEndedMarker, kVersion);
  return QString::fromUtf8(title);
}

void MainWindow::appendTitleNotice(const char* notice) {
  setWindowTitle(windowTitle() + QString::fromUtf8(notice));
}

// --- pictures ---

int MainWindow::composePicture() {
  if (hooks_.beforePaint) hooks_.beforePaint();
  QPainter painter(&work_);
  painter.setBackgroundMode(Qt::TransparentMode);
  // With the afterimage on, earlier frames stay under the new one.
  if (!state_.toggles.afterimage || state_.redrawRequest) {
    state_.redrawRequest = false;
    if (state_.toggles.graph) {
      painter.drawImage(QPoint(0, 0), graphs_->image());
    } else {
      work_.fill(view::kStockGray);
    }
  }
  view::DrawingContext context;
  context.target = &painter;
  context.baseScale = model_.view.scale;
  context.setWindow(state_.drawn);
  state_.grabbedNode = static_cast<int>(model_.parameters.get(kGrabbedNodeEntry));
  const int source = (run_.interactionMode == 0 && run_.running == 0) ? 0 : 3;
  const int result = view::drawMechanismView(context, model_, run_, state_, source,
                                             view::displayFlags(state_.toggles), run_.currentFrame);
  // A played-back frame brings its statements' values along (the symbol states of
  // switches, diodes and cores), as it brought its unknowns into X.
  if (source == view::kSourcePlayback) view::restoreValueBlocks(model_, run_);
  painter.end();
  return result;
}

void MainWindow::paintEvent(QPaintEvent*) {
  if (destroyed_) return;
  composePicture();
  QPainter painter(this);
  const QRect below(0, kToolbarBand, work_.width(), work_.height() - kToolbarBand);
  painter.drawImage(QPoint(0, kToolbarBand), work_, below);
  painter.end();
  if (hooks_.afterPaint) hooks_.afterPaint();
}

void MainWindow::requestRepaint() {
  update(QRect(0, kToolbarBand, width(), height() - kToolbarBand));
}

void MainWindow::requestRunRepaint() {
  if (batch_) return;
  if (runRepaintTimer_.isActive()) return;  // the deferred paint shows this step too
  const long long since = steadyMs() - lastRunRepaintMs_;
  if (since >= kDisplayFrameMs) {
    lastRunRepaintMs_ = steadyMs();
    requestRepaint();
    return;
  }
  runRepaintTimer_.start(static_cast<int>(kDisplayFrameMs - since));
}

// --- window events ---

void MainWindow::resizeEvent(QResizeEvent* event) {
  if (hooks_.resized) hooks_.resized(event->size().width());
  QWidget::resizeEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
  // Some platforms hand the activation to our own context menu while it is open;
  // that is not the user leaving the window.
  const QWidget* active = QApplication::activeWindow();
  const bool ownMenu = active != nullptr &&
                       (active == viewMenu_ || active == columnMenu_ || active == allColumnsMenu_);
  if (event->type() == QEvent::ActivationChange && !isActiveWindow() && !ownMenu) {
    if (hooks_.stopPlayback) hooks_.stopPlayback();
    run_.holdState = 2;
  }
  QWidget::changeEvent(event);
}

void MainWindow::stopThenClose() {
  if (run_.running != 0 && run_.runRequest != 2) command(kStopCommand);
  closeWhenStopped();
}

void MainWindow::closeWhenStopped() {
  if (run_.running != 0) {
    QTimer::singleShot(20, this, [this] { closeWhenStopped(); });
    return;
  }
  close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (run_.running != 0 && run_.interactionMode != 0) {
    // An interactive run goes on until its user ends it, and closing is how users
    // end it: its ring of frames is kept, as the stop command keeps it.
    stopThenClose();
    event->ignore();
    return;
  }
  if (run_.running != 0) {
    // The driver ends the run at its next check; start-up destroys the window.
    run_.runRequest = 1;
    event->ignore();
    return;
  }
  // A paused calculation closed by its user: what it computed is still written.
  if (run_.runEnded == 0 && run_.runRequest == 2 && run_.lastFrame >= 0) command(kExportCommand);
  destroySequence();
  event->accept();
}

void MainWindow::destroySequence() {
  if (destroyed_) return;
  destroyed_ = true;
  if (hooks_.destroy) hooks_.destroy();
  releaseFrameRing(run_.frames);
  if (model_.handOverMode > 0 && !launch_.at(1).empty()) std::remove(launch_.at(1).c_str());
  if (QWidget::mouseGrabber() == this) releaseMouse();
  hide();
  quitRequested_ = true;
  QCoreApplication::exit(0);
}

void MainWindow::postDestroy() {
  QMetaObject::invokeMethod(
      this, [this] { destroySequence(); }, Qt::QueuedConnection);
}

}  // namespace movra::app
