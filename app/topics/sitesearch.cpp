#include "topics/sitesearch.h"

#include "common/viewtips.h"

#include <QFrame>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

SiteSearch::SiteSearch(QWidget *owner, std::function<int(int position)> select)
    : QDialog(owner), select_(std::move(select))
{
    setObjectName(QStringLiteral("SiteSearch"));
    setWindowTitle(QStringLiteral("検索後のサイト指定"));
    setFixedSize(680, 380);

    LVSiteSearch = new QTreeWidget(this);
    LVSiteSearch->setObjectName(QStringLiteral("LVSiteSearch"));
    LVSiteSearch->setGeometry(12, 12, 656, 308);
    LVSiteSearch->setRootIsDecorated(false);
    LVSiteSearch->setUniformRowHeights(true);
    LVSiteSearch->setAllColumnsShowFocus(true);
    ShowCutOffTips(LVSiteSearch);
    OKButton = new QPushButton(QStringLiteral("適用して閉じる"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(356, 334, 150, 30);
    CancelButton = new QPushButton(QStringLiteral("変更なしで閉じる"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(518, 334, 150, 30);
    OKButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);

    connect(OKButton, &QPushButton::clicked, this, &SiteSearch::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &SiteSearch::hide);
}

void SiteSearch::Init_LVSiteSearch()
{
    LVSiteSearch->clear();
    SetSiteColumns(LVSiteSearch);
    rowCount_ = 0;
}

void SiteSearch::Add_LVSiteSearch(bool checked, int position, const QString &name,
                                  const QString &language, const QString &type,
                                  const QString &searchKey)
{
    // One row per site at most; the map has room for every site the program holds.
    if (rowCount_ >= int(rowMap_.size()))
        return;
    auto *item = new QTreeWidgetItem({name, language, type, searchKey});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    LVSiteSearch->addTopLevelItem(item);
    rowMap_[rowCount_++] = position;
}

void SiteSearch::OKButton_Click()
{
    for (int r = 0; r < rowCount_; ++r) {
        const QTreeWidgetItem *item = LVSiteSearch->topLevelItem(r);
        if (!item || item->checkState(0) != Qt::Checked)
            continue;
        // The limit message has been shown once; the rows after the refused one are left.
        if (select_(rowMap_[r]) == -1)
            break;
    }
    hide();
}

QStringList SiteColumnHeaders()
{
    return {QStringLiteral("サイト"), QStringLiteral("言語"), QStringLiteral("分野"),
            QStringLiteral("キーワード")};
}

void SetSiteColumns(QTreeWidget *list)
{
    const QStringList headers = SiteColumnHeaders();
    list->setColumnCount(int(headers.size()));
    list->setHeaderLabels(headers);
    // The inner width, less the vertical scroll bar, so the four columns fit without a
    // horizontal scroll bar.
    const int w = list->width() - 2 * list->frameWidth() -
                  list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->setColumnWidth(0, w / 3);
    list->setColumnWidth(1, w / 12);
    list->setColumnWidth(2, w / 12);
    list->setColumnWidth(3, w / 2);
    list->setFrameShape(QFrame::Box);
    list->setFrameShadow(QFrame::Plain);
}
