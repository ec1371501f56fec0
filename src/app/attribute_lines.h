#pragma once
// How an attribute description is broken into lines of the information list: lines are cut
// at a space near the 50th character, and each following line keeps that space at its start.
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The lines of one description, in order; a text shorter than 50 characters is one line.
std::vector<std::string> WrapDescription(std::string_view text);

}  // namespace app
