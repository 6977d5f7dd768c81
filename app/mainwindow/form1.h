// The main window. One class, its implementation split by concern:
//   form1.cpp         construction, start-up (Form_Load)
//   form1_web.cpp     the web panes, the address box, the layout and the splitter
//   form1_search.cpp  the search face: topic, keywords, method, Search button, animation,
//                     status line, elapsed-time timer
//   form1_list.cpp    the result list LView, the site tree TView, search and browse modes
// Controls are public and keep the window's control names (also their object names), so the
// drivers and the tests reach them as the window's own code does.
#pragma once

#include "common/pictures.h"
#include "core/hitlistmodel.h"
#include "core/hitsort.h"
#include "core/runcontroller.h"
#include "driver/runwindows.h"
#include "mainwindow/layout.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class Download;
class Help;
class HistoryLink;
class MsgForm;
class ProductInfo;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMovie;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolBar;
class QStandardItemModel;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;
class QWebEngineView;
class Session;
class Setting;
class SplitterGrip;
class ToHalvane;
class Topics;

class Form1 : public QMainWindow, public RunView {
    Q_OBJECT

public:
    // The window shows and drives the session, which must outlive it.
    explicit Form1(Session &session, QWidget *parent = nullptr);
    ~Form1() override;

    Session &session() const { return session_; }
    // The progress windows Searching and Confirm of this window's runs.
    RunWindows &runWindows() { return runWindows_; }
    // The stop notice "中止の準備中です。…", made on first use.
    MsgForm *msgForm();

    // The windows the commands open, one each, made at their first opening (commands.cpp).
    struct OwnedWindows {
        QPointer<Topics> topics;
        QPointer<Setting> setting;
        QPointer<Help> help;
        QPointer<ProductInfo> productInfo;
        QPointer<Download> download;
        QPointer<ToHalvane> toHalvane;
    };
    OwnedWindows owned;
    // The search history and the watches as the window uses them (app/history).
    HistoryLink *history = nullptr;

    // The menu entries, toolbar buttons and list events: RunCommand on this window
    // (commands.cpp).
    void runCommand(int command);
    // The orderly end: stops an active run, saves the settings, then the topics, then the
    // window's place (rememberPlace), then quits the event loop. Runs once; later calls do
    // nothing. With a run active, the saving and the quit follow once the stop has ended its
    // threads; this returns at once.
    void EndProgram();

    // ---- start-up (form1.cpp) ----
    // Everything the window does when it loads: caption, layout, method list, animation,
    // topics, search mode, the new topic's site list; then it shows itself, hides the
    // start-up window and waits one second while handling events. waitMs lets tests shorten
    // the wait.
    void Form_Load(int waitMs = 1000);
    // The program's own main window comes back as the user left it: Form_Load restores its
    // size, place, splits and column shares from the user's configuration, and the orderly
    // end saves them (savePlace). Off for windows a test makes.
    bool rememberPlace = false;
    void savePlace() const;

    // ---- search face (form1_search.cpp) ----
    void Init_TMethod();
    void Init_finder();
    void Init_Topic();
    // The Topics window closed: the chooser gets the topics' names again; the topic-change
    // handling (and its question) runs only when the current topic's sites changed.
    void TopicsClosed(bool sitesChanged);
    void Before_Search();
    void Do_SetTopic();
    // Command 1: asks before the listed results are given up, then changes the topic.
    void ChangeTopic();
    void Start_finder();
    void Stop_finder();
    bool finderRunning() const;
    QMovie *finderMovie() const; // the animation file's movie; null when it is drawn
    // The status line: one text.
    void setStatusText(const QString &text);
    QString statusText() const;
    // A page's loading or a tree node on the status line: shown, but the search face gets its
    // own text back when it returns from browse mode.
    void showPageStatus(const QString &text);
    // The status line as a run shows it: the run's StatusText followed by the elapsed time.
    void ShowElapsed();
    // The failure mark for this many failed sites (hidden for 0).
    void showFailures(int32_t failed);

    // ---- list and tree (form1_list.cpp) ----
    void LView_Current();
    void Init_LVTopic();
    void Init_LVResult();
    void Resize_LView();
    // Appends one hit to the result list; false when it joined a listed page's row.
    bool Add_LView(const Hit &hit);
    void Item_LinkCheck(int32_t index, int32_t state);
    void Item_LinkDel(int position); // 1-based
    // Rows of the list shown (topic or result view); positions are 1-based, in the order the
    // user sees them.
    int listCount() const override;
    int32_t itemIndex(int position) const; // the hit's result index; -1 without such a hit
    int selectedPosition() const;          // 0 when no row is selected
    // "重複をまとめる": one row per page that several sites found, with the column "サイト".
    // Switching folds or unfolds the hits listed.
    void setMerging(bool on);
    bool merging() const;
    // "おすすめ順": the merged rows by their merged rank, higher first.
    void sortByRank();
    // The hits of the current search: the only copy of the result list.
    HitListModel &hits() { return *hits_; }
    const HitListModel &hits() const { return *hits_; }
    bool resultView() const;
    void ListMode();
    void TreeMode();
    void InitTreeMode();
    void BuildSiteTree();

    // ---- web panes and layout (form1_web.cpp) ----
    // Places every control for the window's initial size and sets the minimum size.
    void InitLayout();
    // The window's surface has a new size: the controls follow (see layout::Form_Resize).
    void Form_Resize();
    // Web opens TargetURL (browse mode's pane); Web2 opens TargetURL (the preview pane,
    // shown first when hidden). Both write "アクセス中： " and the address to the status line;
    // a finished page writes "表示中： " and where it ended.
    void Do_Browse1();
    void Do_Browse2();
    // The desktop's browser opens TargetURL: the running browser first; once that failed,
    // a new one each time (see BrowserHandoff); when nothing can open it, the status line
    // says so.
    void Do_RefIE();
    // The preview pane under the list shown or hidden; the list takes its height to match.
    void Do_ShowWeb2();
    void Do_HideWeb2();
    // The splitter's hit zone for the present face; ends a drag.
    void UpdateSplitterZone();
    // The layout in twips, as last placed.
    const layout::Layout &windowLayout() const { return layout_; }
    int twipsPerPixel() const { return twips_; }

    // Search face
    QLabel *LTopic = nullptr;
    QComboBox *Topic = nullptr;
    QLabel *LWord = nullptr;
    QLineEdit *Word = nullptr;
    QLabel *LMethod = nullptr;
    QComboBox *TMethod = nullptr;
    QPushButton *Search = nullptr;
    QLabel *finder = nullptr;
    QStatusBar *Status = nullptr;
    QLabel *StatusLine = nullptr; // the one text of Status
    // At the right of Status after a search in which sites failed: a warning mark with their
    // count that opens Searching; hidden otherwise.
    QToolButton *Failures = nullptr;
    QTimer *Timer1 = nullptr;
    QTreeView *LView = nullptr;
    // Toolbar (built with the menu bar by the commands' module)
    QToolBar *Tool = nullptr;
    // Web panes: Web beside the tree in browse mode, Web2 under the list in search mode
    QWebEngineView *Web = nullptr;
    QWebEngineView *Web2 = nullptr;
    // Browse face
    QLabel *ADR = nullptr;
    QLineEdit *URL = nullptr;
    QTreeWidget *TView = nullptr;
    // Pop-up menu of the result list
    QMenu *mRClick = nullptr;
    QAction *mCopyURL = nullptr;
    QAction *mBrowser = nullptr;
    QAction *mDelLink = nullptr;

    // Window state read by the commands
    bool BrowseMode = false;
    bool PreviewShown = false;
    QString TargetURL;
    using LayoutMode = layout::Mode;
    LayoutMode layoutMode = LayoutMode::Search;

    // Sorting of the list: off until the first header click, then on for good.
    bool sortOn = false;
    int sortKey = 0;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;

    // ---- what a run shows (form1_run.cpp) ----
    QString searchWords() const override;
    bool goOnWithout(const QStringList &characters) override;
    void statusChanged(const QString &text) override;
    void clockStarted() override;
    void clockStopped() override;
    void stopNotice(bool shown) override;
    void message(const QString &text, const QString &title) override;
    void searchStarted() override;
    bool hitAdded(const Hit &hit) override;
    bool takesHits() const override;
    QString hitCountNote() const override;
    void searchSlotDone(int slot) override;
    void searchEnded(const QString &endText) override;
    void checkStarted() override;
    void checkSlotDone(int slot, int32_t state) override;
    void checkEnded(const QString &counted, const QString &dead) override;
    QList<int32_t>
    removeDeadAndRepeated(const std::function<bool(int32_t, int32_t)> &same) override;
    int32_t selectedIndex() const override;
    void removeHit(int32_t index) override;
    void linkChecked(int32_t index, int32_t state) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildSearchFace(QWidget *surface);
    void buildList(QWidget *surface);
    void buildWebPanes(QWidget *surface);
    void placeControls();
    void setPreview(bool shown);
    // Hides the preview pane and empties it, its history included.
    void clearPreview();
    // Refills Topic from the store and selects the current topic, quietly; false when the
    // store holds no topic.
    bool fillTopicChooser();
    bool paneEvent(QObject *watched, QEvent *event);
    void URL_KeyPress(int key);
    void splitterPress(QPoint at, bool onGrip);
    void splitterMove(QPoint at);
    void splitterRelease(QPoint at);
    void placeGrip();
    void Web_DownloadComplete();
    void Web2_DownloadComplete();
    friend class PaneEvents;

    // Event handlers
    void Word_KeyPress(int key);
    void Search_Click();
    void TMethod_Click();
    void Topic_Click();
    void Timer1_Timer();
    void Status_Click();
    void LView_ColumnClick(int column);
    void LView_ItemClick(const QModelIndex &index);
    void LView_DblClick(const QModelIndex &index);
    void LView_MouseUp();
    void TView_NodeClick(QTreeWidgetItem *node);
    void mCopyURL_Click();
    void mBrowser_Click();
    void mDelLink_Click();

    void restorePlace();
    void restoreSplits();
    void keepResultShares();
    void holdListPaint();
    // Shows rows (the topic's sites or the hits) in the list, if it shows others.
    void showRows(QAbstractItemModel *rows);

    Session &session_;
    RunWindows runWindows_;
    QPointer<MsgForm> msgForm_;
    QWidget *surface_ = nullptr;
    QMovie *movie_ = nullptr;
    QTimer *spinner_ = nullptr;       // drawn animation when the animation file is missing
    QTimer *previewFollow_ = nullptr; // the preview follows a row the keys moved to
    // The list shows either the topic's sites or the hits, each through its sort.
    HitListModel *hits_ = nullptr;
    HitSortProxy *sortedHits_ = nullptr;
    QStandardItemModel *topicRows_ = nullptr;
    QSortFilterProxyModel *sortedTopics_ = nullptr;
    int spinnerFrame_ = 0;
    bool finderRunning_ = false;
    bool rightPending_ = false;
    bool paintHeld_ = false;
    layout::Layout layout_;
    layout::Layout pressed_; // the layout when the splitter was caught
    SplitterGrip *grip_ = nullptr;
    int twips_ = 15;
    bool laidOut_ = false;
    // The result columns' shares of the list's width (per mille) once the user has dragged
    // a column edge; empty: the built-in proportions.
    QList<int> resultShares_;
    bool fittingColumns_ = false;
    int keptPreviewHeight_ = 0; // splits read at start-up, put back once shown (twips)
    int keptTreeWidth_ = 0;
    QString searchStatus_; // the status line's last text that was not a page's
    bool refDead_ = false; // the reused hand-off to the desktop's browser has failed once
};

// The entries of the method chooser TMethod: all words (search mode 0), any word (1).
QStringList MethodCaptions();

// How an address reaches the desktop's browser. reuse hands it to the browser the desktop
// already runs (QDesktopServices::openUrl); fresh starts a new opener process (a detached
// xdg-open). Each answers whether the hand-off was accepted. Tests put recorders here so no
// real browser starts; empty functions put the defaults back. Without a display (the
// offscreen platform) the defaults refuse: there is no screen to show a browser on.
struct BrowserHandoff {
    std::function<bool(const QUrl &)> reuse;
    std::function<bool(const QUrl &)> fresh;
};
void setBrowserHandoff(BrowserHandoff handoff);
