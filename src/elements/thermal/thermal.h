// The thermal evaluators and what they share. Node temperatures (degC) are the
// potentials and heat flows (W) the currents of the network: a node row sums the
// heat flowing into the node. Material properties come from ":u" tables whose
// rows start with a temperature; a row is taken by linear interpolation at a
// temperature and held at the end rows outside the table (see materialRow).
#pragma once

#include "elements/evaluator.h"

namespace movra {

int evaluateTemperatureSource(EvaluationContext& context, int row);  // 41
int evaluateHeatFlow(EvaluationContext& context, int row);           // 42
int evaluateWall(EvaluationContext& context, int row);               // 43
int evaluateNaturalConvection(EvaluationContext& context, int row);  // 44, 45
int evaluateRadiation(EvaluationContext& context, int row);          // 48
int evaluateForcedConvection(EvaluationContext& context, int row);   // 46, 47

namespace thermal {

inline constexpr double kKelvinOffset = 273.15;
inline constexpr double kCouplingFloor = 1e-9;  // W/K, keeps a link from vanishing

// Messages shared by several thermal elements.
inline constexpr char kNoTableId[] = "表ｉｄが？_e \n\n %s";
inline constexpr char kTableNotDefined[] = "表ｉｄが空　　:u で未設定？ \n\n %s";
inline constexpr char kBadMaterial[] = "物性データが？．\n\n %s";

// The material table an element names in field 1: written as a parameter
// reference (p200) it is the element's table id; written as a plain whole number
// of 100 or more it is read as the same id. 0 when the field names none.
int materialTableId(const ElementEntry& element);

// The ":u" lookup table with that id, or nullptr when no ":u" statement defines it.
const ParameterStatement* lookupTable(const Model& model, int id);

// The InitialPass checks of a material table: a missing id or an id no ":u"
// statement defines. Returns 0 or 9 after the message.
int checkMaterialTable(EvaluationContext& context, ElementEntry& element);

// The row of a table at temperature t into out[0..values]: out[0] = t, out[k] the
// k-th value after the temperature, linear between the two rows around t and the
// first or last row outside the table. A table with fewer than `values` values per
// row gives false (out[1..] are then 0).
bool materialRow(const Model& model, const ParameterStatement& table, double t, double* out,
                 int values);

// The direction a flow element (47) is drawn in, from its inlet node to its
// outlet node: 0 along +x, 1 along +y, 2 along -x, 3 along -y (the larger of the
// two offsets decides; nodes without positions give 0).
int flowOrientation(const Model& model, const ElementEntry& element);

// Real slot where a flow element (47) publishes the conductance of its film,
// h·A (W/K), for the heat-exchanger wall it lines.
inline constexpr int kFilmConductanceSlot = 60;

// A conductance G between nodes a and b: q = G·(x[a] - x[b]) leaves a and enters b.
// Returns q.
double stampConductance(Run& run, int a, int b, double conductance);

// The two-terminal record of a thermal element at id: +1 temperature difference,
// +2 heat flow, +3 p = -(difference)·flow, +5 energy of p, +8 p, +10 energy, and the
// period means; p also goes to the network totals.
void recordThermal(Model& model, const Run& run, const ElementEntry& element, double difference,
                   double flow);

}  // namespace thermal
}  // namespace movra
