// Plain words for the two commonest slips of typing a model line: a field the
// simulator cannot read (a unit letter it does not know, a blank before one) and a
// keyword it does not know.
#pragma once

#include <string>
#include <string_view>

namespace movra::note {

// Why the simulator cannot read a field's text, in words; empty when it can.
std::string unreadableField(std::string_view text);

// The known keyword nearest to an unknown word (one or two letters off, or only in
// case), or empty when none is near.
std::string_view nearestKeyword(std::string_view word);

}  // namespace movra::note
