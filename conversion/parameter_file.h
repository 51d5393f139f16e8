#pragma once

#include <string>
#include <vector>

#include "conversion/key_value_file.h"
#include "model/seven_parameters.h"

namespace kovarim {

// The parameter file: the seven parameters kept for later, UTF-8 text with
// one "key = value" a line and "#" comments, readable by a person and by a
// five-line script:
//
//   # Kovarim seven parameters, estimated from <file> with the triple <A>--<B>--<C>
//   DX = ...          (DY, DZ, Scale, RotX, RotY, RotZ likewise)
//   proj = +proj=helmert ...
//
// Each value is the shortest text that reads back to the same double, so a
// parameter file converts exactly as the estimation that wrote it. The
// "proj" line is for PROJ, GDAL and PDAL (see ProjString); on reading it must
// be the one the seven values give, or the file is refused.

// The whole text of a parameter file. `source` and the triple's names are
// UTF-8, for the comment line.
std::string ParameterFileText(const Params &params, const std::string &source,
                              const std::string &first, const std::string &second,
                              const std::string &third);

// The same with comment lines of one's own, UTF-8, each written after "# ";
// a control character in them (a line end in a quoted name, say) becomes a
// space, so that no comment can turn into a line of its own.
std::string ParameterFileText(const Params &params, const std::vector<std::string> &comments);

// This model as a PROJ string: PROJ's helmert in its approximate form, with
// coordinate-frame rotations in arc-seconds and the scale in ppm. PROJ
// multiplies its rotations by (1 + s) where this model does not, so each
// rotation is written divided by (1 + Scale).
std::string ProjString(const Params &params);

// Reads a parameter file. Throws Error naming the file, the line and the key
// for a missing key, a key given twice, an unknown key, a line that is not
// "key = value", a value that is not a finite number, or a proj line that
// differs from the one the seven values give (a file without one is read).
Params ReadParameterFile(const std::string &path);
// The same from the file already read (its kind told by IsCalibrationFile).
Params ReadParameterFile(const KeyValueFile &file);

} // namespace kovarim
