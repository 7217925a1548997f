#include "engine/singularity.h"

#include <cstdio>

#include "input/model_checks.h"

namespace movra {

namespace {

constexpr int kSlotsToSearch = 10;
constexpr int kDomainNodes = 200;

const char* domainWord(int kind) {
  switch (kind) {
    case 2:
      return "電位（電気）";
    case 3:
      return "圧力（流体）";
    case 4:
      return "磁位（磁気）";
    case 5:
      return "温度（熱）";
    default:
      return "ポテンシャル";
  }
}

const char* axisWord(int component) {
  switch (component) {
    case 1:
      return "x";
    case 2:
      return "y";
    default:
      return "回転角";
  }
}

int keyOf(const Run& run, int unknown) {
  for (int key = 1; key < kUnknownKeyCapacity; ++key) {
    if (run.unknownOfKey[key] == unknown) return key;
  }
  return 0;
}

// The first element (in model order) whose slots name the unknown; 0 for none.
int firstElementOf(const Model& model, int unknown, int& slot) {
  const int count = model.count.elements < kElementCapacity ? model.count.elements
                                                            : kElementCapacity - 1;
  for (int row = 1; row <= count; ++row) {
    for (int s = 1; s <= kSlotsToSearch; ++s) {
      if (model.elements[row].variableSlots[s] == unknown) {
        slot = s;
        return row;
      }
    }
  }
  return 0;
}

}  // namespace

SingularityNote describeFailedUnknown(Model& model, const Run& run) {
  SingularityNote note;
  const int unknown = run.failedColumn;
  if (unknown <= 0 || unknown > run.unknownCount) return note;
  const int key = keyOf(run, unknown);
  char what[96] = {};  // the longest: "節 <int> の速度 <axis>"
  if (key >= kFirstInternalKey) {
    std::snprintf(what, sizeof what, "要素の固有の未知数");
  } else if (key >= kVelocityKeyOffset) {
    const int node = (key - kVelocityKeyOffset) / 10;
    std::snprintf(what, sizeof what, "節 %d の速度 %s", node, axisWord(key % 10));
  } else if (key >= kPotentialKeyOffset && key - kPotentialKeyOffset < kDomainNodes &&
             model.nodes.kind[key - kPotentialKeyOffset] >= 2) {
    const int node = key - kPotentialKeyOffset;
    std::snprintf(what, sizeof what, "節 %d の%s", node, domainWord(model.nodes.kind[node]));
  } else {
    std::snprintf(what, sizeof what, "節 %d の %s", key / 10, axisWord(key % 10));
  }
  int slot = 0;
  const int row = firstElementOf(model, unknown, slot);
  if (row == 0) {
    std::snprintf(note.text, sizeof note.text,
                  " 決まらない未知数 %d：%s（どの要素の式にも無い） ", unknown, what);
    return note;
  }
  ElementEntry& element = model.elements[row];
  element.text[sizeof element.text - 1] = '\0';
  std::snprintf(note.text, sizeof note.text,
                " 決まらない未知数 %d：%s（この要素の %d 番目の未知数。行か列が空、又は他と従属） ",
                unknown, what, slot);
  note.line = element.text;
  return note;
}

}  // namespace movra
