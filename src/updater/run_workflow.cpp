#include "updater/run_workflow.h"

namespace updater {
namespace {

WorkflowMaker& Maker() {
  static WorkflowMaker maker;
  return maker;
}

}  // namespace

void SetWorkflowMaker(WorkflowMaker maker) { Maker() = std::move(maker); }

const WorkflowMaker& CurrentWorkflowMaker() { return Maker(); }

}  // namespace updater
