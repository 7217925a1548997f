// Colours a model in the editor pane: the runs of model_styles painted through
// QScintilla's custom lexer.
#pragma once

#include <Qsci/qscilexercustom.h>

namespace movra::editor {

class ModelLexer : public QsciLexerCustom {
  Q_OBJECT
 public:
  explicit ModelLexer(QObject* parent = nullptr);
  const char* language() const override { return "movra model"; }
  QString description(int style) const override;
  QColor defaultColor(int style) const override;
  QFont defaultFont(int style) const override;
  void styleText(int start, int end) override;
};

}  // namespace movra::editor
