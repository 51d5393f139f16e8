#pragma once

#include <string>
#include <vector>

#include "textio/field_reader.h"

namespace kovarim {

// A point known in both systems: x1, y1, z1 in the original system, x2, y2, z2
// in the new one.
struct CommonPoint {
    std::string Name;                     // in the report's encoding, GBK (see ReadCommonPoints)
    FieldKind NameKind = FieldKind::Text; // the report writes a numeric name as a number
    double NameNumber = 0.0;
    double x1 = 0.0, y1 = 0.0, z1 = 0.0;
    double x2 = 0.0, y2 = 0.0, z2 = 0.0;
    long long line = 0; // where it stands in its file, for messages
};

// The points of one common-point file in file order. A point's number (from 1)
// is its identity in the estimation: names need not be unique.
class CommonPointTable {
  public:
    CommonPointTable() = default;
    explicit CommonPointTable(std::string source) : source_(std::move(source)) {}

    const std::string &source() const { return source_; } // the file's name, for messages
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
CommonPointTable ReadCommonPointFile(const std::string &path);
CommonPointTable ReadCommonPoints(FieldReader &reader);

} // namespace kovarim
