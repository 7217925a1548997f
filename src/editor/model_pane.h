// One model's text pane: QScintilla with the model colouring, and the language
// service's diagnostics, hover, completion, definitions and outline over what it
// holds. Diagnostics follow the text shortly after typing stops.
#pragma once

#include <Qsci/qsciscintilla.h>

#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "language/diagnostics.h"
#include "language/model_index.h"
#include "language/navigation.h"

namespace movra::editor {

class ModelPane : public QsciScintilla {
  Q_OBJECT
 public:
  // Marker and indicator numbers; the markers' mask for the symbol margin.
  static constexpr int kErrorMarker = 0;
  static constexpr int kWarningMarker = 1;
  static constexpr int kRunErrorMarker = 2;
  static constexpr int kErrorIndicator = 8;
  static constexpr int kWarningIndicator = 9;
  static constexpr int kRunErrorIndicator = 10;
  // How long typing must pause before the diagnostics are made again.
  static constexpr int kDiagnosticsDelayMs = 300;

  explicit ModelPane(QWidget* parent = nullptr);

  const QString& path() const { return path_; }
  void setPath(const QString& path);
  int untitledNumber() const { return untitled_; }
  void setUntitledNumber(int number) { untitled_ = number; }
  std::string textUtf8() const { return text().toUtf8().toStdString(); }

  // Replaces the text as one undo step that can be undone (a reload or a recovery).
  void replaceAllText(const QString& text);

  // Diagnostics and outline of the text as it is now.
  void refreshNow();
  const std::vector<language::Diagnostic>& diagnostics() const { return diagnostics_; }
  const language::FileIndex* index() const { return index_.get(); }
  std::vector<language::OutlineSymbol> outline() const;

  // An error the simulator reported at a line (1-based): marked, shown, scrolled to.
  void markRunError(int line, const QString& message);
  void clearRunError();
  int runErrorLine() const { return runErrorLine_; }

  // Byte column <-> document position.
  long positionAt(int line, int column) const;
  language::Position positionOf(long position) const;
  void goToLine(int line, int column = 0);

 public slots:
  void goToDefinition();
  void showCompletions();
  // The file the ".include" line under the caret names, opened by the window.
  void openIncludedFile();

 signals:
  void diagnosticsChanged();
  // A definition in another file: the window opens it there.
  void openLocation(const QString& path, int line, int column);
  // The text has rested long enough to be worth a recovery copy.
  void recoveryDue();
  // Something the user asked for could not be done, in words for the status bar.
  void notice(const QString& text);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void applyDiagnostics();
  void showHover(int position, int x, int y);
  void insertCompletion(int id, const QString& label);
  void fillIndicator(int indicator, const language::Range& range);

  QString path_;
  int untitled_ = 0;
  QTimer diagnosticsTimer_;
  QTimer recoveryTimer_;
  std::unique_ptr<language::FileIndex> index_;
  std::vector<language::Diagnostic> diagnostics_;
  std::vector<std::string> completionTexts_;
  std::vector<std::string> completionLabels_;
  std::vector<bool> completionSnippets_;
  int runErrorLine_ = 0;
  QString runErrorText_;
};

}  // namespace movra::editor
