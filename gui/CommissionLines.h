// What each item of the shop page pays, filled into the page in place. When a page is handed
// to the browser its items are converted off the window's thread, each batch of 50 ids on a
// thread and a connection of its own, all at once; as each batch comes back, its items' lines
// are written into the page by a script of the window's own (in a world of its own, never the
// page's), and only into the page that carries the page's mark: the page neither reloads nor
// scrolls. A newer page drops the older one's conversions: their calls aborted, their results
// never shown. What the conversions said of the items of the page on show is kept for clicks.
// Create, use and destroy on the window's thread.
#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ItemCommissions.h"

class QWebEnginePage;

namespace vendrix {

class ShopFinder;

class TCommissionLines : public QObject {
 public:
  // `shown(row)` hears, once a page, that every line of row `row`'s page on show is filled in.
  TCommissionLines(ShopFinder& finder, QWebEnginePage* page, std::function<void(int row)> shown,
                   QObject* parent);
  ~TCommissionLines() override;

  // The page of row `row` (`seller`, the row as the page shows it) was handed to the browser
  // with mark `mark`: converts its items. Whatever the page before had under way is aborted and
  // never shown, and what was known of its items is forgotten.
  void Start(const Info& seller, int row, int mark);
  // The page of mark `mark` is the one on show: the lines known so far are written into it, and
  // the later ones as they come. A mark other than the last Start's changes nothing.
  void Shown(int mark);
  // Drops every conversion under way and forgets the page (a new search starts).
  void Drop();
  // Drops everything and ends the threads, waiting at most `wait_ms`; nothing is done after.
  void Stop(int wait_ms);

  // What the platform said of item `iid` of the page on show, when that settles a click: the
  // item converted with a web address, or not converted at all. nullptr otherwise: no such item
  // on the page on show, its batch under way or failed, or no address came for it.
  const ItemCommission* Known(const std::string& iid) const;

 private:
  // One thread with a conversion component of its own; batch k of every page runs on worker k.
  struct Worker {
    QThread thread;
    std::unique_ptr<QObject> context;  // lives on `thread`
    TTaobaokeConvert component;
  };
  Worker& WorkerFor(size_t batch);
  void AbortCalls();
  void Arrived(const CommissionBatch& batch);
  // Writes the lines of the page positions `changed` into the page on show.
  void Write(const std::vector<size_t>& changed);

  ShopFinder& finder_;
  QWebEnginePage* page_;
  std::function<void(int row)> shown_callback_;
  std::vector<std::unique_ptr<Worker>> workers_;
  // Bumped before every abort: a worker that sees another value than its job's drops the job.
  std::atomic<uint64_t> generation_{0};
  bool stopped_ = false;

  // The page handed to the browser last.
  PageCommissions items_;
  int row_ = -1;
  int mark_ = 0;
  bool shown_ = false;     // it is the page on show
  bool reported_ = false;  // its lines have all been filled in, and that was said
};

}  // namespace vendrix
