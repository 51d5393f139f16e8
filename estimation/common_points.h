#pragma once

#include <string>
#include <vector>

#include "geodesy/coordinate_system.h"
#include "model/seven_parameters.h"
#include "textio/field_reader.h"

namespace kovarim {

// A point known in both systems: x1, y1, z1 in the original system, x2, y2, z2
// in the new one, as X, Y, Z (each side on its own ellipsoid when its system
// is not xyz): the search and the adjustment see nothing else.
struct CommonPoint {
    std::string Name;                     // in the report's encoding, GBK (see ReadCommonPoints)
    FieldKind NameKind = FieldKind::Text; // the report writes a numeric name as a number
    double NameNumber = 0.0;
    double x1 = 0.0, y1 = 0.0, z1 = 0.0;
    double x2 = 0.0, y2 = 0.0, z2 = 0.0;
    Values given2{};    // the new system's values as the file gives them (x2, y2, z2 for xyz)
    long long line = 0; // where it stands in its file, for messages
};

// The points of one common-point file in file order. A point's number (from 1)
// is its identity in the estimation: names need not be unique.
class CommonPointTable {
  public:
    CommonPointTable() = default;
    explicit CommonPointTable(std::string source, PointSystems systems = {})
        : source_(std::move(source)), systems_(std::move(systems)) {}

    const std::string &source() const { return source_; } // the file's name, for messages
    const PointSystems &systems() const { return systems_; }
    int PointCount() const { return static_cast<int>(points_.size()); }
    const CommonPoint &Point(int number) const { return points_[number - 1]; }
    const std::vector<CommonPoint> &points() const { return points_; }
    void Add(CommonPoint point) { points_.push_back(std::move(point)); }
    template <class Convert> void ConvertNames(Convert convert) {
        for (CommonPoint &p : points_)
            p.Name = convert(p.Name);
    }

  private:
    std::string source_;
    PointSystems systems_;
    std::vector<CommonPoint> points_;
};

// The most common points a file may hold. Beyond it the search would run for
// days; the file is refused at once instead of read whole.
inline constexpr int kMaxCommonPoints = 32767;

// Reads a common-point file: one point a line, seven comma-separated fields
// (name, x1, y1, z1, x2, y2, z2). Blank lines are skipped anywhere. Any other
// line must hold exactly seven fields, and the six coordinates must be
// numbers; otherwise Error names the file, the line and the field. A GBK
// file's names stay as they are; a UTF-8 file's are converted to GBK.
//
// Each side's three values are read in its system (B L H, x y h, ...: B and L
// of blh,dms in ddd.mmssss), checked and turned into X, Y, Z; a value the
// system refuses (B beyond ±90°, a zone prefix that is not zone=N, a grid
// point beyond 9° of its central meridian ...) is an Error at its line and
// field, saying which side.
CommonPointTable ReadCommonPointFile(const std::string &path, const PointSystems &systems = {});
CommonPointTable ReadCommonPoints(FieldReader &reader, const PointSystems &systems = {});
// Once the whole file is read and its encoding known: Error at the line that
// shows the encoding cannot be told, else the names turned into the report's
// encoding (GBK).
void NamesInReportEncoding(const FieldReader &reader, CommonPointTable &table);

// The residuals computed − given of point `q` of `table` under `params`: its
// original coordinates transformed, against its new ones, in the new
// system's own terms (ResidualName: ΔX ΔY ΔZ, metres north, east and up, or
// grid Δx Δy Δh). For xyz each is TransformX(...) − x2 and so on, as the
// report has always computed them. An overflow throws Error naming the
// residual ("X 残差：...").
Values ResidualsOf(const CommonPointTable &table, const Params &params, const CommonPoint &q);

} // namespace kovarim
