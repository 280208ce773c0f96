#include "import/FetchGroups.h"
#include "import/PlanningActs.h"

void fetchPlanningGroup(FetchContext& ctx) {
    const std::string code = ctx.gminaCode();
    if (code.empty()) {
        ctx.addWarning("MPZP/POG pominiete: nie udalo sie ustalic gminy (TERYT) dla widoku.");
        return;
    }
    if (ctx.wants("pog")) fetchGeneralPlan(ctx, code);
    if (ctx.wants("mpzp")) fetchLocalPlans(ctx, code);
}
