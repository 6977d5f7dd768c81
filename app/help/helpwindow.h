// The help window: the help index as a tree of topics on the left, the selected topic's page
// in a web view on the right and its title in the status bar.
#pragma once

#include "core/helptable.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <vector>

class QLabel;
class QStatusBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineView;

// The tree's shape as a plain function, usable without a window.
namespace helptree {

// One node of the tree: the help entry it shows and the position of its parent node in the
// same list (-1 for a root). Parents always come before their children.
struct Node {
    int entry;
    int parent;
};

// The nodes Init_THelp builds from the table's outline numbers, in the order they are added:
// a run of entries sharing the last root's level-0 number hangs under that root, and within a
// run an entry whose next-level number repeats the one before opens a deeper group under the
// last node added.
std::vector<Node> Init_THelp(const HelpTable &table);

} // namespace helptree

class Help : public QWidget {
    Q_OBJECT

public:
    // The tree shows the table, which must outlive the window.
    explicit Help(const HelpTable &table, QWidget *parent = nullptr);

    void Init_THelp();
    void THelp_NodeClick(QTreeWidgetItem *node);
    // The page history of the web view: one page back or forward (Alt+Left, Alt+Right).
    void GoBack();
    void GoForward();
    // The address of a help page: the program directory, a "/" and the page's file name.
    static QUrl pageUrl(const QString &page);
    QString statusText() const;
    QUrl shownUrl() const { return shownUrl_; }
    // The icon of an icon number: the picture help<number>.png of the program directory when
    // there is one, else a drawn one.
    QIcon icon(int number) const;

    QTreeWidget *THelp = nullptr;
    QWebEngineView *WHelp = nullptr;
    QStatusBar *SHelp = nullptr;
    QToolButton *cmdBack = nullptr;
    QToolButton *cmdForward = nullptr;
    QList<QIcon> CImage;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void Form_Load();
    void Form_Resize();
    void showPage(const QString &title, const QString &page);
    // The web view is at a new address (a click on a link, back, forward): the tree selects
    // the entry of that page and the status bar names it.
    void WHelp_UrlChanged(const QUrl &url);
    void updateHistoryButtons();

    const HelpTable &table_;
    QLabel *statusLine_ = nullptr;
    QUrl shownUrl_;
    QUrl requestedUrl_;      // the page the window itself asked for last
    bool following_ = false; // the tree is being moved to the page the view shows
    int rightMargin_ = 0;
    int bottomMargin_ = 0;
};

// Command 13: shows the help window without blocking. A closed window is gone; the next
// opening builds it afresh and shows the first entry again.
void ShowHelpWindow(QPointer<Help> &window, const HelpTable &table, QWidget *owner);
