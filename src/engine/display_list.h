// The display list of one recorded frame: shapes the evaluators record, each an
// item (kind, start in the number pool, tag) and its numbers in the pool.
#pragma once

#include <initializer_list>

namespace movra {

inline constexpr int kDisplayItemLimit = 1001;   // items 1..1001
inline constexpr int kPoolCapacity = 10013;      // numbers 1..

struct DisplayList {
  int count = 0;                       // c
  int cursor = 0;                      // p, numbers used
  int currentTag = 0;
  int kind[kDisplayItemLimit + 1] = {};
  int start[kDisplayItemLimit + 1] = {};
  int tag[kDisplayItemLimit + 1] = {};
  int statement[kDisplayItemLimit + 1] = {};  // kind 32: the statement it shows
  double pool[kPoolCapacity + 1] = {};

  void clear() {
    count = 0;
    cursor = 0;
  }

  // Appends one item; past the limits the shape is dropped without a word.
  void record(int itemKind, std::initializer_list<double> reals, std::initializer_list<int> integers) {
    if (count > 1000 || cursor >= 10001) return;
    if (cursor + static_cast<int>(reals.size() + integers.size()) > kPoolCapacity) return;
    ++count;
    kind[count] = itemKind;
    start[count] = cursor;
    tag[count] = currentTag;
    statement[count] = 0;
    for (double value : reals) pool[++cursor] = value;
    for (int value : integers) pool[++cursor] = value;
  }
};

// The recorder family: the same behaviour with the shapes' own numbers.
inline void recordShape1(DisplayList& list, double a, double b, double c, double d, double e, double f,
                         double g, double h, int i) {
  list.record(1, {a, b, c, d, e, f, g, h}, {i});
}
inline void recordShape2(DisplayList& list, double a, double b, double c, double d, double e, int f, int g) {
  list.record(2, {a, b, c, d, e}, {f, g});
}
inline void recordShape21(DisplayList& list, double a, double b, double c, double d, int e, int f, int g) {
  list.record(21, {a, b, c, d}, {e, f, g});
}
inline void recordShape3(DisplayList& list, double a, double b, double c, double d, int e, int f) {
  list.record(3, {a, b, c, d}, {e, f});
}
inline void recordShape4(DisplayList& list, double a, double b, double c, int d) {
  list.record(4, {a, b, c}, {d});
}
inline void recordShape6(DisplayList& list, double a, double b, double c, double d, double e, int f, int g) {
  list.record(6, {a, b, c, d, e}, {f, g});
}
inline void recordShape7(DisplayList& list, double a, double b, double c, double d, double e, int f, int g) {
  list.record(7, {a, b, c, d, e}, {f, g});
}
inline void recordShape8(DisplayList& list, double a, double b, double c, int d, int e) {
  list.record(8, {a, b, c}, {d, e});
}

}  // namespace movra
