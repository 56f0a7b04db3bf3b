#include "gui/CommissionLines.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include "app/ShopFinder.h"
#include "app/ShopPage.h"
#include "gui/WebPage.h"
#include "platform/CodePage.h"

namespace vendrix {

TCommissionLines::TCommissionLines(ShopFinder& finder, QWebEnginePage* page,
                                   std::function<void(int row)> shown, QObject* parent)
    : QObject(parent), finder_(finder), page_(page), shown_callback_(std::move(shown)) {}

TCommissionLines::~TCommissionLines() {
  Stop(0);
  // Nothing of the threads may outlive us: their jobs use this object and their components.
  for (auto& worker : workers_) worker->thread.wait();
}

TCommissionLines::Worker& TCommissionLines::WorkerFor(size_t batch) {
  while (workers_.size() <= batch) {
    auto worker = std::make_unique<Worker>();
    worker->component.SetDefaultGateway(finder_.GetSettings().Gateway);
    // Its client is made on first use; made here, the window's aborts never race to make it.
    worker->component.Http();
    worker->context = std::make_unique<QObject>();
    worker->context->moveToThread(&worker->thread);
    worker->thread.start();
    workers_.push_back(std::move(worker));
  }
  return *workers_[batch];
}

void TCommissionLines::Start(const Info& seller, int row, int mark) {
  if (stopped_) return;
  Drop();
  items_ = PageCommissions(seller);
  row_ = row;
  mark_ = mark;
  uint64_t generation = generation_;
  for (CommissionBatch& batch : items_.PrepareBatches(finder_)) {
    Worker& worker = WorkerFor(batch.index);
    QMetaObject::invokeMethod(
        worker.context.get(),
        [this, &worker, generation, batch = std::move(batch)]() mutable {
          if (generation != generation_) return;  // a newer page was handed over already
          worker.component.Http().ClearAbort();
          // An abort that came between the check and the clearing was for this very batch.
          if (generation != generation_) return;
          RunCommissionBatch(batch, worker.component);
          QMetaObject::invokeMethod(
              this,
              [this, generation, batch = std::move(batch)] {
                if (generation == generation_) Arrived(batch);
              },
              Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
  }
}

void TCommissionLines::Shown(int mark) {
  if (stopped_ || mark != mark_ || row_ < 0 || shown_) return;
  shown_ = true;
  // Every line the page was built with says 佣金…: those settled since are written now.
  std::vector<size_t> settled;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_.At(i).state != ItemCommission::kPending) settled.push_back(i);
  }
  Write(settled);
}

void TCommissionLines::Drop() {
  ++generation_;
  AbortCalls();
  items_ = PageCommissions();
  row_ = -1;
  shown_ = false;
  reported_ = false;
}

void TCommissionLines::Stop(int wait_ms) {
  stopped_ = true;
  Drop();
  // Every call is aborted by now, so the threads end at once.
  QDeadlineTimer deadline(wait_ms);
  for (auto& worker : workers_) worker->thread.quit();
  for (auto& worker : workers_) worker->thread.wait(deadline);
}

const ItemCommission* TCommissionLines::Known(const std::string& iid) const {
  // Until the page carries its mark, the browser shows the page before: its items are not
  // these, and what was known of those was forgotten with it.
  if (!shown_) return nullptr;
  const ItemCommission* item = items_.Find(iid);
  if (item == nullptr) return nullptr;
  bool settles = (item->state == ItemCommission::kConverted && !item->click_url.empty()) ||
                 item->state == ItemCommission::kNone;
  return settles ? item : nullptr;
}

void TCommissionLines::AbortCalls() {
  for (auto& worker : workers_) worker->component.Http().Abort();
}

void TCommissionLines::Arrived(const CommissionBatch& batch) {
  std::vector<size_t> changed = items_.Apply(batch);
  if (shown_) Write(changed);
}

void TCommissionLines::Write(const std::vector<size_t>& changed) {
  QJsonArray lines;
  for (size_t i : changed) {
    lines.append(QJsonArray{QString::fromStdString(CommissionLineId(i)),
                            QString::fromStdString(GbkToUtf8(CommissionLine(items_.At(i))))});
  }
  // The lines go in as text (textContent), never as markup, and only into the page of this
  // mark: a newer page has lines of the same ids.
  QString script = "(function() {"
                   "  if (!" + PageMarkTest(mark_) + ") return false;"
                   "  var lines = " + QString::fromUtf8(QJsonDocument(lines).toJson(
                                          QJsonDocument::Compact)) + ";"
                   "  for (var i = 0; i < lines.length; ++i) {"
                   "    var line = document.getElementById(lines[i][0]);"
                   "    if (line) line.textContent = lines[i][1];"
                   "  }"
                   "  return true;})()";
  uint64_t generation = generation_;
  bool settled = items_.Settled();
  page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                       [this, generation, settled](const QVariant& written) {
                         // The answer of a dropped page, or one that comes as the page goes.
                         if (stopped_ || generation != generation_) return;
                         if (settled && written.toBool() && !reported_) {
                           reported_ = true;
                           shown_callback_(row_);
                         }
                       });
}

}  // namespace vendrix
