// The reference rows of the catalogue, one object per element or statement; the
// catalogue rows point at them. Kept apart by family so that no file grows too long.
#pragma once

#include <span>
#include <string_view>

#include "note/catalogue.h"

namespace movra::note {

// A field without a default is exactly one the element cannot do without.
constexpr bool fieldsConsistent(std::span<const FieldInfo> fields) {
  if (fields.size() > 20) return false;  // the record's field slots
  for (const FieldInfo& f : fields) {
    if (f.name.empty() || f.meaning.empty()) return false;
    if (f.required != (f.defaultText == "—")) return false;
  }
  return true;
}

constexpr bool returnValuesConsistent(std::span<const ReturnValueInfo> values) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i].offset < 0 || values[i].offset > 99 || values[i].meaning.empty()) return false;
    if (i > 0 && values[i].offset <= values[i - 1].offset) return false;
  }
  return true;
}

// Circuit and magnetic circuit.
extern const KeywordReference kVoltageSourceRows, kCurrentSourceRows, kResistorRows, kCapacitorRows,
    kInductorRows, kSwitchRows, kAmplifierRows, kDiodeRows, kMosfetRows, kTransistorRows,
    kMotorRows, kTwoPortRows, kCoreRows, kMaterialCoreRows;
// Planar mechanism.
extern const KeywordReference kBodyRows, kCombinedSpringRows, kRotarySpringRows, kRigidLinkRows,
    kRigidJointRows, kAppliedForceRows, kSliderRows, kGearMeshRows, kBeamRows, kGapRows,
    kGearPairRows, kGearOfOneRadiusRows, kPulleyRows, kWheelRows, kFrictionDriveRows;
// Fluid and thermal networks.
extern const KeywordReference kPressureSourceRows, kFlowSourceRows, kPipeRows, kLiquidOrificeRows,
    kLiquidLineRows, kAirOrificeRows, kAirLineRows, kCylinderRows, kTemperatureDifferenceRows,
    kHeatFlowSourceRows, kWallRows, kNaturalConvectionBodyRows, kNaturalConvectionGapRows,
    kForcedConvectionBodyRows, kForcedConvectionStreamRows, kRadiationRows;
// Statements.
extern const KeywordReference kViewRows, kTimeRows, kStartingValueRows, kNodePositionRows, kPiRows,
    kSumRows, kSineRows, kCircleRows, kSineDegreesRows, kRampRows, kPwmRows, kSetRows,
    kIntegratorRows, kDifferentiatorRows, kLagRows, kLag2Rows;

}  // namespace movra::note
