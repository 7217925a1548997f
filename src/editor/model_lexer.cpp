#include "editor/model_lexer.h"

#include <Qsci/qsciscintilla.h>

#include <QFontDatabase>
#include <string>
#include <vector>

#include "editor/model_styles.h"

namespace movra::editor {

ModelLexer::ModelLexer(QObject* parent) : QsciLexerCustom(parent) {}

QString ModelLexer::description(int style) const {
  switch (static_cast<TextStyle>(style)) {
    case TextStyle::kDefault:
      return QStringLiteral("Default");
    case TextStyle::kKeyword:
      return QStringLiteral("Keyword");
    case TextStyle::kNumber:
      return QStringLiteral("Number");
    case TextStyle::kNode:
      return QStringLiteral("Node");
    case TextStyle::kReference:
      return QStringLiteral("Reference");
    case TextStyle::kAnnotation:
      return QStringLiteral("Annotation");
    case TextStyle::kComment:
      return QStringLiteral("Comment");
    case TextStyle::kLabel:
      return QStringLiteral("Label");
  }
  return {};
}

QColor ModelLexer::defaultColor(int style) const {
  switch (static_cast<TextStyle>(style)) {
    case TextStyle::kKeyword:
      return QColor(0x00, 0x33, 0x99);
    case TextStyle::kNumber:
      return QColor(0x09, 0x86, 0x58);
    case TextStyle::kNode:
      return QColor(0x8a, 0x2b, 0xa8);
    case TextStyle::kReference:
      return QColor(0xa3, 0x50, 0x00);
    case TextStyle::kAnnotation:
      return QColor(0x00, 0x7a, 0x7a);
    case TextStyle::kComment:
      return QColor(0x6a, 0x73, 0x7d);
    case TextStyle::kLabel:
      return QColor(0xb0, 0x30, 0x60);
    default:
      return QColor(0x20, 0x20, 0x20);
  }
}

QFont ModelLexer::defaultFont(int style) const {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  if (static_cast<TextStyle>(style) == TextStyle::kKeyword) font.setBold(true);
  if (static_cast<TextStyle>(style) == TextStyle::kComment) font.setItalic(true);
  return font;
}

void ModelLexer::styleText(int start, int end) {
  QsciScintilla* pane = editor();
  if (pane == nullptr) return;
  // Whole lines are styled: a line's colours depend on where it starts.
  int firstLine = 0, index = 0, lastLine = 0;
  pane->lineIndexFromPosition(start, &firstLine, &index);
  pane->lineIndexFromPosition(end, &lastLine, &index);
  // Lines after ".ic" are the model's notes, not statements: they stay plain.
  const auto isEnd = [](const std::string& text) {
    return text.rfind(".ic", 0) == 0 && (text.size() == 3 || text[3] == ' ' || text[3] == '\t' ||
                                         text[3] == '\r' || text[3] == '\n' || text[3] == '/');
  };
  bool ended = false;
  for (int line = 0; line < firstLine && !ended; ++line)
    ended = isEnd(pane->text(line).toStdString());
  for (int line = firstLine; line <= lastLine && line < pane->lines(); ++line) {
    const long lineStart = pane->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    const long lineEnd = pane->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, line);
    const std::string text =
        pane->text(line).toStdString().substr(0, static_cast<size_t>(lineEnd - lineStart));
    startStyling(static_cast<int>(lineStart));
    size_t at = 0;
    const std::vector<StyleRun> runs = ended ? std::vector<StyleRun>{} : styleModelLine(text);
    ended = ended || isEnd(text);
    for (const StyleRun& run : runs) {
      if (run.start > at)
        setStyling(static_cast<int>(run.start - at), static_cast<int>(TextStyle::kDefault));
      setStyling(static_cast<int>(run.length), static_cast<int>(run.style));
      at = run.start + run.length;
    }
    const long full = pane->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line + 1);
    const long rest =
        (line + 1 < pane->lines() ? full : lineEnd) - lineStart - static_cast<long>(at);
    if (rest > 0) setStyling(static_cast<int>(rest), static_cast<int>(TextStyle::kDefault));
  }
}

}  // namespace movra::editor
