#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/seven_parameters.h"

namespace kovarim {

enum class Axis { X, Y, Z };

// Converts the point typed into the window: reads the three texts by the
// input boxes' rule (leading number, blanks ignored, no number reads as 0),
// then computes X', Y' and Z' one after the other, rounds each to 3 decimal
// places and hands its text to `show` before the next is computed. An
// overflow throws Error; the results shown before it stay shown.
// Direction::Inverse converts a point of the new system back: the three
// come from one solve (InverseTransformPoint) and are shown in the same forms.
void ConvertSinglePoint(const Params &params, std::string_view x, std::string_view y,
                        std::string_view z,
                        const std::function<void(Axis, const std::string &)> &show,
                        Direction direction = Direction::Forward);

} // namespace kovarim
