// Reference rows of the planar-mechanism elements, word for word from the tables of
// the reference and of the element sections of the model format.
#include "note/catalogue_rows.h"

namespace movra::note {
namespace {

// A field with the default "—" has none: the element cannot do without it.
constexpr FieldInfo field(std::string_view name, std::string_view meaning, std::string_view unit,
                          std::string_view defaultText, std::string_view rangeText) {
  return {name, meaning, unit, defaultText, rangeText, defaultText == "—"};
}

constexpr NodeInfo kTwoNodes[] = {{"first node", kMechanical}, {"second node", kMechanical}};
constexpr NodeInfo kCentres[] = {{"first centre", kMechanical}, {"second centre", kMechanical}};

constexpr FieldInfo kBodyFields[] = {
    field("mass m", "mass m", "kg", "0", "≥ 0"),
    field("moment of inertia J", "moment of inertia J about the node", "kg·m²", "0", "≥ 0"),
    field("gravity g",
          "gravity g, acting along +y: write it negative to fall down on screen, and times `p2`",
          "m/s²", "0", "any"),
    field("translational damping c", "translational damping c (force −c·v)", "N·s/m", "0", "≥ 0"),
    field("rotational damping c_r", "rotational damping c_r (moment −c_r·ω)", "N·m·s", "0", "≥ 0"),
    field("starting velocity v_x", "starting velocity v_x", "m/s", "0", "any"),
    field("starting velocity v_y", "starting velocity v_y", "m/s", "0", "any"),
    field("starting angular velocity ω", "starting angular velocity ω", "deg/s", "0", "any"),
};
constexpr NodeInfo kBodyNodes[] = {{"not used (0n by habit)", kMechanical},
                                   {"the body's node", kMechanical}};
constexpr ReturnValueInfo kBodyReturns[] = {
    {1, "force of inertia, gravity and damping on the node, x", "N"},
    {2, "force of inertia, gravity and damping on the node, y", "N"},
    {3, "magnitude of that force", "N"},
    {4, "direction of that force", "deg"},
    {5, "inertia moment", "N·m"},
    {6, "damping moment", "N·m"},
    {7, "ω", "rad/s"},
    {8, "power", "W"},
    {21, "v_x", "m/s"},
    {22, "v_y", "m/s"},
    {23, "speed", "m/s"},
    {24, "direction of the velocity", "deg"},
    {25, "x", "m"},
    {26, "y", "m"},
    {27, "angle", "deg"},
};

constexpr FieldInfo kCombinedSpringFields[] = {
    field("stiffness k", "stiffness k", "N/m", "0", "≥ 0"),
    field("damping c", "damping c", "N·s/m", "0", "≥ 0"),
    field("preload F0", "preload F0 (tension + pushes the nodes apart)", "N", "0", "any"),
    field("rotary stiffness k_r", "rotary stiffness k_r", "N·m/rad", "0", "≥ 0"),
    field("rotary damping c_r", "rotary damping c_r", "N·m·s/rad", "0", "≥ 0"),
    field("rotary preload T0", "rotary preload T0", "N·m", "0", "any"),
    field("friction torque T_f", "friction torque T_f", "N·m", "0", "≥ 0"),
};
constexpr ReturnValueInfo kCombinedSpringReturns[] = {
    {1, "spring force on the second node, x", "N"},
    {2, "spring force on the second node, y", "N"},
    {3, "magnitude of the spring force", "N"},
    {4, "direction of the spring force", "deg"},
    {5, "force along the spring T", "N"},
    {6, "length", "m"},
    {7, "rate of the length", "m/s"},
    {8, "moment between the rotations, friction included", "N·m"},
    {9, "friction torque", "N·m"},
    {10, "friction state", ""},
    {11, "twist θ2 − θ1", "deg"},
    {12, "rate of the twist", "deg/s"},
};

constexpr FieldInfo kRotarySpringFields[] = {
    field("torsional stiffness k", "torsional stiffness k", "N·m/rad", "0", "≥ 0"),
    field("torque at zero twist T0", "torque at zero twist T0", "N·m", "0", "any"),
    field("torsional damping c", "torsional damping c", "N·m·s/rad", "0", "≥ 0"),
    field("Coulomb friction torque T_f",
          "Coulomb friction torque T_f (slips above 0.001 rad/s, sticks below)", "N·m", "0", "≥ 0"),
};
constexpr ReturnValueInfo kRotarySpringReturns[] = {
    {1, "torque T", "N·m"},      {2, "friction torque", "N·m"},     {3, "their sum", "N·m"},
    {4, "twist θ2 − θ1", "deg"}, {5, "rate of the twist", "deg/s"}, {6, "friction state", ""},
    {8, "power", "W"},
};

constexpr FieldInfo kRigidLinkFields[] = {
    field("angle offset", "angle offset between the two rotations (only with both ends rigid)",
          "deg", "0", "any"),
    field("added length",
          "length added to the starting length (a formula drives the link's length)", "m", "0",
          "any"),
};
constexpr ReturnValueInfo kRigidLinkReturns[] = {
    {1, "constraint force, x", "N"},
    {2, "constraint force, y", "N"},
    {3, "magnitude of the constraint force", "N"},
    {6, "moment", "N·m"},
    {8, "power", "W"},
    {11, "x2 − x1", "m"},
    {12, "y2 − y1", "m"},
    {13, "distance", "m"},
};

constexpr FieldInfo kRigidJointFields[] = {
    field("x offset", "x offset", "m", "0", "any"),
    field("y offset", "y offset", "m", "0", "any"),
    field("angle offset", "angle offset", "deg", "0", "any"),
    field("absolute offsets",
          "1: the offsets are absolute; 0: they are added to the starting offsets", "", "0",
          "0 or 1"),
};
constexpr ReturnValueInfo kRigidJointReturns[] = {
    {1, "constraint force λ_x on the second node", "N"},
    {2, "constraint force λ_y on the second node", "N"},
    {3, "magnitude of the constraint force", "N"},
    {4, "direction of the constraint force", "deg"},
    {5, "constraint moment λ_θ", "N·m"},
    {6, "moment on the first node", "N·m"},
    {8, "power", "W"},
    {11, "x2 − x1", "m"},
    {12, "y2 − y1", "m"},
    {13, "relative angle", "deg"},
};

constexpr FieldInfo kAppliedForceFields[] = {
    field("force F_x", "force F_x", "N", "0", "any"),
    field("force F_y", "force F_y", "N", "0", "any"),
    field("moment M", "moment M on the second node", "N·m", "0", "any"),
    field("force magnitude F_a", "force magnitude F_a, added along field 5", "N", "0", "any"),
    field("direction of F_a", "direction of F_a from +x", "deg", "0", "any"),
};
constexpr ReturnValueInfo kAppliedForceReturns[] = {
    {1, "F_x", "N"},
    {2, "F_y", "N"},
    {3, "magnitude", "N"},
    {4, "direction", "deg"},
    {5, "M", "N·m"},
    {8, "power", "W"},
    {9, "relative angle (±180°)", "deg"},
    {11, "x2 − x1", "m"},
    {12, "y2 − y1", "m"},
    {13, "distance", "m"},
    {15, "θ2 − θ1", "deg"},
    {25, "relative angular velocity", "deg/s"},
};

constexpr NodeInfo kSliderNodes[] = {{"the guide's node", kMechanical},
                                     {"the sliding node", kMechanical}};
constexpr FieldInfo kSliderFields[] = {
    field("axial stiffness k", "axial stiffness k (rest point at s_0)", "N/m", "0", "≥ 0"),
    field("axial preload F0", "axial preload F0 (pushes the sliding node along +guide)", "N", "0",
          "any"),
    field("axial damping c", "axial damping c", "N·s/m", "0", "≥ 0"),
    field("friction force F_f",
          "friction force F_f (slips above 1 mm/s, sticks below by a viscous law of 1000·F_f "
          "N·s/m)",
          "N", "0", "≥ 0"),
};
constexpr ReturnValueInfo kSliderReturns[] = {
    {1, "force of the slider on the sliding node, x", "N"},
    {2, "force of the slider on the sliding node, y", "N"},
    {3, "magnitude of that force", "N"},
    {4, "direction of that force", "deg"},
    {5, "normal force", "N"},
    {6, "axial force T without friction", "N"},
    {7, "friction force", "N"},
    {8, "locking moment", "N·m"},
    {9, "slider coordinate s", "m"},
    {10, "ds/dt", "m/s"},
    {11, "s − s_0", "m"},
    {12, "friction state: +1 slipping forwards, 0 sticking, −1 backwards", ""},
    {13, "guide angle", "deg"},
    {14, "power of the axial and friction forces", "W"},
};

constexpr FieldInfo kGearMeshFields[] = {
    field("pitch radius r_i",
          "pitch radius r_i of the first gear; negative for a ring (internal) gear", "m", "—",
          "≠ 0"),
    field("pitch radius r_j", "pitch radius r_j of the second gear; negative for a ring gear", "m",
          "—", "≠ 0"),
    field("pressure angle α", "pressure angle α (0 means 20°)", "rad", "20°", "0 < α < π/2"),
};
constexpr ReturnValueInfo kGearMeshReturns[] = {
    {1, "tooth force on the first centre, x", "N"},
    {2, "tooth force on the first centre, y", "N"},
    {3, "magnitude of that force", "N"},
    {4, "direction of that force", "deg"},
    {5, "tooth force (the unknown)", "N"},
    {6, "moment on the first gear", "N·m"},
    {7, "moment on the second gear", "N·m"},
    {8, "their power", "W"},
    {9, "angle of the first gear", "deg"},
    {10, "angle of the second gear", "deg"},
    {11, "speed of the first gear", "deg/s"},
    {12, "speed of the second gear", "deg/s"},
    {13, "centre distance", "m"},
    {14, "direction of the line of centres (continuous over turns)", "deg"},
};

constexpr NodeInfo kBeamNodes[] = {{"first end", kMechanical}, {"second end", kMechanical}};
constexpr FieldInfo kBeamFields[] = {
    field("Young's modulus E", "Young's modulus E", "Pa", "0", "≥ 0 (0: no force)"),
    field("reserved", "reserved (checked only)", "", "0", "≥ 0"),
    field("cross-section area A", "cross-section area A", "m²", "—", "> 0"),
    field("second moment of area I", "second moment of area I", "m⁴", "—", "> 0"),
    field("reserved", "reserved (not used)", "", "0", "any"),
    field("added length", "length added to the starting length", "m", "0",
          "L_0 + field 6 ≠ 0; a negative sum reverses the beam (its sign may not change during "
          "the run)"),
};
constexpr ReturnValueInfo kBeamReturns[] = {
    {1, "force of the beam on the first node, x", "N"},
    {2, "force of the beam on the first node, y", "N"},
    {3, "magnitude of that force", "N"},
    {4, "direction of that force", "deg"},
    {5, "axial force N (tension positive)", "N"},
    {6, "shear force V", "N"},
    {7, "moment on the first node", "N·m"},
    {8, "moment on the second node", "N·m"},
    {9, "transverse deflection of the second end from the first end's tangent w", "m"},
    {10, "elongation u", "m"},
    {11, "x_j − x_i", "m"},
    {12, "y_j − y_i", "m"},
    {13, "chord length", "m"},
    {14, "chord direction (continuous over turns)", "deg"},
    {15, "θ_j − θ_i", "deg"},
    {16, "strain energy", "J"},
};

constexpr NodeInfo kGapNodes[] = {{"the stop's node", kMechanical},
                                  {"the moving node", kMechanical}};
constexpr FieldInfo kGapFields[] = {
    field("contact distance d", "contact distance d", "m", "—", "> 0 (\"ギャップが０？\")"),
    field("contact stiffness k", "contact stiffness k", "N/m", "—", "> 0"),
    field("contact damping c", "contact damping c", "N·s/m", "0", "≥ 0"),
    field("normal direction", "normal direction of a plane stop, in node 1's frame", "deg", "0",
          "any"),
    field("shape", "shape: 0 plane, 1 round", "", "0", ""),
};
constexpr ReturnValueInfo kGapReturns[] = {
    {1, "force on node 2, x", "N"},
    {2, "force on node 2, y", "N"},
    {3, "its magnitude N", "N"},
    {4, "its direction", "deg"},
    {5, "clearance s − d (negative while overlapping)", "m"},
    {6, "rate of the clearance", "m/s"},
    {7, "1 while touching", ""},
    {8, "power taken from the mechanism (stored in the spring or lost in the damper)", "W"},
    {29, "accumulated power taken from the mechanism", "J"},
};

constexpr FieldInfo kGearPairFields[] = {
    field("pitch radius r_i", "pitch radius r_i (negative for a ring gear)", "m", "—",
          "as `gs` (\" ri  rj が ？\")"),
    field("pitch radius r_j", "pitch radius r_j (negative for a ring gear)", "m", "—", "as `gs`"),
    field("tooth stiffness k", "tooth stiffness k along the pitch line", "N/m", "—", "> 0"),
    field("backlash b", "backlash b, as an arc of the pitch circle", "m", "0", "≥ 0"),
    field("tooth damping c", "tooth damping c", "N·s/m", "0", "≥ 0"),
};
constexpr ReturnValueInfo kGearPairReturns[] = {
    {1, "tooth force F", "N"},
    {2, "e", "m"},
    {3, "moment on the first gear", "N·m"},
    {4, "moment on the second gear", "N·m"},
    {5, "flank: 1 driving, −1 reverse, 0 in the play", ""},
    {6, "angle of the first gear", "deg"},
    {7, "angle of the second gear", "deg"},
    {8, "power", "W"},
    {9, "speed of the first gear", "deg/s"},
    {10, "speed of the second gear", "deg/s"},
};

constexpr FieldInfo kGearOfOneRadiusFields[] = {
    field("pitch radius r", "pitch radius r of the first gear", "m", "—",
          "> 0 (\"ｒが？\"); below d_0 (\"中心距離、又はｒが？\")"),
};
constexpr ReturnValueInfo kGearOfOneRadiusReturns[] = {
    {1, "tooth force", "N"},
    {2, "the second radius d_0 − r", "m"},
    {3, "moment on the first gear", "N·m"},
    {4, "moment on the second gear", "N·m"},
    {8, "power", "W"},
    {9, "speed of the first gear", "deg/s"},
    {10, "speed of the second gear", "deg/s"},
};

constexpr NodeInfo kPulleyNodes[] = {{"pulley 1", kMechanical}, {"pulley 2", kMechanical}};
constexpr FieldInfo kPulleyFields[] = {
    field("radius r_i", "radius r_i of pulley 1", "m", "—", "> 0"),
    field("radius r_j", "radius r_j of pulley 2", "m", "—",
          "> 0; the centre distance > abs(r_j − r_i) (\"軸間距離、又は ｒ が？\")"),
    field("span stiffness k", "span stiffness k (elastic belt)", "N/m", "— for an elastic belt",
          "> 0 (\"データが？--pu\")"),
    field("pretension T0", "pretension T0 (elastic belt)", "N", "0", "≥ 0"),
    field("elastic belt", "1: elastic belt of two spans (three entries)", "", "0", ""),
    field("span damping c", "span damping c (elastic belt)", "N·s/m", "0", "≥ 0"),
};
// An inextensible belt and each span of an elastic one; the head of an elastic
// belt uses +1 to +4 for its tensions and shaft load instead.
constexpr ReturnValueInfo kPulleyReturns[] = {
    {1, "force or tension (head of an elastic belt: tension of the first span)", "N"},
    {2, "stretch (head: tension of the second span)", ""},
    {3, "moment on pulley 1 (head: shaft load, N)", "N·m"},
    {4, "moment on pulley 2 (head: difference of the tensions, N)", "N·m"},
    {5, "1 taut, 0 slack", ""},
    {9, "speed of pulley 1", "deg/s"},
    {10, "speed of pulley 2", "deg/s"},
};

constexpr NodeInfo kWheelNodes[] = {{"not used", kMechanical}, {"the wheel's centre", kMechanical}};
constexpr FieldInfo kWheelFields[] = {
    field("wheel radius r", "wheel radius r", "m", "—", "> 0 (\"データが？\")"),
    field("friction coefficient μ", "friction coefficient μ", "", "0", "≥ 0"),
    field("contact stiffness k", "contact stiffness k", "N/m", "—", "> 0"),
    field("contact damping c", "contact damping c", "N·s/m", "0", "≥ 0"),
    field("support set", "support set (`p` and the set id)", "", "none", ""),
    field("slip speed v_st", "slip speed v_st below which the wheel sticks", "m/s", "1m", "≥ 0"),
};
constexpr ReturnValueInfo kWheelReturns[] = {
    {1, "contact force on the wheel, x", "N"},
    {2, "contact force on the wheel, y", "N"},
    {3, "N", "N"},
    {4, "friction f", "N"},
    {5, "slip speed", "m/s"},
    {6, "1 rolling, 2 sliding, 0 clear of that piece", ""},
    {7, "overlap", "m"},
    {8, "power lost in sliding (≤ 0)", "W"},
    {9, "wheel speed", "deg/s"},
};

constexpr FieldInfo kFrictionDriveFields[] = {
    field("contact radius r_i", "contact radius r_i", "m", "—", "as `gs` (\"データが？\")"),
    field("contact radius r_j", "contact radius r_j", "m", "—", "as `gs`"),
    field("face width b", "face width b", "m", "—", "> 0 (\"面巾が？\")"),
    field("pressing force N", "pressing force N", "N", "0", "≥ 0"),
    field("friction coefficient μ", "friction coefficient μ", "", "0", "≥ 0"),
    field("slip speed v_st", "slip speed v_st", "m/s", "1m", "≥ 0"),
};
constexpr ReturnValueInfo kFrictionDriveReturns[] = {
    {1, "traction", "N"},
    {2, "slip speed", "m/s"},
    {3, "N", "N"},
    {4, "state: 0 sticking, ±1 sliding", ""},
    {5, "line load N/b", "N/m"},
    {6, "moment on the first roller", "N·m"},
    {7, "moment on the second roller", "N·m"},
    {8, "power lost in slip", "W"},
    {9, "speed of the first roller", "deg/s"},
    {10, "speed of the second roller", "deg/s"},
};

static_assert(fieldsConsistent(kBodyFields) && fieldsConsistent(kCombinedSpringFields) &&
              fieldsConsistent(kRotarySpringFields) && fieldsConsistent(kRigidLinkFields) &&
              fieldsConsistent(kRigidJointFields) && fieldsConsistent(kAppliedForceFields) &&
              fieldsConsistent(kSliderFields) && fieldsConsistent(kGearMeshFields) &&
              fieldsConsistent(kBeamFields) && fieldsConsistent(kGapFields) &&
              fieldsConsistent(kGearPairFields) && fieldsConsistent(kGearOfOneRadiusFields) &&
              fieldsConsistent(kPulleyFields) && fieldsConsistent(kWheelFields) &&
              fieldsConsistent(kFrictionDriveFields));
static_assert(
    returnValuesConsistent(kBodyReturns) && returnValuesConsistent(kCombinedSpringReturns) &&
    returnValuesConsistent(kRotarySpringReturns) && returnValuesConsistent(kRigidLinkReturns) &&
    returnValuesConsistent(kRigidJointReturns) && returnValuesConsistent(kAppliedForceReturns) &&
    returnValuesConsistent(kSliderReturns) && returnValuesConsistent(kGearMeshReturns) &&
    returnValuesConsistent(kBeamReturns) && returnValuesConsistent(kGapReturns) &&
    returnValuesConsistent(kGearPairReturns) && returnValuesConsistent(kGearOfOneRadiusReturns) &&
    returnValuesConsistent(kPulleyReturns) && returnValuesConsistent(kWheelReturns) &&
    returnValuesConsistent(kFrictionDriveReturns));

}  // namespace

extern const KeywordReference kBodyRows{kBodyNodes, kBodyFields, kBodyReturns};
extern const KeywordReference kCombinedSpringRows{kTwoNodes, kCombinedSpringFields,
                                                  kCombinedSpringReturns};
extern const KeywordReference kRotarySpringRows{kTwoNodes, kRotarySpringFields,
                                                kRotarySpringReturns};
extern const KeywordReference kRigidLinkRows{kTwoNodes, kRigidLinkFields, kRigidLinkReturns};
extern const KeywordReference kRigidJointRows{kTwoNodes, kRigidJointFields, kRigidJointReturns};
extern const KeywordReference kAppliedForceRows{kTwoNodes, kAppliedForceFields,
                                                kAppliedForceReturns};
extern const KeywordReference kSliderRows{kSliderNodes, kSliderFields, kSliderReturns};
extern const KeywordReference kGearMeshRows{kCentres, kGearMeshFields, kGearMeshReturns};
extern const KeywordReference kBeamRows{kBeamNodes, kBeamFields, kBeamReturns};
extern const KeywordReference kGapRows{kGapNodes, kGapFields, kGapReturns};
extern const KeywordReference kGearPairRows{kCentres, kGearPairFields, kGearPairReturns};
extern const KeywordReference kGearOfOneRadiusRows{kCentres, kGearOfOneRadiusFields,
                                                   kGearOfOneRadiusReturns};
extern const KeywordReference kPulleyRows{kPulleyNodes, kPulleyFields, kPulleyReturns};
extern const KeywordReference kWheelRows{kWheelNodes, kWheelFields, kWheelReturns};
extern const KeywordReference kFrictionDriveRows{kCentres, kFrictionDriveFields,
                                                 kFrictionDriveReturns};

}  // namespace movra::note
