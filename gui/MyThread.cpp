#include "gui/MyThread.h"

#include <QCoreApplication>

#include "gui/Unit1.h"

namespace vendrix {

TMyThread::TMyThread(TForm1* form, SearchChoices choices)
    : form_(form), choices_(std::move(choices)) {
  TForm1::Searching.store(true);
  connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TMyThread::run() {
  SearchOutcome outcome = form_->Finder().RunSearch(choices_);
  TForm1* form = form_;
  // Cleared before the end is posted: a press of 确定 once the end has enabled the controls
  // starts the next search. What the window still has to handle of this one keeps the next
  // from starting before it.
  TForm1::Searching.store(false);
  // Queued to the window, so the rows are in place before the message that follows them.
  QMetaObject::invokeMethod(
      form, [form, outcome] { form->FillList(outcome); }, Qt::QueuedConnection);
  QCoreApplication::postEvent(form, new QEvent(outcome.found ? WM_SEARCHDONE : WM_SEARCHFAILED));
}

}  // namespace vendrix
