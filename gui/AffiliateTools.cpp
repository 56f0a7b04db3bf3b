#include "gui/AffiliateTools.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QToolTip>
#include <QWebEngineView>

#include "app/TableText.h"
#include "gui/PageLoader.h"
#include "gui/SearchConditions.h"
#include "gui/SellerListMenu.h"
#include "gui/Unit1.h"
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
       .export_list = [this] { ExportSellers(); },
       .more_conditions = [this] { EditSearchConditions(); }});
}

void TAffiliateTools::Copy(const std::string& gbk, const QString& status) {
  if (gbk.empty()) {
    // The clipboard keeps what it held.
    Say(QString::fromUtf8("推广链接获取失败"));
    return;
  }
  QString text = QString::fromStdString(GbkToUtf8(gbk));
  QGuiApplication::clipboard()->setText(text);
  Say(status);
  emit form_.LinkCopied(text);
}

void TAffiliateTools::Say(const QString& status) {
  // Said where the user looks, for two seconds, without moving anything.
  QWebEngineView* page = form_.WebBrowser1;
  QToolTip::showText(page->mapToGlobal(QPoint(page->width() / 2, 20)), status, page, QRect(), 2000);
}

void TAffiliateTools::ShopLinkConverted(const ShopLinkJob& job) {
  if (job.conversion.click_url.empty()) {
    Copy("", QString());
    return;
  }
  // Stored as a page load would have stored it, so the row is not looked up again.
  Info& row = finder_.Sellers()[job.row];
  row.sid = job.seller.sid;
  row.title = job.seller.title;
  row.logo_url = job.seller.logo_url;
  row.shop_loaded = job.seller.shop_loaded;
  Copy(job.conversion.click_url, QString::fromUtf8("店铺推广链接已复制"));
}

void TAffiliateTools::ExportSellers() {
  QString chosen;
  QString name = QFileDialog::getSaveFileName(
      &form_, QString::fromUtf8("导出卖家列表"),
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
          QString::fromUtf8("/卖家列表.csv"),
      QString::fromUtf8("CSV (*.csv);;TSV (*.tsv *.txt);;JSON (*.json)"), &chosen,
      QFileDialog::DontUseNativeDialog);
  if (name.isEmpty()) return;
  // A name typed without an extension takes that of the chosen type, which says the format.
  if (QFileInfo(name).suffix().isEmpty()) {
    name += chosen.startsWith("JSON") ? ".json" : chosen.startsWith("TSV") ? ".tsv" : ".csv";
  }
  QFile file(name);
  std::string text = SellersText(rows_, TableFormatOfFile(name.toStdString()));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(text.data(), static_cast<qint64>(text.size())) !=
          static_cast<qint64>(text.size())) {
    QMessageBox::warning(&form_, window_defaults::kProductName,
                         QString::fromUtf8("无法写入 %1：%2").arg(name, file.errorString()));
  }
}

void TAffiliateTools::EditSearchConditions() {
  TSearchConditionsDialog dialog(filters_, &form_);
  if (dialog.exec() != QDialog::Accepted) return;
  filters_ = dialog.Filters();
  SaveSearchConditions(filters_);
  ShowConditionsMarker();
}

void TAffiliateTools::ShowConditionsMarker() {
  // The box's title says when conditions narrow the search, so fewer sellers never puzzle.
  QString conditions = DescribeSearchConditions(filters_);
  form_.GroupBox1->setTitle(
      QString::fromUtf8(conditions.isEmpty() ? "搜索店铺" : "搜索店铺（已设条件）"));
  form_.GroupBox1->setToolTip(conditions);
}

}  // namespace vendrix
