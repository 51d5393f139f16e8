#pragma once

#include <string>
#include <vector>

#include "conversion/key_value_file.h"
#include "geodesy/coordinate_system.h"
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
//
// Parameters estimated between other coordinate systems than xyz say so in
// two more lines, before the seven, with the systems' canonical texts:
//
//   from = blh:wgs84
//   to = gk:bj54:117,zone=39
//
// and their proj line is the whole pipeline (ProjPipeline: the source's
// columns to geocentric, the helmert step, geocentric to the target's
// columns), which cct runs on the files' own columns. A file without them
// is xyz to xyz, as every file written before them; xyz to xyz writes
// neither, so such a file keeps its bytes.

// The whole text of a parameter file. `source` and the triple's names are
// UTF-8, for the comment line.
std::string ParameterFileText(const Params &params, const std::string &source,
                              const std::string &first, const std::string &second,
                              const std::string &third, const PointSystems &systems = {});

// The same with comment lines of one's own, UTF-8, each written after "# ";
// a control character in them (a line end in a quoted name, say) becomes a
// space, so that no comment can turn into a line of its own. A system in
// ddd.mmssss adds a comment that the proj line takes decimal degrees.
std::string ParameterFileText(const Params &params, const std::vector<std::string> &comments,
                              const PointSystems &systems = {});

// The proj line's value: ProjString for xyz to xyz, else the whole pipeline.
std::string ProjLine(const Params &params, const PointSystems &systems);

// This model as a PROJ string: PROJ's helmert in its approximate form, with
// coordinate-frame rotations in arc-seconds and the scale in ppm. PROJ
// multiplies its rotations by (1 + s) where this model does not, so each
// rotation is written divided by (1 + Scale).
std::string ProjString(const Params &params);

// What a parameter file holds.
struct ParameterFile {
    Params params{};
    PointSystems systems; // xyz to xyz unless the file says otherwise
};

// Reads a parameter file. Throws Error naming the file, the line and the key
// for a missing key, a key given twice, an unknown key, a line that is not
// "key = value", a value that is not a finite number, a system that cannot
// be read (from and to: both or neither), or a proj line that differs from
// the one the seven values and the systems give (a file without one is read).
ParameterFile ReadParameters(const std::string &path);
// The same from the file already read (its kind told by IsCalibrationFile).
ParameterFile ReadParameters(const KeyValueFile &file);

// The same for a use that knows only X, Y, Z: a file between other systems
// is refused, naming them, rather than applied to coordinates it was not
// made for.
Params ReadParameterFile(const std::string &path);

} // namespace kovarim
