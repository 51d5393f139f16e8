#pragma once

#include <string>

#include "calibration/calibration_source.h"
#include "estimation/common_points.h"
#include "textio/field_reader.h"

namespace kovarim {

// Reads a site calibration's common points: one point a line, seven
// comma-separated fields, name, a, b, c, X, Y, h: the first three in the
// source system (x y h of a plane or a grid, B L H with B and L in its form),
// the last three on the local plane (X north, Y east, h, metres). Blank lines
// are skipped; names and encodings as ReadCommonPointFile reads them (a UTF-8
// file's names converted to GBK, for the report).
//
// The table CalibrateTable takes: x1, y1 the source plane (CalibrationSource::
// ToPlane), z1 the height H; x2, y2, z2 the local X, Y, h. A line without
// seven fields, a coordinate that is not a plain number, or a value the
// source refuses is an Error naming the file, the line, the field and the
// side (原坐标系 / 局部坐标系).
CommonPointTable ReadCalibrationPointFile(const std::string &path, const CalibrationSource &source);
CommonPointTable ReadCalibrationPoints(FieldReader &reader, const CalibrationSource &source);

} // namespace kovarim
