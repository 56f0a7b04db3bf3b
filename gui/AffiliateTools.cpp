#include "gui/AffiliateTools.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>
#include <QWebEngineView>
#include <algorithm>

#include "app/TableText.h"
#include "gui/FailureWords.h"
#include "gui/LibraryTools.h"
#include "gui/PageLoader.h"
#include "gui/SearchConditions.h"
#include "gui/SellerListMenu.h"
#include "gui/Unit1.h"
#include "gui/UserFile.h"
#include "platform/CodePage.h"

namespace vendrix {

TAffiliateTools::TAffiliateTools(TForm1& form, ShopFinder& finder, TPageLoader& loader)
    : QObject(&form), form_(form), finder_(finder), loader_(loader) {
  filters_ = LoadSearchConditions();
  ShowConditionsMarker();
  menu_ = new TSellerListMenu(
      form_.ListView1,
      {.copy_nick =
           [this](int row) {
             Copy(finder_.Sellers()[static_cast<size_t>(row)].nick,
                  QString::fromUtf8("卖家昵称已复制"));
           },
       .copy_shop_link =
           [this](int row) {
             loader_.ConvertShopOf(finder_.PrepareShopLink(static_cast<size_t>(row)));
           },
       .shop_saved = [this](int row) { return form_.LibraryTools().ShopSaved(row); },
       .can_save = [this] { return form_.LibraryTools().CanSave(); },
       .save_shop = [this](int row) { form_.LibraryTools().SaveShop(row); },
       .unsave_shop = [this](int row) { form_.LibraryTools().UnsaveShop(row); },
       .export_list = [this] { ExportSellers(); },
       .more_conditions = [this] { EditSearchConditions(); }});
}

void TAffiliateTools::Copy(const std::string& gbk, const QString& status,
                           const CallFailure& failure, const std::string& commission_rate) {
  if (gbk.empty()) {
    // The clipboard keeps what it held.
    Say(LinkFailed(failure));
    return;
  }
  QString text = QString::fromStdString(GbkToUtf8(gbk));
  QGuiApplication::clipboard()->setText(text);
  Say(status);
  emit form_.LinkCopied(text, QString::fromStdString(GbkToUtf8(commission_rate)));
}

void TAffiliateTools::Say(const QString& status) {
  // Said where the user looks, for two seconds, over the page and moving nothing. A tooltip
  // would do, but the window system hides one on the focus change that closes a menu.
  if (note_ == nullptr) {
    note_ = new QLabel(form_.GroupBox2);
    note_->setObjectName("CopyNote");
    note_->setPalette(QToolTip::palette());
    note_->setAutoFillBackground(true);
    note_->setFrameShape(QFrame::Box);
    note_->setMargin(4);
    note_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Reasons carry the platform's and servers' own words: text, never markup.
    note_->setTextFormat(Qt::PlainText);
    note_timer_.setSingleShot(true);
    connect(&note_timer_, &QTimer::timeout, note_, &QWidget::hide);
  }
  QWebEngineView* page = form_.WebBrowser1;
  note_->setText(status);
  // A long reason wraps within the page rather than running off it.
  const int widest = std::max(100, page->width() - 40);
  note_->setWordWrap(false);
  note_->adjustSize();
  if (note_->width() > widest) {
    note_->setWordWrap(true);
    note_->resize(widest, note_->heightForWidth(widest));
  }
  note_->move(page->x() + (page->width() - note_->width()) / 2, page->y() + 20);
  note_->raise();
  note_->show();
  note_timer_.start(2000);
}

void TAffiliateTools::ShopLinkConverted(const ShopLinkJob& job) {
  if (job.conversion.click_url.empty()) {
    Copy("", QString(), job.conversion.failure);
    return;
  }
  finder_.StoreShopLink(job);
  Copy(job.conversion.click_url, QString::fromUtf8("店铺推广链接已复制"));
}

void TAffiliateTools::ExportSellers() {
  // A known extension says the format; any other, the type chosen. TSV names its columns in
  // a first line, as CSV and JSON name their fields.
  SaveUserFile(&form_, QString::fromUtf8("导出卖家列表"), QString::fromUtf8("卖家列表.csv"),
               {{"CSV (*.csv)", "csv"}, {"TSV (*.tsv *.txt)", "tsv"}, {"JSON (*.json)", "json"}},
               [this](const QString& path, const UserFileType& type) {
                 QString suffix = QFileInfo(path).suffix().toLower();
                 std::optional<TableFormat> format =
                     ParseTableFormat(suffix == "txt" ? "tsv" : suffix.toStdString());
                 if (!format) format = ParseTableFormat(type.suffix.toStdString());
                 return QByteArray::fromStdString(
                     SellersText(rows_, format.value_or(TableFormat::kCsv), /*tsv_header=*/true));
               });
}

void TAffiliateTools::EditSearchConditions() {
  TSearchConditionsDialog dialog(filters_, finder_.ConfiguredItemCond(), &form_);
  if (dialog.exec() != QDialog::Accepted) return;
  filters_ = dialog.Filters();
  SaveSearchConditions(filters_);
  ShowConditionsMarker();
}

bool TAffiliateTools::ConditionsFitConfiguration() {
  QString crossed = CrossedBoundText(filters_, finder_.ConfiguredItemCond());
  if (crossed.isEmpty()) return true;
  QMessageBox box(QMessageBox::Warning, window_defaults::kProductName,
                  crossed + QString::fromUtf8("\n请修改更多搜索条件后再搜索。"), QMessageBox::NoButton,
                  &form_);
  box.setTextFormat(Qt::PlainText);
  QPushButton* change = box.addButton(QString::fromUtf8("修改条件..."), QMessageBox::AcceptRole);
  box.addButton(QString::fromUtf8("关闭"), QMessageBox::RejectRole);
  box.exec();
  if (box.clickedButton() == change) EditSearchConditions();
  return false;
}

void TAffiliateTools::ShowConditionsMarker() {
  // The box's title says when conditions narrow the search, so fewer sellers never puzzle.
  QString conditions = DescribeSearchConditions(filters_);
  form_.GroupBox1->setTitle(
      QString::fromUtf8(conditions.isEmpty() ? "搜索店铺" : "搜索店铺（已设条件）"));
  form_.GroupBox1->setToolTip(conditions.isEmpty() ? QString()
                                                  : "<qt>" + conditions.toHtmlEscaped() + "</qt>");
}

}  // namespace vendrix
