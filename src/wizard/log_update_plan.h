// The run log's account of an update run's plan.
#ifndef WIZARD_LOG_UPDATE_PLAN_H
#define WIZARD_LOG_UPDATE_PLAN_H

#include "wizard/run_update_plan.h"

// Logs each planned item: what the run will do with it, its target and the
// archive entry that supplies it.
void LogUpdatePlan(const UpdatePlan& plan);

#endif
