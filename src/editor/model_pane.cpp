#include "editor/model_pane.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QMenu>
#include <QMouseEvent>
#include <QTextDocument>
#include <QToolTip>
#include <cctype>
#include <map>

#include "editor/model_lexer.h"
#include "language/completion.h"
#include "language/hover.h"

namespace movra::editor {

namespace {

// A copy is written this long after the last change: often enough to lose little,
// seldom enough not to write at every key.
constexpr int kRecoveryDelayMs = 2000;
constexpr int kSymbolMargin = 1;
constexpr int kAnnotationErrorStyle = 40;
constexpr int kAnnotationWarningStyle = 41;

// "${1:name}" -> "name", "$1" -> ""; the first placeholder's place and length.
QString expandSnippet(const QString& snippet, int& selectFrom, int& selectLength) {
  QString out;
  selectFrom = -1;
  selectLength = 0;
  for (int i = 0; i < snippet.size(); ++i) {
    if (snippet[i] == '$' && i + 1 < snippet.size()) {
      if (snippet[i + 1] == '{') {
        const int colon = snippet.indexOf(':', i);
        const int close = snippet.indexOf('}', i);
        if (colon > 0 && close > colon) {
          const QString name = snippet.mid(colon + 1, close - colon - 1);
          if (selectFrom < 0) {
            selectFrom = static_cast<int>(out.toUtf8().size());
            selectLength = static_cast<int>(name.toUtf8().size());
          }
          out += name;
          i = close;
          continue;
        }
      } else if (snippet[i + 1].isDigit()) {
        if (selectFrom < 0) selectFrom = static_cast<int>(out.toUtf8().size());
        ++i;
        continue;
      }
    }
    out += snippet[i];
  }
  return out;
}

}  // namespace

ModelPane::ModelPane(QWidget* parent) : QsciScintilla(parent) {
  setUtf8(true);
  setLexer(new ModelLexer(this));
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setMarginType(0, NumberMargin);
  setMarginWidth(0, QStringLiteral("00000"));
  setMarginLineNumbers(0, true);
  setMarginType(kSymbolMargin, SymbolMargin);
  setMarginWidth(kSymbolMargin, 16);
  setMarginSensitivity(kSymbolMargin, true);
  setMarginMarkerMask(kSymbolMargin,
                      (1 << kErrorMarker) | (1 << kWarningMarker) | (1 << kRunErrorMarker));
  markerDefine(Circle, kErrorMarker);
  setMarkerBackgroundColor(QColor(0xd0, 0x20, 0x20), kErrorMarker);
  markerDefine(Circle, kWarningMarker);
  setMarkerBackgroundColor(QColor(0xe0, 0x90, 0x00), kWarningMarker);
  markerDefine(RightArrow, kRunErrorMarker);
  setMarkerBackgroundColor(QColor(0xd0, 0x20, 0x20), kRunErrorMarker);
  indicatorDefine(SquiggleIndicator, kErrorIndicator);
  setIndicatorForegroundColor(QColor(0xd0, 0x20, 0x20), kErrorIndicator);
  indicatorDefine(SquiggleIndicator, kWarningIndicator);
  setIndicatorForegroundColor(QColor(0xe0, 0x90, 0x00), kWarningIndicator);
  indicatorDefine(FullBoxIndicator, kRunErrorIndicator);
  setIndicatorForegroundColor(QColor(0xff, 0x50, 0x50, 90), kRunErrorIndicator);
  setAnnotationDisplay(AnnotationBoxed);
  SendScintilla(SCI_STYLESETFORE, kAnnotationErrorStyle, QColor(0xa0, 0x10, 0x10));
  SendScintilla(SCI_STYLESETBACK, kAnnotationErrorStyle, QColor(0xff, 0xee, 0xee));
  SendScintilla(SCI_STYLESETFORE, kAnnotationWarningStyle, QColor(0x80, 0x50, 0x00));
  SendScintilla(SCI_STYLESETBACK, kAnnotationWarningStyle, QColor(0xff, 0xf6, 0xe0));
  setCaretLineVisible(true);
  SendScintilla(SCI_SETCARETLINEVISIBLEALWAYS, 1L);
  setCaretLineBackgroundColor(QColor(0xf4, 0xf7, 0xff));
  setBraceMatching(SloppyBraceMatch);
  setAutoIndent(true);
  setIndentationsUseTabs(false);
  setTabWidth(3);
  SendScintilla(SCI_SETMOUSEDWELLTIME, 500);
  // Ctrl+Space is the completion key; Scintilla's own binding would do nothing useful.
  if (QsciCommand* command = standardCommands()->boundTo((Qt::CTRL | Qt::Key_Space).toCombined()))
    command->setKey(0);

  diagnosticsTimer_.setSingleShot(true);
  diagnosticsTimer_.setInterval(kDiagnosticsDelayMs);
  recoveryTimer_.setSingleShot(true);
  recoveryTimer_.setInterval(kRecoveryDelayMs);
  connect(&diagnosticsTimer_, &QTimer::timeout, this, &ModelPane::refreshNow);
  connect(&recoveryTimer_, &QTimer::timeout, this, &ModelPane::recoveryDue);
  connect(this, &QsciScintilla::textChanged, this, [this] {
    diagnosticsTimer_.start();
    if (isModified()) recoveryTimer_.start();
  });
  connect(this, &QsciScintillaBase::SCN_DWELLSTART, this, &ModelPane::showHover);
  connect(this, &QsciScintillaBase::SCN_DWELLEND, this, [] { QToolTip::hideText(); });
  connect(this, &QsciScintilla::userListActivated, this, &ModelPane::insertCompletion);
}

void ModelPane::setPath(const QString& path) {
  path_ = path;
  refreshNow();
}

void ModelPane::replaceAllText(const QString& text) {
  beginUndoAction();
  SendScintilla(SCI_SETTARGETRANGE, 0L, SendScintilla(SCI_GETLENGTH));
  const QByteArray bytes = text.toUtf8();
  SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(bytes.size()), bytes.constData());
  endUndoAction();
}

long ModelPane::positionAt(int line, int column) const {
  auto* self = const_cast<ModelPane*>(this);
  const long start = self->SendScintilla(SCI_POSITIONFROMLINE, line);
  const long end = self->SendScintilla(SCI_GETLINEENDPOSITION, line);
  return std::min(start + column, end);
}

language::Position ModelPane::positionOf(long position) const {
  auto* self = const_cast<ModelPane*>(this);
  const int line = static_cast<int>(self->SendScintilla(SCI_LINEFROMPOSITION, position));
  return {line, static_cast<int>(position - self->SendScintilla(SCI_POSITIONFROMLINE, line))};
}

void ModelPane::goToLine(int line, int column) {
  const long position = positionAt(line, column);
  SendScintilla(SCI_GOTOPOS, position);
  ensureLineVisible(line);
  SendScintilla(SCI_SCROLLCARET);
  setFocus();
}

void ModelPane::refreshNow() {
  diagnosticsTimer_.stop();
  const std::string text = textUtf8();
  const std::string path = path_.toStdString();
  index_ = language::indexModel(text, path);
  diagnostics_ = language::diagnose(text, path, *index_);
  applyDiagnostics();
  emit diagnosticsChanged();
}

std::vector<language::OutlineSymbol> ModelPane::outline() const {
  if (!index_) return {};
  return language::documentSymbols(*index_);
}

void ModelPane::fillIndicator(int indicator, const language::Range& range) {
  const long from = positionAt(range.start.line, range.start.column);
  long to = positionAt(range.end.line, range.end.column);
  if (to <= from) to = SendScintilla(SCI_GETLINEENDPOSITION, range.start.line);
  if (to <= from) return;
  SendScintilla(SCI_SETINDICATORCURRENT, indicator);
  SendScintilla(SCI_INDICATORFILLRANGE, from, to - from);
}

void ModelPane::applyDiagnostics() {
  const long length = SendScintilla(SCI_GETLENGTH);
  for (const int indicator : {kErrorIndicator, kWarningIndicator}) {
    SendScintilla(SCI_SETINDICATORCURRENT, indicator);
    SendScintilla(SCI_INDICATORCLEARRANGE, 0L, length);
  }
  markerDeleteAll(kErrorMarker);
  markerDeleteAll(kWarningMarker);
  clearAnnotations();
  // One annotation per line, its messages one under the other.
  std::map<int, std::pair<QString, bool>> notes;
  for (const language::Diagnostic& diagnostic : diagnostics_) {
    const bool error = diagnostic.severity == language::Severity::kError;
    fillIndicator(error ? kErrorIndicator : kWarningIndicator, diagnostic.range);
    const int line = diagnostic.range.start.line;
    markerAdd(line, error ? kErrorMarker : kWarningMarker);
    auto& note = notes[line];
    if (!note.first.isEmpty()) note.first += '\n';
    note.first += QString::fromStdString(diagnostic.message);
    note.second = note.second || error;
  }
  if (runErrorLine_ > 0) {
    auto& note = notes[runErrorLine_ - 1];
    if (!note.first.isEmpty()) note.first += '\n';
    note.first += runErrorText_;
    note.second = true;
  }
  for (const auto& [line, note] : notes) {
    annotate(line, note.first, note.second ? kAnnotationErrorStyle : kAnnotationWarningStyle);
  }
}

void ModelPane::markRunError(int line, const QString& message) {
  clearRunError();
  if (line <= 0 || line > lines()) return;
  runErrorLine_ = line;
  runErrorText_ = message;
  markerAdd(line - 1, kRunErrorMarker);
  const long from = SendScintilla(SCI_POSITIONFROMLINE, line - 1);
  const long to = SendScintilla(SCI_GETLINEENDPOSITION, line - 1);
  SendScintilla(SCI_SETINDICATORCURRENT, kRunErrorIndicator);
  SendScintilla(SCI_INDICATORFILLRANGE, from, std::max(1L, to - from));
  applyDiagnostics();
  goToLine(line - 1);
}

void ModelPane::clearRunError() {
  if (runErrorLine_ == 0) return;
  runErrorLine_ = 0;
  runErrorText_.clear();
  markerDeleteAll(kRunErrorMarker);
  SendScintilla(SCI_SETINDICATORCURRENT, kRunErrorIndicator);
  SendScintilla(SCI_INDICATORCLEARRANGE, 0L, SendScintilla(SCI_GETLENGTH));
  applyDiagnostics();
}

void ModelPane::showHover(int position, int x, int y) {
  if (position < 0 || !index_) return;
  const language::Position at = positionOf(position);
  QString shown;
  for (const language::Diagnostic& diagnostic : diagnostics_) {
    if (diagnostic.range.contains(at))
      shown += QString::fromStdString(diagnostic.message).toHtmlEscaped() + "<hr>";
  }
  if (const auto hover = language::hoverAt(*index_, at)) {
    QTextDocument document;
    document.setMarkdown(QString::fromStdString(hover->markdown));
    shown += document.toHtml();
  }
  if (shown.isEmpty()) return;
  QToolTip::showText(viewport()->mapToGlobal(QPoint(x, y)), shown, this);
}

void ModelPane::showCompletions() {
  refreshNow();
  const auto completions =
      language::completionsAt(*index_, positionOf(SendScintilla(SCI_GETCURRENTPOS)));
  completionLabels_.clear();
  completionTexts_.clear();
  completionSnippets_.clear();
  QStringList labels;
  for (const language::Completion& completion : completions) {
    labels << QString::fromStdString(completion.label);
    completionLabels_.push_back(completion.label);
    completionTexts_.push_back(completion.insertText.empty() ? completion.label
                                                             : completion.insertText);
    completionSnippets_.push_back(completion.snippet);
  }
  if (!labels.isEmpty()) showUserList(1, labels);
}

void ModelPane::insertCompletion(int id, const QString& label) {
  if (id != 1) return;
  const std::string chosen = label.toStdString();
  size_t k = 0;
  while (k < completionLabels_.size() && completionLabels_[k] != chosen) ++k;
  if (k == completionLabels_.size()) return;
  // The word typed so far is replaced by the completion.
  const long caret = SendScintilla(SCI_GETCURRENTPOS);
  long start = caret;
  const QByteArray line = text(positionOf(caret).line).toUtf8();
  const long lineStart = positionAt(positionOf(caret).line, 0);
  while (start > lineStart) {
    const char c = line[static_cast<int>(start - lineStart - 1)];
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == ':' || c == '_')) break;
    --start;
  }
  int selectFrom = -1, selectLength = 0;
  const QString inserted =
      completionSnippets_[k]
          ? expandSnippet(QString::fromStdString(completionTexts_[k]), selectFrom, selectLength)
          : QString::fromStdString(completionTexts_[k]);
  beginUndoAction();
  SendScintilla(SCI_SETSEL, start, caret);
  const QByteArray bytes = inserted.toUtf8();
  SendScintilla(SCI_REPLACESEL, bytes.constData());
  endUndoAction();
  if (selectFrom >= 0)
    SendScintilla(SCI_SETSEL, start + selectFrom, start + selectFrom + selectLength);
}

void ModelPane::goToDefinition() {
  refreshNow();
  const auto found = language::definitionAt(*index_, positionOf(SendScintilla(SCI_GETCURRENTPOS)));
  if (found.empty() || found.front().file == nullptr) return;
  const language::Location& target = found.front();
  if (target.file == index_.get()) {
    goToLine(target.range.start.line, target.range.start.column);
  } else {
    emit openLocation(QString::fromStdString(target.file->path), target.range.start.line,
                      target.range.start.column);
  }
}

void ModelPane::openIncludedFile() {
  refreshNow();
  int line = 0, column = 0;
  getCursorPosition(&line, &column);
  const int at = index_->statementAt(line);
  if (at < 0 || index_->statements[static_cast<size_t>(at)].keyword != ".include") {
    emit notice(tr("The caret is not on an .include line."));
    return;
  }
  const language::Statement& statement = index_->statements[static_cast<size_t>(at)];
  if (const language::FileIndex* included = index_->includedBy(statement)) {
    emit openLocation(QString::fromStdString(included->path), 0, 0);
  } else {
    emit notice(tr("The included file %1 cannot be read.")
                    .arg(QString::fromStdString(statement.includePath)));
  }
}

void ModelPane::contextMenuEvent(QContextMenuEvent* event) {
  // The pointer's place first, as a click there would put it.
  if (event->reason() == QContextMenuEvent::Mouse) {
    const long position =
        SendScintilla(SCI_POSITIONFROMPOINTCLOSE, event->pos().x(), event->pos().y());
    if (position >= 0 && !hasSelectedText()) SendScintilla(SCI_GOTOPOS, position);
  }
  QMenu* menu = createStandardContextMenu();
  if (menu == nullptr) return;
  menu->addSeparator();
  menu->addAction(tr("Go to Definition"), this, &ModelPane::goToDefinition);
  menu->addAction(tr("Open Included File"), this, &ModelPane::openIncludedFile);
  menu->exec(event->globalPos());
  delete menu;
}

void ModelPane::mouseReleaseEvent(QMouseEvent* event) {
  QsciScintilla::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier))
    goToDefinition();
}

}  // namespace movra::editor
