#include "editor/run_session.h"

#include <signal.h>

#include "platform/program_path.h"

namespace movra::editor {

RunSession::RunSession(RunPlan plan, const std::string& modelName, const std::string& modeMarker,
                       const std::string& editorId, bool batch, QObject* parent)
    : QObject(parent), plan_(std::move(plan)) {
  note::LaunchRequest request;
  request.simulatorPath = platform::directoryOf(platform::programPath()) + "movra-sim";
  request.textBlockName = note::textBlockNameFor(editorId);
  request.modeMarker = modeMarker;
  request.modelName = modelName;
  request.editorWindow = editorId;
  blocks_ = std::make_unique<note::HandOverBlocks>(*plan_.image, request.textBlockName, editorId);
  if (!blocks_->ok()) {
    failure_ = QString::fromStdString(blocks_->error());
    blocks_.reset();
    return;
  }
  const std::vector<std::string> words = note::simulatorArguments(request);
  QStringList arguments;
  for (size_t k = 1; k < words.size(); ++k) arguments << QString::fromStdString(words[k]);
  // The simulator's summary and warnings are lines of the run's output.
  process_.setProcessChannelMode(QProcess::MergedChannels);
  connect(&process_, &QProcess::readyReadStandardOutput, this, [this] {
    pending_ += process_.readAllStandardOutput();
    int end = 0;
    while ((end = pending_.indexOf('\n')) >= 0) {
      emit output(QString::fromUtf8(pending_.left(end)));
      pending_.remove(0, end + 1);
    }
  });
  connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
    if (!pending_.isEmpty()) emit output(QString::fromUtf8(pending_));
    pending_.clear();
    blocks_.reset();
    emit ended(status == QProcess::CrashExit ? 128 + code : code, status == QProcess::CrashExit);
  });
  if (batch) {
    scratch_ = std::make_unique<QTemporaryDir>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MOVRA_OUTPUT_DIR"), scratch_->path());
    process_.setProcessEnvironment(environment);
  }
  process_.start(QString::fromStdString(request.simulatorPath), arguments);
  started_ = process_.waitForStarted(10000);
  pid_ = static_cast<long>(process_.processId());
  if (!started_) {
    failure_ = process_.errorString();
    blocks_.reset();
  }
}

RunSession::~RunSession() {
  // The simulator goes with its tab the way it goes with Ctrl-C: asked to stop,
  // so that it writes what it computed; only one that will not is killed.
  if (process_.state() != QProcess::NotRunning) {
    process_.disconnect(this);
    stop();
    process_.waitForFinished(5000);
  }
}

void RunSession::stop() {
  if (process_.state() == QProcess::Running)
    ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
}

void RunSession::deliver(const platform::EditorMessage& message) {
  emit report(interpretReport(*plan_.image, message), message);
}

}  // namespace movra::editor
