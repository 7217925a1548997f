// A model and a run assembled by hand for tests of element evaluators: elements on
// given unknown indices, without the model reader or the allocation.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <memory>

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"
#include "support/model_fixture.h"

namespace movra::testing {

class ElementFixture : public ::testing::Test {
 protected:
  // An element with its unknown indices in slots 1.. (0 = ground) and parameters
  // P1..; its statement record is the record of its row.
  ElementEntry& add(int typeCode, std::initializer_list<int> unknowns,
                    std::initializer_list<double> parameters) {
    const int row = ++model->count.elements;
    ElementEntry& element = model->elements[row];
    element = ElementEntry{};
    model->records[row].flags = 0;
    element.typeCode = typeCode;
    element.statementLine = row;
    std::snprintf(element.text, sizeof element.text, "element %d of code %d", row, typeCode);
    int slot = 1;
    for (int unknown : unknowns) {
      element.variableSlots[slot++] = unknown;
      run->unknownCount = std::max(run->unknownCount, unknown);
    }
    slot = 1;
    for (double value : parameters) element.realSlots[slot++] = value;
    return element;
  }

  void setX(std::initializer_list<double> values) {
    std::copy(values.begin(), values.end(), run->X + 1);
  }
  double store(int id) const { return model->parameters.get(id); }

  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<movra::Run> run = makeRun();
  Reporter reporter;
  MessageLog log;
};

}  // namespace movra::testing
