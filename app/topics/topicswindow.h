// The Topics window: create and delete topics and choose the sites of each.
//
// Everything it changes goes to the topic store in memory; the store reaches "TOPICS.DAT"
// only at the orderly end. The window is created once and hidden, never destroyed, so a second
// opening shows it exactly as the user left it.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;
class NewTopic;
class SiteSearch;
class Session;
struct SiteInfo;
struct TopicStore;

// The window's rules as plain functions, usable without a window.
namespace topicsrules {

// 1-based position of the first occurrence of filter in text, ignoring letter case; 0 when it
// does not occur. An empty filter matches every text at position 1.
int TMatched(const QString &text, const QString &filter);

// The key a row of the site list carries ("j=" and the site index) and its inverse: the text
// after the first two characters, cut at the first blank, read as a decimal number (-1 when
// that is not a number).
QString RowKey(int32_t site);
int32_t KeySite(const QString &key);

// "検索テーマ：（指定されたサイト数=n、テーマ総数=m）"
QString CountLine(int sites, int topics);

// The limit message shown for a 51st site.
QString LimitMessage();

// The site's field for filter column c (0 name, 1 language, 2 type, 3 search key); nothing
// for any other column, which matches no site.
std::optional<QString> SiteColumnText(const SiteInfo &site, int column);

// Position to select after removing position a from a list of oldCount entries: the new last
// entry when a was the last, else a (which now names the entry that followed).
int PositionAfterRemoval(int a, int oldCount);

// True when no stored topic has exactly this name (case-sensitive).
bool NameIsFree(const TopicStore &store, const QString &name);

// True when the current topic's sites (the setting iTopic) are not, in order, the site list
// of the next search (RunSites), from which the main window's list was made.
bool CurrentSitesChanged(const Session &session);

} // namespace topicsrules

class Topics : public QDialog {
    Q_OBJECT

public:
    // The window edits the session's topics, which must outlive it.
    explicit Topics(Session &session, QWidget *parent = nullptr);

    // Init_Topic of the main window: rebuilds its topic list from the store. Called when the
    // window closes, since topics may have been added or removed; sitesChanged tells whether
    // the current topic's sites differ from those the main window's list was made from.
    std::function<void(bool sitesChanged)> initTopic;

    void SetTopicList(int index);
    void ShowTopic(int topic);
    void Init_LVSite();
    void Add_LVSite(int32_t site, const QString &name, const QString &language, const QString &type,
                    const QString &searchKey);
    void LoadMember();
    void SaveMember();
    int32_t index2j(int row) const; // row: 1-based display position
    int CountList();
    void CheckLimitMsg();
    int CheckLimitOK(int row);
    int SelectSet(int row);
    bool CheckNewTopic(const QString &name) const;
    void AddNewTopic(const QString &name);
    void SetColumn();
    int TMatched(const QString &text) const;
    void AskSave();

    bool modified() const { return modified_; }
    int checkedCount() const { return checkedCount_; }
    QTreeWidgetItem *row(int position) const; // 1-based; nullptr past the end
    bool rowChecked(int position) const;
    NewTopic *newTopicDialog();
    SiteSearch *siteSearchDialog();

    QComboBox *TopicList = nullptr;
    QPushButton *AddTopic = nullptr;
    QPushButton *DelTopic = nullptr;
    QLabel *LBTopics = nullptr;
    QTreeWidget *LVSite = nullptr;
    QComboBox *Column = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *TSearch = nullptr;
    QPushButton *CSearch = nullptr;
    QPushButton *cmdAdapt = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *OKTopic = nullptr;
    QStatusBar *Status = nullptr;
    QLabel *SitePicture = nullptr;

    void TopicList_Click(int index);
    void LVSite_ItemCheck(QTreeWidgetItem *item);
    void LVSite_ColumnClick(int column);
    void cmdAdapt_Click();
    void cmdCancel_Click();
    void AddTopic_Click();
    void DelTopic_Click();
    void CSearch_Click();
    void OKTopic_Click();

protected:
    // Escape and the window's close box end the window the way "閉じる" does, so the main
    // window's topic list and the next search's sites never miss a change made here.
    void reject() override;

private:
    void buildControls();
    // The catalogue was loaded again with a site added: the list shows it, the ticks stay.
    void siteAdded();
    void setRowCheck(QTreeWidgetItem *item, bool checked);
    void writeCountLine(int sites);

    Session &session_;
    bool modified_ = false;
    int checkedCount_ = 0;
    bool filling_ = false; // check boxes set by the program, not ticked by the user
    bool sorted_ = false;
    int sortKey_ = 0;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    NewTopic *newTopic_ = nullptr;
    SiteSearch *siteSearch_ = nullptr;
};

// Command 19: shows the owner's Topics window (window) modally, creating it at its first
// opening with owner as its parent. initTopic rebuilds the main window's topic list.
void ShowTopicsWindow(QPointer<Topics> &window, Session &session, QWidget *owner,
                      std::function<void(bool sitesChanged)> initTopic);
