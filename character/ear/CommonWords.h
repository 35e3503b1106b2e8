#pragma once

// The likeliest words of English by the speech model's own language model
// (a build step writes them): the words a person in the room is likely to
// say, one per line, lower case, in alphabetical order.

namespace kestrova::character {

extern const char CommonWordsText[];

} // namespace kestrova::character
