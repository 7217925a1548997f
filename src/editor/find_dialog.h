// Find and replace in the current model pane, with QScintilla's own search.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <functional>

#include "editor/model_pane.h"

namespace movra::editor {

class FindDialog : public QDialog {
  Q_OBJECT
 public:
  // pane() gives the pane the dialog works on at each press.
  FindDialog(std::function<ModelPane*()> pane, QWidget* parent = nullptr);
  void showFor(const QString& selected);

 private:
  bool findNext();
  void replaceOne();
  void replaceAll();

  std::function<ModelPane*()> pane_;
  QLineEdit* find_ = nullptr;
  QLineEdit* replace_ = nullptr;
  QCheckBox* matchCase_ = nullptr;
};

}  // namespace movra::editor
