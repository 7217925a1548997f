#include "editor/find_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

namespace movra::editor {

FindDialog::FindDialog(std::function<ModelPane*()> pane, QWidget* parent)
    : QDialog(parent), pane_(std::move(pane)) {
  setWindowTitle(tr("Find and Replace"));
  auto* form = new QFormLayout(this);
  find_ = new QLineEdit(this);
  replace_ = new QLineEdit(this);
  matchCase_ = new QCheckBox(tr("Match case"), this);
  form->addRow(tr("Find:"), find_);
  form->addRow(tr("Replace with:"), replace_);
  form->addRow(matchCase_);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* next = buttons->addButton(tr("Find Next"), QDialogButtonBox::ActionRole);
  QPushButton* one = buttons->addButton(tr("Replace"), QDialogButtonBox::ActionRole);
  QPushButton* all = buttons->addButton(tr("Replace All"), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Close);
  form->addRow(buttons);
  next->setDefault(true);
  connect(next, &QPushButton::clicked, this, &FindDialog::findNext);
  connect(one, &QPushButton::clicked, this, &FindDialog::replaceOne);
  connect(all, &QPushButton::clicked, this, &FindDialog::replaceAll);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
}

void FindDialog::showFor(const QString& selected) {
  if (!selected.isEmpty() && !selected.contains('\n')) find_->setText(selected);
  show();
  raise();
  activateWindow();
  find_->setFocus();
  find_->selectAll();
}

bool FindDialog::findNext() {
  ModelPane* pane = pane_();
  if (pane == nullptr || find_->text().isEmpty()) return false;
  return pane->findFirst(find_->text(), false, matchCase_->isChecked(), false, true);
}

void FindDialog::replaceOne() {
  ModelPane* pane = pane_();
  if (pane == nullptr) return;
  if (pane->hasSelectedText() &&
      pane->selectedText().compare(
          find_->text(), matchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0) {
    pane->replace(replace_->text());
  }
  findNext();
}

void FindDialog::replaceAll() {
  ModelPane* pane = pane_();
  if (pane == nullptr || find_->text().isEmpty()) return;
  // One undo step for the whole replacement.
  pane->beginUndoAction();
  pane->setCursorPosition(0, 0);
  int count = 0;
  if (pane->findFirst(find_->text(), false, matchCase_->isChecked(), false, false)) {
    do {
      pane->replace(replace_->text());
      ++count;
    } while (pane->findNext() && count < 100000);
  }
  pane->endUndoAction();
}

}  // namespace movra::editor
