// Reference rows of the statements: the fields of .vc, .in and .iv, the rows of .t,
// of the function statements and of PWM. Function rows are numbered as the
// reference numbers them: row 1 the input x, row k the value fk.
#include "note/catalogue_rows.h"

namespace movra::note {
namespace {

// A field with the default "—" has none: the statement cannot do without it.
constexpr FieldInfo field(std::string_view name, std::string_view meaning, std::string_view unit,
                          std::string_view defaultText, std::string_view rangeText) {
  return {name, meaning, unit, defaultText, rangeText, defaultText == "—"};
}

constexpr FieldInfo kViewFields[] = {
    field("view centre x", "x of the view's centre (m), or `xN.1` to follow node N", "m", "0", ""),
    field("view centre y", "y of the view's centre (m), or `xN.2` to follow node N", "m", "0", ""),
    field("half-width", "half-width of the square view (m)", "m", "1", ""),
    field("force scale", "force scale: a force of this many N draws 300 pixels", "N", "1000", ""),
    field("moment scale", "moment scale (N·m)", "N·m", "1000", ""),
    field("voltage scale", "quantity scale of voltages: a value this size draws 300 pixels (V)",
          "V", "1000", ""),
    field("current scale", "quantity scale of currents (A)", "A", "1000", ""),
    field("pressure scale", "quantity scale of pressures (Pa)", "Pa", "1000", ""),
    field("volume scale", "quantity scale of volumes (m³)", "m³", "1000", ""),
    field("magnetic potential scale", "quantity scale of magnetic potentials (A-turns)", "A-turns",
          "1000", ""),
    field("flux scale", "quantity scale of fluxes (Wb)", "Wb", "1000", ""),
    field("temperature scale", "quantity scale of temperatures (°C)", "°C", "1000", ""),
    field("power scale", "quantity scale of powers (W)", "W", "1000", ""),
};

// The method stands on the statement's line; these are its rows.
constexpr FieldInfo kTimeFields[] = {
    field("start time", "start time (s)", "s", "0", ""),
    field("end time", "end time (s); equal to the start: a single solution", "s", "0", ""),
    field("step h", "step h (s), ≥ 1e-9", "s", "—", "≥ 1e-9"),
    field("output interval N", "output interval N: a row every N steps", "", "1", ""),
    field("playback duration",
          "playback duration (s): 0 real time, −k k times faster than real time", "s", "10 s", ""),
    field("Newton tolerance", "Newton tolerance", "", "1e-6", ""),
    field("PWM frequency", "PWM frequency (Hz), 0 when the PWM statement gives the period", "Hz",
          "0", ""),
    field("PWM steps per part K",
          "PWM steps per part K: each on-part and each off-part in K equal steps (a whole number "
          "1 to 1000)",
          "", "1", "1 to 1000"),
};

constexpr FieldInfo kStartingValueFields[] = {
    field("node", "circuit, magnetic, fluid or thermal node N", "", "—", "a node of the model"),
    field("starting value", "the potential the starting solution holds the node at",
          "V, A-turns, Pa or °C", "—", "any"),
};

constexpr FieldInfo kNodePositionFields[] = {
    field("node", "node N", "", "—", "a node of the model"),
    field("x", "x of the node", "m", "—", "any"),
    field("y", "y of the node", "m", "—", "any"),
};

constexpr FieldInfo kInput = field("input x", "the input x (any expression)", "", "0", "");

constexpr FieldInfo kPiFields[] = {
    kInput,
    field("f2", "added to x: e = x + f2", "", "0", ""),
    field("f3", "proportional gain", "", "0", ""),
    field("f4", "integral gain", "1/s", "0", ""),
    field("f5", "added to the output", "", "0", ""),
    field("f6", "upper limit of the output (when f7 < f6)", "", "0", ""),
    field("f7", "lower limit of the output (when f7 < f6)", "", "0", ""),
};
constexpr FieldInfo kSumFields[] = {
    kInput,
    field("f2", "factor on x", "", "0", ""),
    field("f3", "added term", "", "0", ""),
    field("f4", "added term", "", "0", ""),
    field("f5", "added term", "", "0", ""),
    field("f6", "added term", "", "0", ""),
};
constexpr FieldInfo kSineFields[] = {
    kInput,
    field("f2", "rms amplitude", "", "0", ""),
    field("f3", "frequency (a negative value names the parameter holding it)", "Hz", "0", ""),
    field("f4", "phase", "deg", "0", ""),
    field("f5", "offset", "", "0", ""),
};
constexpr FieldInfo kSineDegreesFields[] = {
    kInput,
    field("f2", "amplitude", "", "0", ""),
    field("f3", "factor on x, giving degrees", "", "0", ""),
    field("f4", "phase", "deg", "0", ""),
    field("f5", "offset", "", "0", ""),
};
constexpr FieldInfo kCircleFields[] = {
    field("angle x", "the angle x", "deg", "0", ""),
    field("f2", "radius (a constant)", "", "0", "≥ 0"),
};
constexpr FieldInfo kRampFields[] = {
    kInput,
    field("f2", "the constant", "", "0", ""),
};
constexpr FieldInfo kInputOnly[] = {kInput};
constexpr FieldInfo kLagFields[] = {
    kInput,
    field("f2", "time constant", "s", "0", ""),
};
constexpr FieldInfo kLag2Fields[] = {
    kInput,
    field("f2", "natural frequency", "rad/s", "0", ""),
    field("f3", "damping ratio", "", "0", ""),
};
constexpr FieldInfo kPwmFields[] = {
    field("duty", "the duty (clamped to 0.01 … 0.99, read at every output step)", "", "0",
          "0.01 to 0.99"),
    field("period", "the period, used when `.t` gives no PWM frequency", "s", "0", ""),
};

static_assert(fieldsConsistent(kViewFields) && fieldsConsistent(kTimeFields) &&
              fieldsConsistent(kStartingValueFields) && fieldsConsistent(kNodePositionFields) &&
              fieldsConsistent(kPiFields) && fieldsConsistent(kSumFields) &&
              fieldsConsistent(kSineFields) && fieldsConsistent(kSineDegreesFields) &&
              fieldsConsistent(kCircleFields) && fieldsConsistent(kRampFields) &&
              fieldsConsistent(kInputOnly) && fieldsConsistent(kLagFields) &&
              fieldsConsistent(kLag2Fields) && fieldsConsistent(kPwmFields));

}  // namespace

extern const KeywordReference kViewRows{{}, kViewFields, {}};
extern const KeywordReference kTimeRows{{}, kTimeFields, {}};
extern const KeywordReference kStartingValueRows{{}, kStartingValueFields, {}};
extern const KeywordReference kNodePositionRows{{}, kNodePositionFields, {}};
extern const KeywordReference kPiRows{{}, kPiFields, {}};
extern const KeywordReference kSumRows{{}, kSumFields, {}};
extern const KeywordReference kSineRows{{}, kSineFields, {}};
extern const KeywordReference kCircleRows{{}, kCircleFields, {}};
extern const KeywordReference kSineDegreesRows{{}, kSineDegreesFields, {}};
extern const KeywordReference kRampRows{{}, kRampFields, {}};
extern const KeywordReference kPwmRows{{}, kPwmFields, {}};
extern const KeywordReference kSetRows{{}, kInputOnly, {}};
extern const KeywordReference kIntegratorRows{{}, kInputOnly, {}};
extern const KeywordReference kDifferentiatorRows{{}, kInputOnly, {}};
extern const KeywordReference kLagRows{{}, kLagFields, {}};
extern const KeywordReference kLag2Rows{{}, kLag2Fields, {}};

}  // namespace movra::note
