#include "editor/model_tab.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace movra::editor {

ModelTab::ModelTab(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  bar_ = new QWidget(this);
  bar_->setObjectName(QStringLiteral("viewEditBar"));
  bar_->setStyleSheet(
      QStringLiteral("#viewEditBar { background: #fff8d8; border-bottom: 1px solid #d8c880; }"));
  auto* barLayout = new QHBoxLayout(bar_);
  barText_ = new QLabel(bar_);
  barText_->setTextFormat(Qt::RichText);
  barText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  accept_ = new QPushButton(tr("Apply"), bar_);
  accept_->setObjectName(QStringLiteral("acceptViewEdit"));
  auto* dismiss = new QPushButton(tr("Dismiss"), bar_);
  barLayout->addWidget(barText_, 1);
  barLayout->addWidget(accept_);
  barLayout->addWidget(dismiss);
  bar_->hide();
  pane_ = new ModelPane(this);
  layout->addWidget(bar_);
  layout->addWidget(pane_, 1);
  connect(accept_, &QPushButton::clicked, this, &ModelTab::acceptViewEdit);
  connect(dismiss, &QPushButton::clicked, this, [this] {
    proposal_ = {};
    bar_->hide();
  });
}

void ModelTab::proposeViewEdit(int dataWord, const std::string& reportText) {
  const ViewEdit edit = movra::editor::proposeViewEdit(
      pane_->textUtf8(), pane_->path().toStdString(), dataWord, reportText);
  proposal_ = edit;
  proposalWord_ = dataWord;
  proposalText_ = reportText;
  const auto code = [](const std::string& text) {
    // Blanks kept as they are: the columns of a model line mean something.
    return QStringLiteral("<code>%1</code>")
        .arg(QString::fromStdString(text).toHtmlEscaped().replace(' ', QStringLiteral("&nbsp;")));
  };
  switch (edit.kind) {
    case ViewEdit::Kind::kReplace:
      barText_->setText(tr("The simulator proposes for line %1:<br>old: %2<br>new: %3")
                            .arg(edit.line + 1)
                            .arg(code(edit.oldLine), code(edit.newLine)));
      break;
    case ViewEdit::Kind::kInsert:
      barText_->setText(
          tr("The model has no .vc line; the simulator proposes to insert at line %1:<br>%2")
              .arg(edit.line + 1)
              .arg(code(edit.newLine)));
      break;
    case ViewEdit::Kind::kIncluded:
      barText_->setText(
          tr("The .vc line is in the included file %1 (line %2); it is not edited from here.")
              .arg(QString::fromStdString(edit.includedFile).toHtmlEscaped())
              .arg(edit.includedLine + 1));
      break;
    case ViewEdit::Kind::kInvalid:
      return;
  }
  accept_->setVisible(hasProposal());
  bar_->show();
}

bool ModelTab::acceptViewEdit() {
  if (!hasProposal()) return false;
  // The text may have changed since the report came: the edit is placed again.
  const ViewEdit edit = movra::editor::proposeViewEdit(
      pane_->textUtf8(), pane_->path().toStdString(), proposalWord_, proposalText_);
  proposal_ = {};
  bar_->hide();
  if (edit.kind != ViewEdit::Kind::kReplace && edit.kind != ViewEdit::Kind::kInsert) return false;
  const QByteArray line = QString::fromStdString(edit.newLine).toUtf8();
  pane_->beginUndoAction();
  if (edit.kind == ViewEdit::Kind::kReplace) {
    const long from = pane_->positionAt(edit.line, 0);
    const long to = pane_->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, edit.line);
    pane_->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, from, to);
    pane_->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET,
                         static_cast<unsigned long>(line.size()), line.constData());
  } else if (edit.line < pane_->lines()) {
    const QByteArray inserted = line + '\n';
    pane_->SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, pane_->positionAt(edit.line, 0),
                         inserted.constData());
  } else {
    // After a last line that has no line break.
    const QByteArray inserted = '\n' + line + '\n';
    pane_->SendScintilla(QsciScintillaBase::SCI_INSERTTEXT,
                         pane_->SendScintilla(QsciScintillaBase::SCI_GETLENGTH),
                         inserted.constData());
  }
  pane_->endUndoAction();
  pane_->goToLine(edit.line);
  return true;
}

RunSession* ModelTab::runOf(long pid) const {
  for (const auto& run : runs_) {
    if (run->processId() == pid) return run.get();
  }
  return nullptr;
}

}  // namespace movra::editor
