// The site-search dialog: the sites the Topics window's filter found, to be ticked into the
// topic shown there. Clearing a box here never removes a site: only ticked rows are passed on.
#pragma once

#include "topics/topicstore.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

class QPushButton;
class QTreeWidget;
class Topics;

class SiteSearch : public QDialog {
    Q_OBJECT

public:
    explicit SiteSearch(Topics *owner);

    void Init_LVSiteSearch();
    // Adds a row; position is the same site's 1-based row position in the Topics window.
    void Add_LVSiteSearch(bool checked, int position, const QString &name, const QString &language,
                          const QString &type, const QString &searchKey);
    // Row map: for row r of LVSiteSearch, the row position in the Topics window.
    int rowCount() const { return rowCount_; }
    int rowPosition(int row) const { return rowMap_[row]; }

    void OKButton_Click();

    QTreeWidget *LVSiteSearch = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

private:
    Topics *owner_;
    std::array<int, kSiteInfoCount> rowMap_{};
    int rowCount_ = 0;
};
