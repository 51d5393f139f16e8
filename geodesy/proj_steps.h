#pragma once

#include <string>

#include "geodesy/coordinate_system.h"

namespace kovarim {

// The PROJ steps of a coordinate system, so that a parameter file's proj line
// can be the whole road, source columns → geocentric → the helmert step →
// target columns, which `cct` reads on the file's own three columns (B L H,
// x y h with x the northing first):
//
//   blh:ELL  +step +proj=axisswap +order=2,1 +step +proj=unitconvert +xy_in=deg
//            +xy_out=rad +step +proj=cart +a=A +rf=RF
//   gk:ELL:CM,zone=N,k=K,fe=E
//            +step +proj=axisswap +order=2,1 +step +inv +proj=tmerc +lon_0=CM
//            +k=K +x_0=N·10⁶+E +y_0=0 +a=A +rf=RF +step +proj=cart +a=A +rf=RF
//   xyz      nothing
//
// and the same backwards for a target. The ellipsoid always as +a and +rf,
// never a PROJ name, so that PROJ takes the same numbers. PROJ's tmerc
// (Poder/Engsager) and cart agree with this program's within a few
// nanometres. What PROJ cannot do: read or write the ddd.mmssss form; for a
// blh:ELL,dms system the steps are those of blh:ELL, on columns of decimal
// degrees (ProjReadsColumns is false).

// The steps from the system's columns to PROJ's geocentric X, Y, Z, each
// written " +step ..." (a blank first), to follow "+proj=pipeline"; empty
// for xyz.
std::string ProjStepsToGeocentric(const CoordinateSystem &s);
// The steps from geocentric X, Y, Z to the system's columns.
std::string ProjStepsFromGeocentric(const CoordinateSystem &s);

// The whole pipeline: "+proj=pipeline" + the source's steps + "+step " +
// `middle` (e.g. "+proj=helmert ...", or empty for none) + the target's steps.
// With xyz on both sides it is `middle` itself, unchanged (today's proj line),
// or "+proj=noop" for no middle.
std::string ProjPipeline(const CoordinateSystem &from, const std::string &middle,
                         const CoordinateSystem &to);

// The grid's projection alone, "+proj=tmerc ..." (no "+step"): from
// longitude and latitude in radians to the easting (with the false easting
// and the zone prefix) and the northing, on the grid's ellipsoid. For a gk
// system only.
std::string ProjProjection(const CoordinateSystem &grid);

// Whether cct on the system's own columns gives the same numbers: false for
// the ddd.mmssss form.
bool ProjReadsColumns(const CoordinateSystem &s);

} // namespace kovarim
