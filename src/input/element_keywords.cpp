#include "input/element_keywords.h"

#include <array>

namespace movra {

namespace {

constexpr ElementKeyword k(std::string_view written, std::string_view folded, int kind,
                           int slots = 0, bool pVariant = false, bool table = false) {
  return ElementKeyword{written, folded, kind, slots, pVariant, table};
}

// First match wins, so the aliases stand before the keywords they fold to.
constexpr std::array kElementKeywords = {
    k(".t", "", -101),
    k("x0", "", 202), k("p-", "x0", 202),
    k("f0", "", 203), k("f-", "f0", 203),
    k("Q", "qn", 317), k("Qn", "qn", 317), k("Qp", "qn", 317, 0, true),
    k("Pm", "mn", 318), k("Tm", "mn", 318), k("M", "mn", 318), k("Mn", "mn", 318),
    k("Mp", "mn", 318, 0, true),
    k("Mdc", "em0", 416),
    k("V", "", 201), k("p", "", 201), k("t", "", 201),
    k("I", "", 205),
    k("_Ma", "", 200), k("_P", "", 200), k("Ma", "", 200), k("P_", "", 200), k("Pe", "", 200),
    k("_Gp", "", 400), k("Gr", "", 400), k("Gp", "", 400), k("Gr_", "", 400),
    k("U", "", 307), k("af", "U", 307),
    k("s0", "", 208), k("sr0", "", 208),
    k("L", "", 209),
    k("n", "", 310),
    k("m0", "", 111),
    k("R", "", 212),
    k("Ry", "", 220),
    k("C", "", 213),
    k("Sw", "", 421),
    k("D", "", 215),
    k("Md", "", 416), k("em0", "", 416),
    k("qn", "", 317),
    k("mn", "", 318),
    k("f#", "", 324),
    k("fe", "", 325),
    k("b", "", 328),
    k("d0", "", 228), k("dr0", "", 228),
    k("pc", "", 246),
    k("fc", "", 247),
    k("wh", "", 257, 10),
    k("mj", "", 254),
    k("sp", "", 262, 1),
    k("cb", "", 265),
    k("pu", "", 267, 2),
    k("gs", "", 269),
    k("st", "", 266, 10),
    k("lr", "", 271),
    k("lb", "", 276),
    k("ls", "", 277, 1),
    k("tr", "", 1), k("Mr", "", 1), k("Mf", "", 1), k("Ps", "", 1), k("Fs", "", 1),
    k("Lf", "", 1), k("Of", "", 1), k("Hl", "", 1), k("Ho", "", 1), k("Al", "", 1),
    k("Ao", "", 1), k("Ts", "", 1),
    k("Qs", "", 1, 0, false, true), k("Hc", "", 1, 0, false, true),
    k("Ne", "", 1, 0, false, true), k("Ni", "", 1, 0, false, true),
    k("Fe", "", 1, 0, false, true), k("Fi", "", 1, 0, false, true),
    k("Hr", "", 1, 0, false, true), k("Hv", "", 1, 0, false, true),
    k("Cy", "", 1, 1), k("Cf", "", 1, 1),
    k("gap", "", 1),  // gap contact (65): a keyword of our own
    k("ge", "", 1),   // gear element (12): a keyword of our own
};

}  // namespace

const ElementKeyword* findElementKeyword(std::string_view written) {
  for (const ElementKeyword& entry : kElementKeywords) {
    if (entry.written == written) return &entry;
  }
  return nullptr;
}

}  // namespace movra
