#include "input/model.h"

#include <new>

namespace movra {

namespace {

// What a fresh start has beyond zeros.
void setFreshValues(Model& model) {
  model.lastRecordIndex = -1;
  for (auto& record : model.records) record.elementNumber = -1;
  for (int i = 0; i < kNodeCount; ++i) model.nodes.nodeMap[i] = -1;
  for (int i = 0; i < kNodeListCount; ++i) model.nodes.nodeList[i] = -1;
  model.controlKeys.lastRowIndex = -1;
}

}  // namespace

void resetModel(Model& model) {
  // Value-initialisation zeroes every array and then applies the member defaults.
  model.~Model();
  new (&model) Model();
  setFreshValues(model);
}

std::unique_ptr<Model> makeModel() {
  // make_unique value-initialises, as resetModel does: zeroing the megabytes a
  // second time would only cost time.
  auto model = std::make_unique<Model>();
  setFreshValues(*model);
  return model;
}

}  // namespace movra
