#pragma once
// RunWorkflow: what the window hands to the run state machine that lives on
// its event queue (the search, identification, programming and service
// steps). The window owns it and creates it through the process-wide maker,
// which the program sets once at start (before any window is made), so every
// front end gets the same workflow without knowing it. Main thread only.
#include <functional>
#include <memory>

namespace updater {

class TUpdateForm;

class RunWorkflow {
 public:
  virtual ~RunWorkflow() = default;
  /// Subscribes to the window's queue; called once at start-up, before any
  /// other subscriber, so that every later one sees an event first.
  virtual void Attach() = 0;
  /// A serial line error on the port with COM number `number`.
  virtual void OnLineError(int number) = 0;
  /// The model menu items (tags 0..3) and "Lab XXX".
  virtual void TG77xProgrammingClick(int tag) = 0;
  virtual void LabXXXClick() = 0;
  /// Writes the instrument's clock (seconds form, or the day form).
  virtual void SetInstrumentClock(bool secondsForm) = 0;
  /// The window closes: background work is asked to stop.
  virtual void OnClose() = 0;
};

/// Makes the workflow of a window; the window outlives what it returns.
using WorkflowMaker = std::function<std::unique_ptr<RunWorkflow>(TUpdateForm& form)>;

/// The maker every TUpdateForm made afterwards uses. Without one a window has
/// no workflow: OK and the menu items then do nothing.
void SetWorkflowMaker(WorkflowMaker maker);
const WorkflowMaker& CurrentWorkflowMaker();

}  // namespace updater
