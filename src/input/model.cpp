#include "input/model.h"

#include <new>

namespace movra {

void resetModel(Model& model) {
  // Value-initialisation zeroes every array and then applies the member defaults.
  model.~Model();
  new (&model) Model();
  model.lastRecordIndex = -1;
  for (auto& record : model.records) record.elementNumber = -1;
  for (int i = 0; i < kNodeCount; ++i) model.nodes.nodeMap[i] = -1;
  for (int i = 0; i < kNodeListCount; ++i) model.nodes.nodeList[i] = -1;
  model.controlKeys.lastRowIndex = -1;
}

std::unique_ptr<Model> makeModel() {
  auto model = std::make_unique<Model>();
  resetModel(*model);
  return model;
}

}  // namespace movra
