// A tab of the editor: a model pane, the bar that proposes a ".vc" edit from the
// simulator, and the runs started from it.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <memory>
#include <vector>

#include "editor/model_pane.h"
#include "editor/run_session.h"
#include "editor/view_edit.h"

namespace movra::editor {

class ModelTab : public QWidget {
  Q_OBJECT
 public:
  explicit ModelTab(QWidget* parent = nullptr);

  ModelPane* pane() const { return pane_; }

  // Shows the edit the simulator's view or scales report (data word and text)
  // asks for; Apply makes it.
  void proposeViewEdit(int dataWord, const std::string& reportText);
  // Makes the shown edit as one undo step, placed on the text as it is by then;
  // false when none is shown.
  bool acceptViewEdit();
  bool hasProposal() const {
    return proposal_.kind == ViewEdit::Kind::kReplace || proposal_.kind == ViewEdit::Kind::kInsert;
  }

  // Runs of this tab, newest last; those whose simulator has gone are dropped.
  std::vector<std::unique_ptr<RunSession>>& runs() { return runs_; }
  RunSession* latestRun() const { return runs_.empty() ? nullptr : runs_.back().get(); }
  RunSession* runOf(long pid) const;

 private:
  ModelPane* pane_ = nullptr;
  QWidget* bar_ = nullptr;
  QLabel* barText_ = nullptr;
  QPushButton* accept_ = nullptr;
  ViewEdit proposal_;
  int proposalWord_ = 0;
  std::string proposalText_;
  std::vector<std::unique_ptr<RunSession>> runs_;
};

}  // namespace movra::editor
