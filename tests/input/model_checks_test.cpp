#include "input/model_checks.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "input/model_text.h"
#include "input/statement_reader.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

using testing::MessageLog;
using testing::RecordLine;
using Keys = std::array<int, 10>;

constexpr int kMechanical = 1;
constexpr int kElectrical = 2;

class ModelChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model = makeModel();
    reporter.setSink(log.sink());
  }
  // Hands the lines over; the node tables and records may be changed before run().
  void handOver(const std::vector<RecordLine>& lines) { testing::handOver(*model, lines); }
  int run() {
    if (numberModelText(*model, reporter, "") != 0) return -1;
    return readStatements(*model, reporter);
  }
  int read(const std::vector<RecordLine>& lines) {
    handOver(lines);
    return run();
  }
  void restart() {
    resetModel(*model);
    log.texts.clear();
  }
  // A node the editor placed: kind, position, and a place in the node list.
  void place(int node, double x, double y, int kind = kMechanical) {
    model->nodes.kind[node] = kind;
    model->nodes.x[node] = x;
    model->nodes.y[node] = y;
    int i = 0;
    while (model->nodes.nodeList[i] >= 0) ++i;
    model->nodes.nodeList[i] = node;
  }
  Keys keys(int element) const {
    Keys out{};
    for (int s = 1; s <= 10; ++s) out[s - 1] = model->elements[element].variableSlots[s];
    return out;
  }
  // The message starts with the text and quotes the statement of the record.
  bool reported(const std::string& text, int record, const std::string& line) const {
    char marker[16];
    std::snprintf(marker, sizeof marker, "$%3d  ", record);
    const std::string expected = text + marker + line;
    for (const std::string& message : log.texts) {
      if (message.rfind(expected, 0) == 0) return true;
    }
    return false;
  }

  std::unique_ptr<Model> model;
  Reporter reporter;
  MessageLog log;
};

RecordLine ground() {
  return {"R 99 0, 1", 23, 0, 0, {"1"}};
}

// ---------------------------------------------------------------- joint rules

TEST_F(ModelChecksTest, WheelNeedsARigidSecondNode) {
  EXPECT_EQ(read({{"wh 0n 5p", 16}}), 9);
  EXPECT_TRUE(reported(" 節は剛接？ \n\n ", 0, "wh 0n 5p"));

  restart();
  ASSERT_EQ(read({{"wh 0n 5n", 16}}), 0);
  EXPECT_EQ(keys(1), (Keys{51, 52, 50}));
}

TEST_F(ModelChecksTest, GearPairWithAPinIsReportedOnceAndReadAsRigid) {
  ASSERT_EQ(read({{"st 1p 2p", 15}, {"st 3n 4p", 15}}), 0);
  ASSERT_EQ(log.texts.size(), 2u);  // one per element, not one per pin
  EXPECT_TRUE(reported(" 節は剛接？ \n\n ", 0, "st 1p 2p"));
  EXPECT_EQ(keys(1), (Keys{11, 12, 10, 21, 22, 20}));
  EXPECT_EQ(keys(2), (Keys{31, 32, 30, 41, 42, 40}));
  EXPECT_EQ(model->elements[1].node[2], 20);
  EXPECT_EQ(model->elements[1].terminalMark[2], -10);
}

TEST_F(ModelChecksTest, ContactNeedsRigidEndsAndTwoRadii) {
  EXPECT_EQ(read({{"cb 1n 2n", 62, 0, 0, {"0.1", "0"}}}), 9);
  EXPECT_TRUE(reported(" 半径が？ \n\n ", 0, "cb 1n 2n"));

  restart();
  EXPECT_EQ(read({{"gs 1n 2n", 13, 0, 0, {"0", "0.1"}}}), 9);
  EXPECT_TRUE(reported(" 半径が？ \n\n ", 0, "gs 1n 2n"));

  restart();
  EXPECT_EQ(read({{"cb 1n 2p", 62, 0, 0, {"0.1", "0.2"}}}), 9);
  EXPECT_TRUE(reported(" 節に剛接？ \n\n ", 0, "cb 1n 2p"));

  restart();
  ASSERT_EQ(read({{"cb 1n 2n", 62, 0, 0, {"0.1", "0.2"}}}), 0);
  EXPECT_EQ(keys(1), (Keys{11, 12, 10, 21, 22, 20, 3000}));
}

TEST_F(ModelChecksTest, JointsThatMustBeRigidNameTheirOwnFault) {
  const struct {
    RecordLine line;
    std::string text;
  } cases[] = {
      {{"pc 1n 2p", 17}, " 節に剛接？ 10 21 \n\n "},
      {{"pu 1p 2n", 14}, " 節に剛接、リンク要素でピン接を用意？ \n\n "},
      {{"tr 1n 2p", 10}, " 節に剛接？ \n\n "},
      {{"fc 1p 2n", 18}, " 節に剛接？ \n\n "},
  };
  for (const auto& c : cases) {
    restart();
    EXPECT_EQ(read({c.line}), 9);
    EXPECT_TRUE(reported(c.text, 0, c.line.text)) << c.line.text;
  }
}

// The reader already demands suffixes below type code 20; the rules go by keyword,
// so an element handed over with a higher code still meets them.
TEST_F(ModelChecksTest, SuffixRulesGoByKeyword) {
  EXPECT_EQ(read({{"ls 1n 2", 62}}), 9);
  EXPECT_TRUE(reported(" 節ｉｄに n か p が？ \n\n ", 0, "ls 1n 2"));
  restart();
  EXPECT_EQ(read({{"lr 1 2n", 62}}), 9);
  EXPECT_TRUE(reported(" 節ｉｄが？ \n\n ", 0, "lr 1 2n"));
  restart();
  EXPECT_EQ(read({{"lb 1 2p", 62}}), 9);
  EXPECT_TRUE(reported(" 節ｉｄが？ \n\n ", 0, "lb 1 2p"));
  restart();
  EXPECT_EQ(read({{"mj 0n 5", 62}}), 9);
  EXPECT_TRUE(reported(" 節のｉｄが？.. \n\n　", 0, "mj 0n 5"));
  restart();
  EXPECT_EQ(read({{"sp 1n 2", 62}}), 9);
  EXPECT_TRUE(reported(" 節のｉｄが？.... \n\n ", 0, "sp 1n 2"));
}

TEST_F(ModelChecksTest, PinEndsOfLinksTurnOnTheirOwnAngle) {
  ASSERT_EQ(read({{"lr 2n 1p", 6}, {"lb 0p 3n", 7}, {"ls 4p 5p", 8}}), 0);
  EXPECT_EQ(keys(1), (Keys{21, 22, 20, 11, 12, 3000, 3001, 3002, 3003}));
  // Pinned to the ground: fixed position, free angle.
  EXPECT_EQ(keys(2), (Keys{0, 0, 3004, 31, 32, 30}));
  EXPECT_EQ(keys(3), (Keys{41, 42, 3005, 51, 52, 3006, 3007, 3008}));
}

TEST_F(ModelChecksTest, SwitchNodesAreKeyedByTheirKind) {
  model->nodes.kind[3] = kMechanical;
  model->nodes.kind[4] = kElectrical;
  ASSERT_EQ(read({{"Sw 3 4", 27}, {"Sw 4 0", 27}}), 0);
  EXPECT_EQ(keys(1), (Keys{30, 1004, 3000}));
  EXPECT_EQ(keys(2), (Keys{1004, 0, 3001}));

  restart();
  model->nodes.kind[5] = 5;  // thermal
  EXPECT_EQ(read({{"Sw 5 0", 27}}), 9);
  EXPECT_TRUE(reported(" 節の用途が？ 5 5 \n\n ", 0, "Sw 5 0"));
  restart();
  EXPECT_EQ(read({{"Sw 0 6", 27}}), 9);  // a node no element gave a kind
  EXPECT_TRUE(reported(" 節の用途が？ 6 0 \n\n ", 0, "Sw 0 6"));
}

TEST_F(ModelChecksTest, InteractiveElementsTakeThePointerNodes) {
  model->handOverMode = 4;
  ASSERT_EQ(read({{"lr 1n 2n", 6}}), 0);
  // lr, then the three pointer springs and the pointer joint.
  ASSERT_EQ(model->count.elements, 5);
  EXPECT_EQ(keys(2), (Keys{0, 0, 0, 1991, 1992}));
  EXPECT_EQ(keys(3), (Keys{0, 0, 0, 1981, 1982}));
  EXPECT_EQ(keys(4), (Keys{1981, 1982, 0, 1991, 1992}));
  EXPECT_EQ(keys(5), (Keys{0, 0, 0, 1981, 1982, 1980, 3003, 3004, 3005}));
}

// ---------------------------------------------------------------- keys by type code

struct Walk {
  int typeCode;
  RecordLine line;
  Keys expected;
  std::vector<RecordLine> support = {};  // statements the element needs beside it
};

// One element of each type code, alone in its model (internal keys start at 3000),
// with the keys each slot must hold.
TEST_F(ModelChecksTest, EveryTypeCodeFillsTheSlotsOfItsFamily) {
  const Keys pair = {11, 12, 10, 21, 22, 20};
  const Keys pairAndOne = {11, 12, 10, 21, 22, 20, 3000};
  const Keys pairAndThree = {11, 12, 10, 21, 22, 20, 3000, 3001, 3002};
  const Keys two = {1003, 1004};
  const Keys twoAndOne = {1003, 1004, 3000};
  const Keys none = {};
  const RecordLine advectionIn{"Qs 40 3", 42, 0, 0, {"", "1"}};
  const RecordLine advectionOut{"Qs 4 41", 42, 0, 0, {"", "1"}};
  const std::vector<Walk> walks = {
      {1, {"x0 1n 2n", 1}, none},
      {2, {"f0 1n 2n", 2}, none},
      {3, {"s0 1n 2n", 3}, none},
      {4, {"d0 1n 2n", 4}, none},
      {5, {"sp 1n 2p", 5}, {11, 12, 0, 21, 22}},
      {6, {"lr 1n 2n", 6}, pairAndThree},
      {7, {"lb 1n 2n", 7}, pair},
      {8, {"ls 1n 2n", 8}, {11, 12, 10, 21, 22, 20, 3000, 3001}},
      {9, {"sp 1n 2n", 9}, pair},
      {10, {"tr 1n 2n", 10}, pair},
      {11, {"mj 0n 2n", 11}, {21, 22, 20, 2021, 2022, 2020}},
      {11, {"b 2n 0n", 11}, none},  // a body on the ground has no unknowns
      {12, {"gs 1n 2n", 12, 0, 0, {"1", "2"}}, pairAndOne},
      {13, {"gs 1n 2n", 13, 0, 0, {"1", "2"}}, pairAndOne},
      {14, {"pu 1n 2n", 14, 0, 0, {"1", "2"}}, pairAndOne},
      {15, {"st 1n 2n", 15}, pair},
      {16, {"wh 0n 2n", 16}, {21, 22, 20}},
      {17, {"pc 1n 2n", 17}, pairAndThree},
      {18, {"fc 1n 2n", 18}, pair},
      {19, {"m0 1n 2n", 19}, none},
      {20, {"Md 3 4", 20, 0, 0, {"1", "1", "0", "1", "2"}}, twoAndOne, {ground()}},
      {21, {"V 3 4", 21, 0, 0, {"5"}}, twoAndOne, {ground()}},
      {22, {"I 3 4", 22, 0, 0, {"1"}}, two, {ground()}},
      {23, {"R 3 4", 23, 0, 0, {"1"}}, twoAndOne, {ground()}},
      {24, {"C 3 4", 24, 0, 0, {"1u"}}, two, {ground()}},
      {25, {"D 3 4", 25}, two, {ground()}},
      {26, {"L 3 4", 26, 0, 0, {"1m"}}, twoAndOne, {ground()}},
      {27, {"Ry 3 4", 27}, twoAndOne, {ground()}},
      {28, {"Ma 3 4", 28}, two},
      // Port 2 (fields 3 and 4) takes its potential keys into slots 5 and 6.
      {29, {"Gr 3 4", 29, 0, 0, {"1", "1", "5", "6"}}, {1003, 1004, 3000, 3001, 1005, 1006},
       {ground()}},
      {30, {"n 3 4 5", 30}, none},
      {31, {"Q 3 4 5", 31}, {1003, 1004, 1005, 3000, 3001}, {ground()}},
      {32, {"M 3 4 5", 32}, {1003, 1004, 1005}, {ground()}},
      {33, {"f# 3 4 5", 33}, none},
      {34, {"fe 3 4 5", 34}, none},
      {35, {"U 3 4 5", 35}, {1003, 1004, 1005, 3000}, {ground()}},
      {36, {"b 3 4 5", 36}, none},
      {41, {"Ts 3 4", 41}, twoAndOne},
      {42, {"Qs 3 4", 42}, two},
      {43, {"Hc 3 4", 43, 0, 0, {"", "1"}}, {1003, 1004, 3000, 3001}},
      {44, {"Ne 3 4", 44}, two},
      {45, {"Ni 3 4", 45}, two},
      {46, {"Fe 3 4", 46}, two, {advectionIn, advectionOut}},
      {47, {"Fi 3 4", 47}, two, {advectionIn, advectionOut}},
      {48, {"Hr 3 4", 48, 0, 0, {"", "1"}}, two},
      {49, {"Hv 3 4", 49}, none},
      {51, {"Ps 3 4", 51}, twoAndOne},
      {52, {"Fs 3 4", 52}, twoAndOne},
      {53, {"Lf 3 4", 53}, twoAndOne},
      {54, {"Cy 3 4", 54}, two},
      {55, {"Ho 3 4", 55}, twoAndOne},
      {56, {"Hl 3 4", 56}, twoAndOne},
      {57, {"Ao 3 4", 57}, twoAndOne},
      {58, {"Al 3 4", 58}, twoAndOne},
      {62, {"cb 1n 2n", 62, 0, 0, {"1", "2"}}, pairAndOne},
      {65, {"tr 1n 2n", 65}, pair},
      {68, {"Mf 3 4", 68}, two},
      {69, {"Mr 3 4", 69}, two},
  };
  for (const Walk& walk : walks) {
    SCOPED_TRACE(walk.line.text);
    restart();
    std::vector<RecordLine> lines = {walk.line};
    lines.insert(lines.end(), walk.support.begin(), walk.support.end());
    ASSERT_EQ(read(lines), 0) << (log.texts.empty() ? "" : log.texts.back());
    ASSERT_EQ(model->elements[1].typeCode, walk.typeCode);
    EXPECT_EQ(keys(1), walk.expected);
  }
}

// ---------------------------------------------------------------- key faults

TEST_F(ModelChecksTest, FixedNodesGiveNoKeys) {
  ASSERT_EQ(read({{"R 150 -1", 23}, {"R 198 0", 23}, {"R 199 0", 23}, {"lr 0n 0n", 6}}), 0);
  EXPECT_EQ(keys(1), (Keys{0, 0, 3000}));  // reference node and a negative id
  EXPECT_EQ(keys(2), (Keys{0, 0, 3001}));
  EXPECT_EQ(keys(3), (Keys{1199, 0, 3002}));
  EXPECT_EQ(keys(4), (Keys{0, 0, 0, 0, 0, 0, 3003, 3004, 3005}));
}

// A mechanical node of 100 and above forms the keys of potential nodes 0..100.
TEST_F(ModelChecksTest, KeysThatTwoKindsOfUnknownWouldShareAreRefused) {
  EXPECT_EQ(read({{"R 1 0", 23}, {"lr 100n 2n", 6}}), 9);
  EXPECT_TRUE(reported(" 節ｉｄが他の節と重なる？ \n\n ", 1, "lr 100n 2n"));

  // A body on node 100 would take velocity keys among the internal ones.
  restart();
  EXPECT_EQ(read({{"lr 1n 2n", 6}, {"mj 0n 100n", 11}}), 9);
  EXPECT_TRUE(reported(" 節ｉｄが他の節と重なる？ \n\n ", 1, "mj 0n 100n"));

  // Potentials of different domains on one node id share the node's key.
  restart();
  EXPECT_EQ(read({{"R 3 0", 23}, {"Ts 3 0", 41}}), 0);
  EXPECT_EQ(keys(1)[0], keys(2)[0]);
}

// ---------------------------------------------------------------- starting values

TEST_F(ModelChecksTest, NodeUnknownsStartAtTheEditorsCoordinates) {
  place(5, 0.3, -0.2);
  place(6, 9.0, 9.0);
  model->nodes.nodeMap[6] = 5;  // node 6 stands for node 5
  model->nodes.kind[7] = kMechanical;
  model->nodes.x[7] = 4.0;  // placed, but not in the node list
  place(150, 0.7, 0.8);
  place(4, 1.5, 1.5, kElectrical);

  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 51), 0.3);
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 52), -0.2);
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 50), 0.0);  // angles start at 0
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 61), 0.3);
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 71), 0.0);
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 1501), 0.7);
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 1004), 0.0);  // a potential
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 2051), 0.0);  // a velocity
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 3000), 0.0);
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, 0), 0.0);
  EXPECT_DOUBLE_EQ(initialNodeValue(*model, -51), 0.0);
}

TEST_F(ModelChecksTest, SpringsAndLinksKeepTheirStartingGeometry) {
  place(1, 1.0, 2.0);
  place(2, 4.0, 6.0);
  ASSERT_EQ(read({{"sp 1n 2p", 9}, {"sp 0n 2n", 9}, {"lr 1n 2n", 6}}), 0);
  EXPECT_DOUBLE_EQ(model->elements[1].realSlots[kStartingLengthSlot], std::hypot(3.0, 4.0));
  // The ground stays where its unknowns are: at the origin.
  EXPECT_DOUBLE_EQ(model->elements[2].realSlots[kStartingLengthSlot], std::hypot(4.0, 6.0));
  // A rigid link keeps its length and its direction (radians).
  EXPECT_DOUBLE_EQ(model->elements[3].realSlots[kStartingLengthSlot], 5.0);
  EXPECT_DOUBLE_EQ(model->elements[3].realSlots[kStartingLengthSlot + 1], std::atan2(4.0, 3.0 + 1e-18));
}

// ---------------------------------------------------------------- drawing modes

TEST_F(ModelChecksTest, ViewAnnotationSwitchesForcesOnWhereNoElementSaysOtherwise) {
  const std::vector<RecordLine> lines = {{".vc 0, 0, 1", 0, 0, 0, {"0", "0", "1"}},
                                         {"R 1 0", 23},
                                         {"R 2 0", 23},
                                         {"R 3 0", 23},
                                         {"R 4 0", 23}};
  const auto annotate = [this](const char* view) {
    std::snprintf(model->records[0].drawingAnnotation, kAnnotationBytes, "%s", view);
    std::snprintf(model->records[2].drawingAnnotation, kAnnotationBytes, "f 0");
    std::snprintf(model->records[3].drawingAnnotation, kAnnotationBytes, "f -1");
    std::snprintf(model->records[4].drawingAnnotation, kAnnotationBytes, "f 3");
  };
  handOver(lines);
  annotate("f 1");
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(model->elements[1].drawingMode, 1);
  EXPECT_EQ(model->elements[2].drawingMode, 0);  // "f 0" always keeps them off
  EXPECT_EQ(model->elements[3].drawingMode, -1);
  EXPECT_EQ(model->elements[4].drawingMode, 1);

  restart();
  handOver(lines);
  annotate("f 0");
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(model->elements[1].drawingMode, 0);
  EXPECT_EQ(model->elements[2].drawingMode, 0);
  EXPECT_EQ(model->elements[4].drawingMode, 1);
}

// ---------------------------------------------------------------- thermal network

TEST_F(ModelChecksTest, SurfaceResistanceMeetsAtMostThreeElementsAtItsNextNode) {
  std::vector<RecordLine> lines = {{"Hr 1 2", 48, 0, 0, {"", "4"}},
                                   {"Hr 2 3", 48, 0, 0, {"", "5"}},
                                   {"Hr 2 4", 48, 0, 0, {"", "5"}}};
  ASSERT_EQ(read(lines), 0);
  lines.push_back({"Ne 2 5", 44});
  restart();
  EXPECT_EQ(read(lines), 9);
  EXPECT_TRUE(reported(" 面抵抗の次節がＷ？ \n\n ", 0, "Hr 1 2"));
}

TEST_F(ModelChecksTest, SpaceResistanceFindsTheSurfacesEndingAtItsNodes) {
  ASSERT_EQ(read({{"Hr 1 2", 48, 0, 0, {"", "4"}},
                  {"Hr 3 4", 48, 0, 0, {"", "4"}},
                  {"Hr 2 4", 48, 0, 0, {"", "5"}},
                  {"Hr 2 1", 48, 0, 0, {"", "5"}}}),
            0);
  EXPECT_EQ(model->elements[3].variableSlots[kThermalLinkSlot], 1);
  EXPECT_EQ(model->elements[3].variableSlots[kThermalLinkSlot + 1], 2);
  EXPECT_EQ(model->elements[4].variableSlots[kThermalLinkSlot + 1], 0);  // node 1 is no end
}

TEST_F(ModelChecksTest, OverallWallMeetsOneElementAtEachNode) {
  const RecordLine wall{"Hc 1 2", 43, 0, 0, {"", "4"}};
  ASSERT_EQ(read({{"Qs 5 1", 42}, wall, {"Qs 2 6", 42}}), 0);
  EXPECT_EQ(model->elements[2].variableSlots[kThermalLinkSlot], 1);
  EXPECT_EQ(model->elements[2].variableSlots[kThermalLinkSlot + 1], 3);

  restart();
  EXPECT_EQ(read({{"Qs 5 1", 42}, wall, {"Qs 2 6", 42}, {"Ne 2 7", 44}}), 9);
  EXPECT_TRUE(reported(" 総括の壁がＷ？ \n\n ", 1, "Hc 1 2"));
}

TEST_F(ModelChecksTest, FlowElementsAreFedAndDrainedByAdvection) {
  const RecordLine in{"Qs 1 2", 42, 0, 0, {"", "1"}};
  const RecordLine out{"Qs 3 4", 42, 0, 0, {"", "1"}};
  const RecordLine heatSource{"Qs 1 2", 42, 0, 0, {"", "0"}};
  ASSERT_EQ(read({in, {"Fi 2 3", 47}, out}), 0);
  restart();
  EXPECT_EQ(read({heatSource, {"Fi 2 3", 47}, out}), 9);
  EXPECT_TRUE(reported(" 入口の接続がＷ？ \n\n ", 1, "Fi 2 3"));
  restart();
  EXPECT_EQ(read({in, {"Fi 2 3", 47}}), 9);
  EXPECT_TRUE(reported(" 出口の接続がＷ？ \n\n ", 1, "Fi 2 3"));
  // A body in a flow joins a surface to the free stream: no inlet, no outlet.
  restart();
  EXPECT_EQ(read({{"Fe 2 3", 46}}), 0);
}

TEST_F(ModelChecksTest, ExchangerWallFindsItsStreamsPastTheirFeedingLinks) {
  const RecordLine hotIn{"Qs 1 2", 42, 0, 0, {"", "1"}};
  const RecordLine hotOut{"Qs 3 4", 42, 0, 0, {"", "1"}};
  const RecordLine coldIn{"Qs 5 6", 42, 0, 0, {"", "1"}};
  const RecordLine coldOut{"Qs 7 8", 42, 0, 0, {"", "1"}};
  const RecordLine wall{"Hc 2 6", 43, 0, 0, {"", "4"}};
  ASSERT_EQ(read({hotIn, {"Fi 2 3", 47}, hotOut, coldIn, {"Fi 6 7", 47}, coldOut, wall}), 0);
  EXPECT_EQ(model->elements[7].variableSlots[kThermalLinkSlot], 2);
  EXPECT_EQ(model->elements[7].variableSlots[kThermalLinkSlot + 1], 5);
  // A third element on an inlet besides the stream and its link is one too many.
  restart();
  EXPECT_EQ(read({hotIn, {"Fi 2 3", 47}, hotOut, coldIn, {"Fi 6 7", 47}, coldOut, wall,
                  {"Ne 2 9", 44}}),
            9);
  EXPECT_TRUE(reported(" 総括の壁がＷ？ \n\n ", 6, "Hc 2 6"));
}

TEST_F(ModelChecksTest, FlowElementLiesBetweenItsNodes) {
  const std::vector<RecordLine> lines = {
      {"Qs 1 2", 42, 0, 0, {"", "1"}}, {"Fi 2 3", 47}, {"Qs 3 4", 42, 0, 0, {"", "1"}}};
  const auto at = [this, &lines](double x, double y) {
    restart();
    place(2, 0.0, 0.0, 5);
    place(3, 1.0, 0.5, 5);
    place(9, x, y, 5);
    handOver(lines);
    model->records[1].thirdNode = 9;  // where the editor drew the element
    return run();
  };
  EXPECT_EQ(at(0.5, 0.25), 0);
  EXPECT_EQ(at(1.0, 0.5), 0);
  EXPECT_EQ(at(1.5, 0.25), 9);
  EXPECT_TRUE(reported(" ｘ座標において Hp要素が節の間にない？ \n\n ", 1, "Fi 2 3"));
  EXPECT_EQ(at(0.5, -0.1), 9);
  EXPECT_TRUE(reported(" ｙ座標において Hp要素が節の間にない？ \n\n ", 1, "Fi 2 3"));
}

// ---------------------------------------------------------------- electrical ground

TEST_F(ModelChecksTest, ACircuitWithoutAFixedNodeFloats) {
  const std::vector<RecordLine> floating = {{"V 3 4", 21, 0, 0, {"5"}},
                                            {"R 3 4", 23, 0, 0, {"1k"}}};
  EXPECT_EQ(read(floating), 9);
  ASSERT_FALSE(log.texts.empty());
  EXPECT_EQ(log.texts.back(), "電気グランドから浮いている？");

  std::vector<RecordLine> grounded = floating;
  grounded.push_back({"R 4 0", 23, 0, 0, {"1"}});
  restart();
  EXPECT_EQ(read(grounded), 0);

  // A reference node is as fixed as node 0.
  grounded.back() = {"C 4 120", 24};
  restart();
  EXPECT_EQ(read(grounded), 0);

  // Node 0 of a non-electrical element does not ground the circuit.
  restart();
  model->nodes.kind[3] = kElectrical;
  model->nodes.kind[5] = kMechanical;
  EXPECT_EQ(read({floating[0], floating[1], {"Ts 7 0", 41}, {"Sw 5 3", 27}, {"lr 0n 5n", 6}}), 9);
  EXPECT_EQ(log.texts.back(), "電気グランドから浮いている？");
}

}  // namespace
}  // namespace movra
