#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "conversion/calibration_file.h"
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

// One point through a site calibration. Forward, the texts are the source's
// values in its forms (x y h; B L H in decimal degrees or ddd.mmssss) and the
// results the local X, Y, h rounded to 3 decimal places; inverse, the local
// X, Y, h (metres) become the source's values in its forms. Each text must be
// a whole value, nothing before or after it. Throws Error naming the side and
// the value (原坐标系 B, 局部坐标系 X, ...) for a text that is not one, a value
// the source refuses, or a result it cannot write.
std::array<std::string, 3> ConvertSitePoint(const CalibrationFile &calibration,
                                            const std::array<std::string_view, 3> &texts,
                                            Direction direction = Direction::Forward);

} // namespace kovarim
