#include "topics/sitesearch.h"

#include "common/messagebox.h"
#include "common/viewtips.h"
#include "core/opensearch.h"
#include "tessel.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QInputDialog>
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
    AddOpenSearch = new QPushButton(QStringLiteral("OpenSearchから追加…"), this);
    AddOpenSearch->setObjectName(QStringLiteral("AddOpenSearch"));
    AddOpenSearch->setGeometry(12, 334, 200, 30);
    AddOpenSearch->setToolTip(
        QStringLiteral("検索結果をAtomかRSSで返すサイトを、そのOpenSearch記述から追加します"));
    OKButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);
    AddOpenSearch->setAutoDefault(false);
    connect(AddOpenSearch, &QPushButton::clicked, this, &SiteSearch::AddOpenSearch_Click);
    connect(&fetch_, &DescriptionFetch::ended, this,
            [this](DescriptionFault fault, const QByteArray &bytes, const QString &detail) {
                const bool added = addFetched(fault, bytes, detail);
                AddOpenSearch->setEnabled(true);
                Q_EMIT openSearchEnded(added);
            });

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

static const QString kAddCaption = QStringLiteral("OpenSearchから追加");

std::function<QString(QWidget *parent)> SiteSearch::askWhere = [](QWidget *parent) {
    return QInputDialog::getText(
               parent, kAddCaption,
               QStringLiteral("OpenSearch記述のアドレス（http:// または https://）か、"
                              "記述ファイルのパスを入力してください。"))
        .trimmed();
};

void SiteSearch::setCatalogue(std::function<bool(const QString &name)> taken,
                              std::function<void()> added)
{
    taken_ = std::move(taken);
    added_ = std::move(added);
}

void SiteSearch::AddOpenSearch_Click()
{
    const QString where = askWhere(this);
    if (!where.isEmpty())
        AddFromOpenSearch(where);
}

static QString readFault(DescriptionFault fault, const QString &where, const QString &detail)
{
    switch (fault) {
    case DescriptionFault::None:
        break;
    case DescriptionFault::Unreadable:
        return QStringLiteral("ファイルを読めません（ないか、普通のファイルでないか、1MBを超えてい"
                              "ます）：\n") +
               where;
    case DescriptionFault::NoPlace:
        return QStringLiteral("記述を受け取る一時ファイルを作れません：\n") + detail;
    case DescriptionFault::NotFetched:
        return QStringLiteral("OpenSearch記述を取得できませんでした（サーバーにつながらないか、"
                              "応答がありません）：\n") +
               where;
    }
    return QString();
}

static QString draftFault(int32_t made)
{
    switch (made) {
    case TESSEL_E_OPENSEARCH_UNREADABLE:
        return QStringLiteral("OpenSearch記述ではないか、ShortName（サイト名）がありません。");
    case TESSEL_E_OPENSEARCH_HTML_ONLY:
        return QStringLiteral("このサイトは検索結果をHTMLページでしか返しません。"
                              "AtomかRSSで返すサイトだけを追加できます。");
    case TESSEL_E_OPENSEARCH_UNUSABLE:
        return QStringLiteral(
            "AtomかRSSの検索アドレスが使えません（{searchTerms}がない、http・https"
            "でない、埋められない引数がある、文字コードがUTF-8・Shift_JISでない"
            "のいずれかです）。");
    case TESSEL_E_OPENSEARCH_TOO_LONG:
        return QStringLiteral("検索アドレスが長すぎて使えません。");
    default:
        return QStringLiteral("OpenSearch記述を読めませんでした（") + QString::number(made) +
               QStringLiteral("）。");
    }
}

void SiteSearch::AddFromOpenSearch(const QString &where)
{
    if (fetch_.busy())
        return;
    AddOpenSearch->setEnabled(false);
    fetchWhere_ = where;
    fetch_.start(where);
}

bool SiteSearch::addFetched(DescriptionFault fault, const QByteArray &bytes, const QString &detail)
{
    if (fault != DescriptionFault::None) {
        MsgBox(readFault(fault, fetchWhere_, detail), QMessageBox::Ok, kAddCaption,
               QMessageBox::Warning);
        return false;
    }
    const SiteDraft draft = DraftSite(bytes);
    if (!draft.ok()) {
        MsgBox(draftFault(draft.made), QMessageBox::Ok, kAddCaption, QMessageBox::Warning);
        return false;
    }
    const QString name = draft.name();
    if (taken_ && taken_(name)) {
        MsgBox(QStringLiteral("サイト「") + name +
                   QStringLiteral(
                       "」はすでにサイト一覧にあります。同じ名前のサイトは追加できません。"),
               QMessageBox::Ok, kAddCaption, QMessageBox::Warning);
        return false;
    }
    const QString ask = QStringLiteral("次のサイトを追加しますか？\n\nサイト名：") + name +
                        QStringLiteral("\n\n") + draft.text().trimmed();
    if (MsgBox(ask, QMessageBox::Ok | QMessageBox::Cancel, kAddCaption, QMessageBox::Question,
               QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    if (const int32_t added = UserSiteAdd(draft.entry.data()); added != 0) {
        MsgBox(QStringLiteral("利用者のサイト一覧（usersites.dat）を書き換えられませんでした（") +
                   QString::number(added) + QStringLiteral("）。"),
               QMessageBox::Ok, kAddCaption, QMessageBox::Warning);
        return false;
    }
    if (added_)
        added_();
    MsgBox(QStringLiteral("サイト「") + name +
               QStringLiteral("」を追加しました。検索テーマの設定でチェックすると検索に使えます。"),
           QMessageBox::Ok, kAddCaption);
    return true;
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
    // A wider window widens the keyword column, the one whose text is longest.
    list->header()->setStretchLastSection(true);
    list->setFrameShape(QFrame::Box);
    list->setFrameShadow(QFrame::Plain);
}
