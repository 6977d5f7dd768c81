#include "mainwindow/menus.h"

#include "core/makerhost.h"
#include "history/historylink.h"
#include "mainwindow/commands.h"
#include "mainwindow/form1.h"
#include "mainwindow/keys.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QToolBar>

#include <array>
#include <cmath>

namespace menus {

namespace {

constexpr Entry kSeparator{nullptr, nullptr, 0, nullptr};

constexpr std::array kFile{
    Entry{"mSave", "HTMLファイルで保存(&S)", 7, nullptr},
    Entry{"mOpen", "ブラウザで見る(&B)", 8, nullptr},
    kSeparator,
    Entry{"mExit", "終了(&X)", 6, nullptr},
};
constexpr std::array kEdit{
    Entry{"mSettopics", "検索テーマ(&T)", 19, nullptr},
    Entry{"mSetsearch", "環境設定(&P)", 18, nullptr},
};

void ToggleMerging(Form1 &form)
{
    form.setMerging(!form.merging());
}

void SortByRank(Form1 &form)
{
    form.sortByRank();
}

constexpr std::array kView{
    Entry{"mSearching", "検索中モニタ(&S)", 9, nullptr},
    Entry{"mChecking", "確認中モニタ(&C)", 10, nullptr},
    Entry{"mHideWeb2", "Velmoraブラウザを閉じる(&G)", 12, nullptr},
    kSeparator,
    Entry{"mMerge", "重複をまとめる(&M)", 0, ToggleMerging},
    Entry{"mByRank", "おすすめ順(&O)", 0, SortByRank},
    Entry{"mNewOnly", "新着のみ(&N)", 0, ToggleNewOnly},
    kSeparator,
    Entry{"mHistory", "履歴(&Y)", 0, ShowHistory},
    Entry{"mClearHistory", "履歴を消去(&E)", 0, ClearHistory},
};
constexpr std::array kRun{
    Entry{"mSearch", "検索(&S)", 2, nullptr},
    Entry{"mCheck", "リンク確認(&C)", 3, nullptr},
    Entry{"mDelete", "リンク切れ削除(&D)", 4, nullptr},
    kSeparator,
    Entry{"mWatch", "この検索を監視(&W)", 0, WatchSearch},
    Entry{"mWatchTimer", "定期的に確認…(&T)", 0, ScheduleWatch},
    Entry{"mUnwatch", "監視をやめる…(&U)", 0, StopWatching},
    kSeparator,
    Entry{"mAbort", "中止(&A)", 5, nullptr},
};
constexpr std::array kHelp{
    Entry{"mOpenHelp", "オンラインヘルプ(&H)", 13, nullptr},
    Entry{"mSupport", "Halvaneサポートへ(&S)", 15, nullptr},
    Entry{"mToHalvane", "Halvaneへ送信(&M)", 0, SendToMaker},
    kSeparator,
    Entry{"mNews", "最新版ニュース(&N)", 0, OpenNews},
    Entry{"mUpdate", "最新版ダウンロード(&U)", 16, nullptr},
    kSeparator,
    Entry{"mProduct", "製品情報(&P)", 17, nullptr},
};

const std::array kMenus{
    Menu{"mFile", "ファイル(&F)", kFile}, Menu{"mEdit", "設定(&S)", kEdit},
    Menu{"mView", "表示(&V)", kView},     Menu{"mRun", "実行(&R)", kRun},
    Menu{"mHelp", "ヘルプ(&H)", kHelp},
};

constexpr std::array kButtons{
    Button{"戻る", "backward", "", "go-previous", 20},
    Button{"進む", "foreward", "", "go-next", 21},
    Button{"ホーム", "home", "ホームアドレスへ戻る", "go-home", 22},
    Button{"検索", "search", "", "edit-find", 2},
    Button{"中止", "stop", "", "process-stop", 5},
    Button{"検索テーマ", "topics", "検索テーマの設定", "x-office-address-book", 19},
    Button{"環境設定", "setting", "環境設定", "preferences-system", 18},
    Button{"リンク確認", "check", "リンク確認、リンク切れ削除など", "network-transmit-receive", 3},
    Button{"保存", "save", "検索結果をディスクへ保存", "document-save", 7},
    Button{"画面切替", "exchange", "検索モードと閲覧モードとの切替", "go-jump", 26},
};

const Button *findButton(const QString &key)
{
    for (const Button &b : kButtons)
        if (key == QLatin1String(b.key))
            return &b;
    return nullptr;
}

// ---- Drawn pictures, used when the desktop has no icon theme ----

constexpr int kSide = 24;

QPolygonF arrow(bool right)
{
    QPolygonF p{{3, 12}, {12, 4}, {12, 9}, {21, 9}, {21, 15}, {12, 15}, {12, 20}};
    if (right)
        for (QPointF &pt : p)
            pt.setX(kSide - pt.x());
    return p;
}

void drawHome(QPainter &p)
{
    p.setBrush(QColor(0xd0, 0x60, 0x40));
    p.drawPolygon(QPolygonF{{2, 12}, {12, 3}, {22, 12}});
    p.setBrush(QColor(0xf0, 0xe0, 0xc0));
    p.drawRect(QRectF(5, 12, 14, 9));
    p.setBrush(QColor(0x80, 0x50, 0x30));
    p.drawRect(QRectF(10, 15, 4, 6));
}

void drawSearch(QPainter &p)
{
    p.setBrush(QColor(0xd8, 0xe8, 0xff));
    p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
    p.setPen(QPen(QColor(0x50, 0x40, 0x30), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 15), QPointF(21, 21));
}

void drawStop(QPainter &p)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = (22.5 + 45.0 * i) * M_PI / 180.0;
        octagon << QPointF(12 + 10 * std::cos(a), 12 + 10 * std::sin(a));
    }
    p.setBrush(QColor(0xd0, 0x20, 0x20));
    p.drawPolygon(octagon);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(16, 16));
    p.drawLine(QPointF(16, 8), QPointF(8, 16));
}

void drawTopics(QPainter &p)
{
    p.setBrush(QColor(0x40, 0x70, 0xb0));
    p.drawRect(QRectF(4, 3, 16, 18));
    p.setPen(QPen(Qt::white, 1.5));
    for (int y = 8; y <= 16; y += 4)
        p.drawLine(QPointF(8, y), QPointF(17, y));
}

void drawSetting(QPainter &p)
{
    p.setBrush(QColor(0x80, 0x80, 0x90));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(12, 12);
        p.rotate(45.0 * i);
        p.drawRect(QRectF(-2, -11, 4, 5));
        p.restore();
    }
    p.drawEllipse(QPointF(12, 12), 7, 7);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
}

void drawCheck(QPainter &p)
{
    p.setPen(QPen(QColor(0x20, 0x90, 0x30), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF{{4, 13}, {10, 19}, {20, 5}});
}

void drawSave(QPainter &p)
{
    p.setBrush(QColor(0x30, 0x50, 0x90));
    p.drawRect(QRectF(3, 3, 18, 18));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 3, 10, 7));
    p.setBrush(QColor(0xc0, 0xc0, 0xc0));
    p.drawRect(QRectF(6, 14, 12, 7));
}

void drawExchange(QPainter &p)
{
    p.setBrush(QColor(0x30, 0x80, 0xc0));
    p.drawPolygon(QPolygonF{{2, 8}, {8, 3}, {8, 6}, {20, 6}, {20, 10}, {8, 10}, {8, 13}});
    p.setBrush(QColor(0xe0, 0x80, 0x20));
    p.drawPolygon(QPolygonF{{22, 16}, {16, 11}, {16, 14}, {4, 14}, {4, 18}, {16, 18}, {16, 21}});
}

QIcon drawnImage(const QString &key)
{
    QPixmap pixmap(kSide * 2, kSide * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    if (key == QLatin1String("backward") || key == QLatin1String("foreward")) {
        p.setBrush(QColor(0x30, 0x90, 0x40));
        p.drawPolygon(arrow(key == QLatin1String("foreward")));
    } else if (key == QLatin1String("home")) {
        drawHome(p);
    } else if (key == QLatin1String("search")) {
        drawSearch(p);
    } else if (key == QLatin1String("stop")) {
        drawStop(p);
    } else if (key == QLatin1String("topics")) {
        drawTopics(p);
    } else if (key == QLatin1String("setting")) {
        drawSetting(p);
    } else if (key == QLatin1String("check")) {
        drawCheck(p);
    } else if (key == QLatin1String("save")) {
        drawSave(p);
    } else if (key == QLatin1String("exchange")) {
        drawExchange(p);
    }
    p.end();
    return QIcon(pixmap);
}

// Buttons without a tool tip show none (a tool button would otherwise show its caption).
class NoTip : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::ToolTip; }
};

} // namespace

std::span<const Menu> MenuTable()
{
    return kMenus;
}

std::span<const Button> ToolTable()
{
    return kButtons;
}

int ToolCommand(const QString &key)
{
    const Button *b = findButton(key);
    return b ? b->command : 0;
}

void Tool_ButtonClick(Form1 &form, const QString &key)
{
    if (const int command = ToolCommand(key))
        RunCommand(form, command);
}

QIcon ToolImage(const QString &key)
{
    const Button *b = findButton(key);
    if (!b)
        return QIcon();
    return QIcon::fromTheme(QLatin1String(b->themeIcon), drawnImage(key));
}

} // namespace menus

// Without a maker's host the entries that would reach it are disabled and their tool tip says
// why: a click must not end in a network error. A packaged program's update entry stays: it
// tells where updates come from.
static void MarkMakerEntries(QMenuBar *bar)
{
    const QString why = MakerUnavailableReason();
    if (why.isEmpty())
        return;
    for (const char *name : {"mSupport", "mNews", "mUpdate"}) {
        if (UpdatesFromPackages() && qstrcmp(name, "mUpdate") == 0)
            continue;
        if (auto *action = bar->findChild<QAction *>(QLatin1String(name))) {
            action->setEnabled(false);
            action->setToolTip(why);
            if (auto *menu = qobject_cast<QMenu *>(action->parent()))
                menu->setToolTipsVisible(true);
        }
    }
}

void BuildMenus(Form1 *form)
{
    using namespace menus;
    QMenuBar *bar = form->menuBar();
    for (const Menu &m : MenuTable()) {
        QMenu *menu = bar->addMenu(QString::fromUtf8(m.caption));
        menu->setObjectName(QLatin1String(m.name));
        for (const Entry &e : m.entries) {
            if (!e.name) {
                menu->addSeparator();
                continue;
            }
            QAction *action = menu->addAction(QString::fromUtf8(e.caption));
            action->setObjectName(QLatin1String(e.name));
            const int command = e.command;
            void (*other)(Form1 &) = e.action;
            QObject::connect(action, &QAction::triggered, action, [form, command, other] {
                if (other)
                    other(*form);
                else
                    RunCommand(*form, command);
            });
        }
    }

    MarkMakerEntries(bar);
    // The toggle shows its state; the rank sort has nothing to order without merged rows.
    if (auto *toggle = bar->findChild<QAction *>(QStringLiteral("mMerge")))
        toggle->setCheckable(true);
    form->setMerging(form->merging());

    // The toolbar lives on the window's surface: the layout places it beside the animation.
    QWidget *surface = form->centralWidget() ? form->centralWidget() : form;
    form->Tool = new QToolBar(surface);
    QToolBar *tool = form->Tool;
    tool->setObjectName(QStringLiteral("Tool"));
    tool->setMovable(false);
    tool->setFloatable(false);
    tool->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tool->setIconSize(QSize(kSide, kSide));
    auto *noTip = new NoTip(tool);
    for (const Button &b : ToolTable()) {
        const QString key = QLatin1String(b.key);
        QAction *action = tool->addAction(ToolImage(key), QString::fromUtf8(b.caption));
        action->setObjectName(key);
        const QString tip = QString::fromUtf8(b.tip);
        action->setToolTip(tip);
        if (tip.isEmpty())
            tool->widgetForAction(action)->installEventFilter(noTip);
        // Dispatched by the button's key as it stands at the time of the click.
        QObject::connect(action, &QAction::triggered, action,
                         [form, action] { Tool_ButtonClick(*form, action->objectName()); });
    }
    tool->adjustSize();
    BindKeys(form);
}
