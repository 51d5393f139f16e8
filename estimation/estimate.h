#pragma once

#include <functional>
#include <memory>
#include <string>

#include "estimation/equations.h"
#include "estimation/triple_search.h"
#include "model/seven_parameters.h"

namespace kovarim {

class ReplacementFile;

// The chosen triple's system, built and solved once more; nothing when the
// solve fails, which is what "no triple chosen" (all zero) gives. The
// accuracy report and the adjustment both take the triple's parameters from here.
std::optional<EquationSystem> SolveChosenTriple(const CommonPointTable &table,
                                                const TripleChoice &choice);

// The seven parameters of a solved system: b(1) to b(7).
Params ParametersOf(const EquationSystem &solved);

// A report named after the common-point file, written under a temporary name
// beside it. Refused when the report's name leads to the common-point file
// itself (a link), which the report would destroy.
std::unique_ptr<ReplacementFile> ReportFor(const std::string &commonPointPath,
                                           const std::string &reportPath);

// What an estimation tells its front end while it runs.
struct EstimationHooks {
    SearchProgress progress;          // the bar while the triples are tried
    std::function<void()> searchDone; // the search is over: hide the bar
};

// A finished estimation whose report is complete and on the disk under a
// temporary name beside the final one. Commit puts it in place; only then
// may the front end store the parameters. Dropped without Commit, it leaves
// nothing behind and the earlier report as it was.
class Estimation {
  public:
    // What a front end may say of it; names as in the report (GBK).
    struct Summary {
        std::string first, second, third; // the chosen triple's names
        double largestResidual = 0.0;     // as the report prints it
        std::string largestAt;            // the name of its point
        char largestAxis = 'X';
    };

    Estimation(Params params, Summary summary, std::unique_ptr<ReplacementFile> report,
               CommonPointTable table, TripleChoice choice);
    Estimation(Estimation &&) noexcept;
    Estimation &operator=(Estimation &&) noexcept;
    ~Estimation();

    const Params &params() const { return params_; }
    const Summary &summary() const { return summary_; }
    // The points as read and the triple chosen, for a second look at them.
    const CommonPointTable &table() const { return table_; }
    const TripleChoice &choice() const { return choice_; }
    const std::string &reportPath() const;
    ReplacementFile &report() { return *report_; }
    void Commit(); // throws Error naming the report when it cannot be put in place

  private:
    Params params_;
    Summary summary_;
    std::unique_ptr<ReplacementFile> report_;
    CommonPointTable table_;
    TripleChoice choice_;
};

// What the program says when no triple could be chosen; the message's
// second line says why (NoTripleMessage).
inline constexpr const char *kNoTripleSentence = "需要至少三个以上的公共点才能进行七参数计算";

// The whole message for a search that chose no triple: the sentence, and on
// a second line the reason.
std::string NoTripleMessage(NoTripleReason reason, const CommonPointTable &table);

// The estimation behind the first button, after the file was chosen: read
// the common points, search the best triple, solve it, write the whole
// report. Throws Error for a file that cannot be read or is malformed, for
// no triple chosen (NoTripleMessage), for values too large to compute, or
// for a report that cannot be written; in every one of these cases nothing
// has changed. The file's two sides are read in `systems` (ReadCommonPoints).
Estimation Estimate(const std::string &commonPointPath, const EstimationHooks &hooks,
                    const PointSystems &systems = {});

} // namespace kovarim
