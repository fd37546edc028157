#include "loaders/library_progress.h"

namespace loaders {

void LibraryProgress::Add(Report report) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(report);
  }
  loop_.Post({kWakeMessage, 0});
}

bool LibraryProgress::Deliver(updater::UpdateView& view, updater::TWindowOutput& output) {
  std::vector<Report> reports;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    reports.swap(pending_);
  }
  for (const Report& report : reports) {
    switch (report.kind) {
      case Kind::Advance:
        view.SetProgress(view.Progress() + 1);
        output.ReportProgress("", report.percent);
        break;
      case Kind::SetBar:
        view.SetProgress(report.bar);
        output.ReportProgress("", report.percent);
        break;
      case Kind::End:
        ended_ = true;
        break;
    }
  }
  return ended_;
}

}  // namespace loaders
