// The site-search dialog: the sites the Topics window's filter found, to be ticked into the
// topic shown there. Clearing a box here never removes a site: only ticked rows are passed on.
#pragma once

#include "core/opensearch.h"
#include "core/sitelist.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

class QPushButton;
class QTreeWidget;

class SiteSearch : public QDialog {
    Q_OBJECT

public:
    // select ticks the site of a row position of the owner's list; -1 refuses it (the
    // owner has shown the limit message) and leaves the rows after it.
    SiteSearch(QWidget *owner, std::function<int(int position)> select);

    void Init_LVSiteSearch();
    // Adds a row; position is the same site's 1-based row position in the Topics window.
    void Add_LVSiteSearch(bool checked, int position, const QString &name, const QString &language,
                          const QString &type, const QString &searchKey);
    // Row map: for row r of LVSiteSearch, the row position in the Topics window.
    int rowCount() const { return rowCount_; }
    int rowPosition(int row) const { return rowMap_[row]; }

    void OKButton_Click();

    // 「OpenSearchから追加…」: the owner's catalogue. taken tells whether a site of that name
    // is in it already; added is called once a site has been written to the user catalogue,
    // to load it again and show it.
    void setCatalogue(std::function<bool(const QString &name)> taken, std::function<void()> added);
    // Asks for a description's address or file (askWhere, replaceable by a test) and adds
    // its site.
    void AddOpenSearch_Click();
    // Reads the description at where (the window goes on while an address is fetched, the
    // command disabled), shows the site it makes and, when the user agrees, adds it to the
    // user catalogue. A name the catalogue holds already is refused: the user catalogue would
    // otherwise take a shipped site's place without a word. Every failure is said in a message
    // box. Ends with openSearchEnded (true when the site was added).
    void AddFromOpenSearch(const QString &where);
    static std::function<QString(QWidget *parent)> askWhere;

    QTreeWidget *LVSiteSearch = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;
    QPushButton *AddOpenSearch = nullptr;

Q_SIGNALS:
    void openSearchEnded(bool added);

private:
    bool addFetched(DescriptionFault fault, const QByteArray &bytes, const QString &detail);

    DescriptionFetch fetch_;
    QString fetchWhere_;
    std::function<int(int position)> select_;
    std::function<bool(const QString &name)> taken_;
    std::function<void()> added_;
    std::array<int, kSiteInfoCount> rowMap_{};
    int rowCount_ = 0;
};

// The column headers of a site list, which the Topics window's filter names too.
QStringList SiteColumnHeaders();
// Sets the four columns of a site list ("サイト", "言語", "分野", "キーワード") with widths of
// 1/3, 1/12, 1/12 and 1/2 of the list's width, and its plain border.
void SetSiteColumns(QTreeWidget *list);
